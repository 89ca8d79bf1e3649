#!/bin/sh
# Builds both programs and their packages a second time, in another directory, with another
# umask, locale and time zone, and checks that every artifact is byte for byte the first build's.
# Needs the native and win32 builds.
set -eu
cd "$(dirname "$0")/.."
again=build/reproduced
rm -rf "$again"
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
  for artifact in build/$preset/halmere-netcfg build/$preset/halmere-netcfg.exe \
    build/$preset/*.deb build/$preset/*.tar.gz build/$preset/*.zip build/$preset/*.sha256; do
    [ -f "$artifact" ] || continue
    second=$again/$preset/${artifact##*/}
    if cmp -s "$artifact" "$second"; then
      echo "reproduced: ${artifact##*/}"
    else
      echo "DIFFERS: $artifact and $second"
      command -v diffoscope >/dev/null && diffoscope "$artifact" "$second" | head -n 60
      status=1
    fi
  done
done
exit $status
