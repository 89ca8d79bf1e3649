#!/bin/sh
# Installs, from Debian's packages, whatever the build and the tests need and this machine lacks.
# Usage: install-deps.sh [native]   (native: only what the Linux program needs)
set -eu
packages="cmake make g++ libgtest-dev strace dpkg-dev"
if [ "${1:-}" != native ]; then
  # The Windows program is cross-built, and tested under 32-bit Wine where with-wine32.sh runs
  # it: here, or in a VM that it makes with debootstrap and cpio and runs with QEMU. The
  # sanitizer and fuzzing builds use clang, and the code checks clang-format, clang-tidy,
  # cppcheck and groff; the package is checked with lintian and its manual page read with man.
  packages="$packages g++-mingw-w64-i686 clang libclang-rt-dev clang-format clang-tidy cppcheck"
  if [ "$(sh "$(dirname "$0")/with-wine32.sh" --where)" = here ]; then
    # The double-click is tested in a window on an X server of the tests' own, typed into with
    # xdotool and photographed with ImageMagick; the VM has these of its own.
    packages="$packages wine wine32 xvfb xdotool imagemagick"
  else
    packages="$packages qemu-system-x86 debootstrap cpio"
  fi
  packages="$packages groff-base lintian man-db"
fi
missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
    missing="$missing $package"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
case " $missing " in
*" wine32 "*) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
esac
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
