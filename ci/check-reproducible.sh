#!/bin/sh
# Run by test.sh for every artifact, and by CI for the release: the same bytes from the same commit.
# Builds both programs and their packages three times more and checks that every artifact is
# byte for byte the first build's: from this tree, in another directory, with another umask,
# locale and time zone; from what `git archive` makes of the last commit, as a packager builds a
# release; and from a clone, owned by another user where this runs as root, as a CI container
# building as root on a runner's checkout has it. Then a new commit in that clone, and only a
# build and cpack after it: the .tar.gz must carry the new commit's time. Needs the native
# and win32 builds configured, and every change committed.
# With `release`: the release that make-release.sh made in build/release, of the last commit,
# is made again from such a clone, with another umask, locale and time zone, and must be the same
# set, byte for byte.
# Usage: check-reproducible.sh [release]
set -eu
cd "$(dirname "$0")/.."
again=build/reproduced
if ! git diff --quiet HEAD --; then
  echo "check-reproducible: commit every change first: the release archive holds the last commit"
  exit 1
fi
[ "$(umask)" = 0022 ] && other_umask=002 || other_umask=022
# A clone of the last commit, owned by another user where this runs as root.
clone() {
  rm -rf "$1"
  mkdir -p "$(dirname "$1")"
  git clone -q . "$1"
  [ "$(id -u)" -ne 0 ] || chown -R nobody "$1"
}
if [ "${1:-}" = release ]; then
  first=build/release
  [ -f $first/SHA256SUMS ] ||
    { echo "check-reproducible: no release: make-release.sh first" && exit 1; }
  [ "$(sh scripts/lib/release-commit.sh $first || :)" = "$(git rev-parse HEAD)" ] ||
    { echo "check-reproducible: build/release is not of the last commit: make it again"; exit 1; }
  architectures=$(ls $first/*.deb | sed 's/.*_\(.*\)\.deb$/\1/')
  clone "$again/release"
  (
    umask $other_umask
    export LC_ALL=C.UTF-8 TZ=Pacific/Kiritimati
    sh "$again/release/scripts/make-release.sh" $architectures >/dev/null 2>&1
  ) || { echo "check-reproducible: make-release.sh failed in $again/release"; exit 1; }
  if diff -rq $first "$again/release/$first"; then
    echo "reproduced: the release," $(ls $first | grep -vc -e '\.sha256$' -e SHA256SUMS) \
      "files and SHA256SUMS:" \
      "$(sha256sum <$first/SHA256SUMS | cut -c 1-16)..."
  else
    echo "DIFFERS: the release in $first and the one made again in $again/release/$first"
    exit 1
  fi
  exit 0
fi
rm -rf "$again"
mkdir -p "$again"
git archive --prefix=archive/ HEAD | tar -x -C "$again"
clone "$again/clone"
# Builds and packs a preset in a tree as a user does, with the tree's own presets.
build_in() (
  cd "$1"
  cmake --preset $2 -DBUILD_TESTING=OFF >/dev/null
  cmake --build --preset $2 -j2 >/dev/null
  cd build/$2 && cpack >/dev/null
)
status=0
for preset in native win32; do
  # Built again first: the build after a commit configures again and takes its time.
  cmake --build --preset $preset -j2 >/dev/null
  cpack --preset $preset >/dev/null
  (
    umask $other_umask
    export LC_ALL=C.UTF-8 TZ=Pacific/Kiritimati
    cmake --preset $preset -B "$again/$preset" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$again/$preset" -j2 >/dev/null
    cd "$again/$preset" && cpack >/dev/null
  )
  build_in "$again/archive" $preset
  build_in "$again/clone" $preset
  for artifact in build/$preset/halmere-netcfg build/$preset/halmere-netcfg.exe \
    build/$preset/*.deb build/$preset/*.tar.gz build/$preset/*.zip build/$preset/*.sha256; do
    [ -f "$artifact" ] || continue
    for second in "$again/$preset/${artifact##*/}" "$again/archive/$artifact" \
      "$again/clone/$artifact"; do
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

cd "$again/clone"
GIT_COMMITTER_DATE="2000-01-01 00:00:00 +0000" git -c safe.directory="$(pwd -P)" \
  -c user.name=check -c user.email=check@example.org commit -q --allow-empty -m "A new commit"
cmake --build --preset native >/dev/null
cd build/native && cpack >/dev/null
if TZ=UTC tar --full-time -tvzf ./*.tar.gz | grep -v " 2000-01-01 00:00:00 "; then
  echo "NOT THE NEW COMMIT'S TIME (2000-01-01 00:00:00) after a commit and a build: the above"
  status=1
else
  echo "after a new commit and a build: the .tar.gz carries its time"
fi
exit $status
