#!/bin/sh
# Reads the resources back from the Windows program and checks that its manifest and version
# information say what Windows must see. Usage: check-resources.sh WINDRES PROGRAM.exe
set -eu
resources=$("$1" -i "$2" -O rc)
status=0
for expected in \
  'level=""asInvoker"" uiAccess=""false""' \
  '>UTF-8</activeCodePage>' \
  'supportedOS Id=""{e2011457-1546-43c5-a5fe-008deee3d3f0}""' \
  'supportedOS Id=""{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}""' \
  'FILEVERSION 0, 2, 0, 0' \
  'PRODUCTVERSION 0, 2, 0, 0' \
  'VALUE "FileDescription", "halmere Network Configuration Utility"' \
  'VALUE "FileVersion", "0.2a"' \
  'VALUE "ProductName", "halmere-netcfg"' \
  'VALUE "ProductVersion", "0.2a"' \
  'VALUE "OriginalFilename", "halmere-netcfg.exe"'; do
  printf '%s\n' "$resources" | grep -qF -- "$expected" || { echo "missing: $expected"; status=1; }
done
[ $status -eq 0 ] && echo "manifest and version information: as expected"
exit $status
