#!/bin/sh
# Run by whoever makes a release, and by CI: one command for the whole release.
# Makes the release of this checkout's last commit in build/release/: the source as `git archive`
# gives it, in one top folder (halmere-netcfg-VERSION.tar.gz); the Windows zip; and for each Linux
# architecture the .deb and the .tar.gz, named for the machines that run them; every program
# built from that source archive, in build/release-work/. Each file comes with its .sha256, and
# SHA256SUMS covers the set, written last, once every file is made. Installs what is missing
# first (install-deps.sh release). A file it cannot make stops it with a failure that names the
# file and says why, and leaves no SHA256SUMS.
# Usage: make-release.sh [ARCH...]
#   ARCH: the Linux architectures, as Debian names them: by default amd64, arm64, armhf and i386;
#   any other of Debian's by name (s390x, ppc64el, riscv64, ...).
set -eu
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- amd64 arm64 armhf i386
own=$(dpkg --print-architecture)
cross=""
for arch; do
  [ "$arch" = "$own" ] || cross="$cross $arch"
done
sh scripts/install-deps.sh release $cross
say() { printf 'make-release.sh: %s\n' "$*" >&2; }
git="git -c safe.directory=$(pwd -P)"
commit=$($git rev-parse HEAD)
$git diff --quiet HEAD -- ||
  say "uncommitted changes are not in the release, which is made from the last commit"
out=$(pwd)/build/release work=$(pwd)/build/release-work
rm -rf "$out" "$work"
mkdir -p "$out" "$work"
$git archive --prefix=source/ "$commit" | tar -x -C "$work"
source=$(cd "$work/source" && pwd)

# NAME DIR CMAKE-OPTION...: configures, builds and packs the source in DIR; NAME is what is made.
make_in() {
  what=$1 dir=$work/$2
  shift 2
  if ! { cmake -S "$source" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "$@" &&
    cmake --build "$dir" -j2 && (cd "$dir" && cpack); } >"$work/log" 2>&1; then
    tail -n 15 "$work/log" >&2
    say "could not make $what: the build or cpack failed (above)"
    exit 1
  fi
}
# FILE DIR: takes a file that was made into the release, with its .sha256.
take() {
  [ -f "$work/$2/$1" ] && [ -f "$work/$2/$1.sha256" ] ||
    { say "could not make $1: cpack made no such file, or no .sha256 of it" && exit 1; }
  cp "$work/$2/$1" "$work/$2/$1.sha256" "$out/"
}
make_in "the Windows zip" win32 --toolchain "$source/cmake/i686-w64-mingw32.cmake"
package=$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)-win32")$/\1/p' \
  "$work/win32/CPackConfig.cmake")
[ -n "$package" ] || { say "could not tell the release's name and version" && exit 1; }
take "$package-win32.zip" win32
name=${package%-*} version=${package##*-}
for arch; do
  if [ "$arch" = "$own" ]; then
    make_in "the $arch packages" "$arch"
  else
    make_in "the $arch packages" "$arch" --toolchain "$source/cmake/debian-cross.cmake" \
      -DNETCFG_ARCH="$arch"
  fi
  take "${name}_${version}_$arch.deb" "$arch"
  take "$package-linux-$arch.tar.gz" "$arch"
done
# The source, from the same commit, as a folder named for the release: the very tree that every
# program was built from.
$git archive --format=tar --prefix="$package/" "$commit" | gzip -9n >"$out/$package.tar.gz"
tar -xzf "$out/$package.tar.gz" -C "$work"
diff -r "$work/$package" "$source" >&2 ||
  { say "could not make $package.tar.gz: it holds another tree than the one built" && exit 1; }
(cd "$out" && sha256sum "$package.tar.gz" >"$package.tar.gz.sha256")
(cd "$out" && ls | grep -v '\.sha256$' | LC_ALL=C sort | xargs sha256sum >"$work/SHA256SUMS")
mv "$work/SHA256SUMS" "$out/"
say "made in build/release, from commit $commit:"
sed 's/^[0-9a-f]*  /    /' "$out/SHA256SUMS" >&2
