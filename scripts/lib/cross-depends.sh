#!/bin/sh
# Called by cpack for a dynamic cross-built package; not run by hand.
# Prints the Depends of a dynamic program cross-built for another of Debian's architectures, as
# that architecture's dpkg-shlibdeps gives them. Here the libraries it needs come from the cross
# compiler's packages (libc6-armhf-cross, ...), which hold that architecture's libraries under
# other names and without their symbols files; so that architecture's own packages of them
# (libc6, libgcc-s1, ...) are fetched from Debian's mirror into DIR, with package lists of that
# architecture kept there too, apart from this machine's, and dpkg-shlibdeps reads their symbols
# as those of packages built beside the program. What was fetched is kept for the next run.
# Usage: cross-depends.sh ARCH PROGRAM DIR
set -eu
arch=$1 program=$(realpath "$2") dir=$3
scripts=$(cd "$(dirname "$0")/.." && pwd)
fail() {
  echo "cross-depends.sh: $*" >&2
  exit 1
}
triplet=$(dpkg-architecture -a"$arch" -qDEB_HOST_GNU_TYPE 2>/dev/null) ||
  fail "$arch is none of Debian's architectures"
# The architecture's package of each library the program needs: the cross package that holds
# that library here, less its -ARCH-cross.
packages=""
for library in $(readelf -dW "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'); do
  owner=$(dpkg-query -S "/usr/$triplet/lib/$library" 2>/dev/null | cut -d : -f 1)
  [ -n "$owner" ] || fail "no installed package holds /usr/$triplet/lib/$library"
  packages="$packages ${owner%-"$arch"-cross}"
done
[ -n "$packages" ] || fail "$program needs no library"
packages=$(printf '%s\n' $packages | sort -u)
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
missing=""
for package in $packages; do
  [ -d "$dir/$package/DEBIAN" ] || missing="$missing $package"
done
if [ -n "$missing" ]; then
  apt="-o APT::Architecture=$arch -o APT::Architectures=$arch -o Dir::State::Lists=$dir/lists
    -o Dir::State::status=$dir/status -o Dir::Cache=$dir/cache -o APT::Sandbox::User=root"
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" "$dir/debs"
  : >"$dir/status"
  sh "$scripts/lib/update-package-lists.sh" $apt >&2
  (cd "$dir/debs" && apt-get $apt download $missing >&2) ||
    fail "apt could not fetch$missing for $arch"
  for package in $missing; do
    deb=$(ls "$dir/debs/${package}_"*"_$arch.deb")
    dpkg-deb -x "$deb" "$dir/$package"
    dpkg-deb -e "$deb" "$dir/$package/DEBIAN"
  done
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/debian"
printf 'Source: halmere-netcfg\n\nPackage: halmere-netcfg\nArchitecture: %s\n' "$arch" \
  >"$work/debian/control"
set --
for package in $packages; do
  set -- "$@" -S"$dir/$package"
done
depends=$(cd "$work" && DEB_HOST_ARCH=$arch dpkg-shlibdeps -O "$@" -e"$program") ||
  fail "dpkg-shlibdeps failed"
printf '%s\n' "$depends" | sed -n 's/^shlibs:Depends=//p'
