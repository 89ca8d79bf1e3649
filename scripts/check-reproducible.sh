#!/bin/sh
# Builds both programs and their packages twice more and checks that every artifact is byte for
# byte the first build's: from this tree, in another directory, with another umask, locale and
# time zone; and from what `git archive` makes of the last commit, as a packager builds a
# release. Needs the native and win32 builds, and every change committed.
set -eu
cd "$(dirname "$0")/.."
again=build/reproduced
rm -rf "$again"
mkdir -p "$again"
if ! git diff --quiet HEAD --; then
  echo "check-reproducible: commit every change first: the release archive holds the last commit"
  exit 1
fi
git archive --prefix=archive/ HEAD | tar -x -C "$again"
[ "$(umask)" = 0022 ] && other_umask=002 || other_umask=022
status=0
for preset in native win32; do
  cpack --preset $preset >/dev/null
  (
    umask $other_umask
    export LC_ALL=C.UTF-8 TZ=Pacific/Kiritimati
    cmake --preset $preset -B "$again/$preset" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$again/$preset" -j2 >/dev/null
    cd "$again/$preset" && cpack >/dev/null
  )
  (
    cd "$again/archive"
    cmake --preset $preset -DBUILD_TESTING=OFF >/dev/null
    cmake --build --preset $preset -j2 >/dev/null
    cd build/$preset && cpack >/dev/null
  )
  for artifact in build/$preset/halmere-netcfg build/$preset/halmere-netcfg.exe \
    build/$preset/*.deb build/$preset/*.tar.gz build/$preset/*.zip build/$preset/*.sha256; do
    [ -f "$artifact" ] || continue
    for second in "$again/$preset/${artifact##*/}" "$again/archive/$artifact"; do
      if cmp -s "$artifact" "$second"; then
        echo "reproduced: $second"
      else
        echo "DIFFERS: $artifact and $second"
        command -v diffoscope >/dev/null && diffoscope "$artifact" "$second" | head -n 60
        status=1
      fi
    done
  done
done
exit $status
