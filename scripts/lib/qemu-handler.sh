#!/bin/sh
# Called by make-wine32-vm.sh and test-in-release.sh; not run by hand.
# Makes this machine run the programs of another of Debian's architectures, as a root of that
# architecture needs them run (debootstrap, chroot): where they do not run here, registers the
# handler of QEMU's user-mode emulator for them with the kernel (binfmt_misc, mounted first where
# it is not), as Debian's qemu-user-static describes it, installing that where it is missing.
# Prints the handler's name where it registered one, for `qemu-handler.sh remove NAME` to take
# it away again; prints nothing where the programs run already.
# Usage, as root: qemu-handler.sh ARCH   |   qemu-handler.sh remove NAME
set -eu
scripts=$(cd "$(dirname "$0")/.." && pwd)
binfmt=/proc/sys/fs/binfmt_misc
if [ "$1" = remove ]; then
  [ ! -f "$binfmt/$2" ] || echo -1 >"$binfmt/$2"
  exit 0
fi
arch=$1
fail() {
  echo "qemu-handler.sh: $*" >&2
  exit 1
}
# This machine's own programs, and x86 ones where it runs them already (also through a handler).
[ "$arch" != "$(dpkg --print-architecture)" ] || exit 0
[ "$arch" != i386 ] || ! sh "$scripts/lib/can-run-32-bit.sh" || exit 0
[ "$arch" != amd64 ] || ! sh "$scripts/lib/can-run-amd64.sh" || exit 0
# QEMU names 32-bit x86 and little-endian 64-bit POWER otherwise than the GNU triplet does.
cpu=$(dpkg-architecture -a"$arch" -qDEB_HOST_GNU_CPU 2>/dev/null |
  sed 's/^i[3-6]86$/i386/; s/^powerpc64le$/ppc64le/')
[ -n "$cpu" ] || fail "$arch is none of Debian's architectures (dpkg-architecture -L lists them)"
name=qemu-$cpu
[ -d "$binfmt" ] || fail "this kernel has no binfmt_misc, to run $arch programs with"
mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
if [ -f "$binfmt/$name" ]; then
  grep -qx enabled "$binfmt/$name" || fail "the handler $name is registered, but disabled"
  exit 0
fi
description=/usr/lib/binfmt.d/$name.conf
if [ ! -f "$description" ]; then
  sh "$scripts/lib/update-package-lists.sh" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends qemu-user-static \
    >&2
fi
[ -f "$description" ] || fail "Debian's qemu-user-static describes no handler $name"
# Its one line is what the kernel takes; the F flag has the emulator opened now, so that it
# runs in any root.
grep -v '^[#;]' "$description" >"$binfmt/register"
echo "$name"
