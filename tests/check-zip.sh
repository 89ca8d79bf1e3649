#!/bin/sh
# Checks the Windows zip that cpack made in the build directory as a Windows user gets it: the
# program as built, text files whose lines end with CR LF, and the program that runs with the
# zip's own example settings on a sample image. The zip is made beforehand, with the program:
# where Wine runs in a VM, there is no cross-compiler for cpack's build.
# Usage: check-zip.sh BUILD_DIR WINE...
set -eu
build=$(cd "$1" && pwd)
shift
sample_image=$(cd "$(dirname "$0")/../scripts" && pwd)/make-sample-image.sh
zip=""
for found in "$build"/halmere-netcfg-*.zip; do [ -f "$found" ] && zip=$found; done
[ -n "$zip" ] || { echo "no zip in $build: make it first (cpack --preset win32)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cmake -E tar xf "$zip"
if ! cmp -s halmere-netcfg.exe "$build/halmere-netcfg.exe"; then
  echo "${zip##*/} holds another program than the build: make it again (cpack --preset win32)"
  exit 1
fi
status=0
cr=$(printf '\r')
for text in README.md LICENSE.txt NOTICES.txt halmere02.ini; do
  lines=$(wc -l <"$text")
  [ "$lines" -gt 0 ] && [ "$(grep -c "$cr\$" "$text")" -eq "$lines" ] ||
    { echo "$text: not every line ends with CR LF"; status=1; }
done
sh "$sample_image" halmere02a.dol
"$@" halmere-netcfg.exe | tail -n 1
block=$(od -A n -t x1 -j 0x16DE0 -N 12 halmere02a.dol | tr -d ' \n')
[ "$block" = ffffff00c0a80001c0a80032 ] || { echo "network block: $block"; status=1; }
[ $status -eq 0 ] && echo "zip: CR LF text, and the example settings work as they are"
exit $status
