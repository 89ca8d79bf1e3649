#!/bin/sh
# Run by a person setting up a machine, and first by every script that builds or tests.
# Installs, from Debian's packages, whatever the build and the tests need and this machine lacks.
# A package index that cannot be fetched does not stop it (update-package-lists.sh); a package
# that cannot be installed does, in apt's words, but for 32-bit Wine: where that cannot be had,
# what the VM of with-wine32.sh needs is installed instead, and the Windows tests run there.
# Usage: install-deps.sh [native]         (native: only what the Linux program needs)
#        install-deps.sh cross ARCH...    (what test-architectures.sh needs for those architectures)
#        install-deps.sh release ARCH...  (what make-release.sh needs, and the release's checks)
set -eu
scripts=$(cd "$(dirname "$0")" && pwd)
packages="cmake make g++ libgtest-dev strace dpkg-dev"
wine="" vm="" cross="" mode=${1:-}
if [ "$mode" = cross ] || [ "$mode" = release ]; then
  # Debian's cross compilers, named by the architectures' GNU triplets, GoogleTest's source to
  # build for them, and QEMU's user-mode emulators to run what they build. (qemu-user registers
  # no handler with the kernel: how this machine runs programs stays as it is.) The release is
  # made from git archive's output, with the Windows program's cross-compiler too, and its
  # packages checked with lintian, their manual page read with man.
  shift
  packages="$packages googletest qemu-user"
  [ "$mode" = cross ] || packages="$packages git g++-mingw-w64-i686 lintian groff-base man-db"
  cross=$*
elif [ "$mode" != native ]; then
  # The Windows program is cross-built. The sanitizer and fuzzing builds use clang, and the code
  # checks clang-format, clang-tidy, cppcheck and groff; the package is checked with lintian and
  # its manual page read with man.
  packages="$packages g++-mingw-w64-i686 clang libclang-rt-dev clang-format clang-tidy cppcheck
    groff-base lintian man-db"
  # The Windows tests run under 32-bit Wine: here where the kernel runs 32-bit programs, with an
  # X server of their own for the double-click, typed into with xdotool and photographed with
  # ImageMagick; elsewhere in a VM made with debootstrap and cpio and run with QEMU, which has
  # these of its own.
  wine="wine wine32 xvfb xdotool imagemagick"
  vm="qemu-system-x86 debootstrap cpio"
  # The VM's root is made of amd64 programs, which a machine of another processor runs through
  # QEMU's user-mode emulator (make-wine32-vm.sh registers it).
  sh "$scripts/lib/can-run-amd64.sh" || vm="$vm qemu-user-static"
  case ${NETCFG_WINE32:-} in
  vm) wine="" ;;
  here) vm="" ;;
  *) sh "$scripts/lib/can-run-32-bit.sh" || wine="" ;;
  esac
fi

missing() {
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
      printf ' %s' "$package"
  done
}
# Installs those of the packages named that are missing.
install() {
  absent=$(missing "$@")
  [ -z "$absent" ] && return
  echo "Installing:$absent"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $absent
}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ -n "$cross" ] && command -v dpkg-architecture >/dev/null; then
  for arch in $cross; do
    packages="$packages g++-$(dpkg-architecture -a"$arch" -qDEB_HOST_GNU_TYPE 2>/dev/null)"
  done
  cross=""
fi
[ -n "$(missing $packages ${wine:-$vm})" ] || [ -n "$cross" ] || exit 0
# 32-bit Wine is Debian's i386 architecture, whose lists the update must fetch too.
added_i386=""
if [ -n "$(missing $wine)" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  added_i386=yes
fi
$sudo sh "$scripts/lib/update-package-lists.sh"
install $packages || {
  echo "install-deps.sh: apt could not install what the build needs" >&2
  exit 1
}
# The cross compilers' names, once dpkg-dev is there to tell them.
[ -z "$cross" ] || exec sh "$0" "$mode" $cross
if [ -n "$wine" ]; then
  # apt's words are kept back should the VM stand in, all but its reason.
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  if install $wine >"$log" 2>&1; then
    cat "$log"
  elif [ -z "$vm" ]; then
    cat "$log"
    echo "install-deps.sh: apt could not install 32-bit Wine" >&2
    exit 1
  else
    echo "install-deps.sh: 32-bit Wine cannot be installed here ($(sed -n 's/^E: //p' "$log" |
      tail -n 1)); the Windows tests run in a virtual machine instead" >&2
    [ -z "$added_i386" ] || $sudo dpkg --remove-architecture i386 2>/dev/null || :
    wine=""
  fi
fi
[ -n "$wine" ] || install $vm || {
  echo "install-deps.sh: neither 32-bit Wine nor the virtual machine it runs in can be installed" >&2
  exit 1
}
