#!/bin/sh
# Checks the Windows zip that cpack made in the build directory as a Windows user gets it: one
# folder named for the release, with nothing beside the program named as a user's settings or
# image, so that extracted where those are it replaces neither; the program as built, text files
# whose lines end with CR LF, and the program that runs with the zip's own example settings,
# copied beside it, on a sample image. The zip is made beforehand, with the program:
# where Wine runs in a VM, there is no cross-compiler for cpack's build.
# Usage: check-zip.sh BUILD_DIR WINE...
set -eu
build=$(cd "$1" && pwd)
shift
sample_image=$(cd "$(dirname "$0")/../scripts/lib" && pwd)/make-sample-image.sh
zip=""
for found in "$build"/halmere-netcfg-*.zip; do [ -f "$found" ] && zip=$found; done
[ -n "$zip" ] || { echo "no zip in $build: make it first (cpack --preset win32)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
status=0
top=$(basename "$zip" .zip)
entries=$(cmake -E tar tf "$zip")
outside=$(echo "$entries" | grep -v "^$top/" || true)
[ -z "$outside" ] || { echo "${zip##*/}: outside $top/:" $outside; status=1; }
# Windows names files without regard to case.
beside=$(echo "$entries" | grep -ixE "$top/(halmere02\.ini|halmere02a\.dol)" || true)
[ -z "$beside" ] || { echo "${zip##*/}: beside the program:" $beside; status=1; }
cmake -E tar xf "$zip"
cd "$top"
if ! cmp -s halmere-netcfg.exe "$build/halmere-netcfg.exe"; then
  echo "${zip##*/} holds another program than the build: make it again (cpack --preset win32)"
  exit 1
fi
cr=$(printf '\r')
for text in README.md LICENSE.txt NOTICES.txt example/halmere02.ini; do
  lines=$(wc -l <"$text")
  [ "$lines" -gt 0 ] && [ "$(grep -c "$cr\$" "$text")" -eq "$lines" ] ||
    { echo "$text: not every line ends with CR LF"; status=1; }
done
cp example/halmere02.ini .
sh "$sample_image" halmere02a.dol
"$@" halmere-netcfg.exe | tail -n 1
block=$(od -A n -t x1 -j 0x16DE0 -N 12 halmere02a.dol | tr -d ' \n')
[ "$block" = ffffff00c0a80001c0a80032 ] || { echo "network block: $block"; status=1; }
[ $status -eq 0 ] && echo "zip: all in $top/, no settings or image beside the program," \
  "CR LF text, and the example settings work as they are"
exit $status
