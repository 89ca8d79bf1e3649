#!/bin/sh
# Run by CI (.ci/run), or by a contributor who changed what differs between architectures.
# Cross-builds the Linux program and its tests for other architectures that Debian releases for,
# with Debian's cross compilers, and runs them under QEMU's user-mode emulator: the unit tests,
# the end-to-end cases (through the native build's test program, the program run by the
# emulator) and the hardening check. Installs what is missing first.
# Usage: test-architectures.sh [ARCH...]
#   ARCH: as Debian names it; by default arm64, armhf (32-bit), i386 and s390x (big-endian),
#   leaving out this machine's own.
set -eu
cd "$(dirname "$0")/.."
if [ $# -eq 0 ]; then
  own=$(dpkg --print-architecture)
  for arch in arm64 armhf i386 s390x; do
    [ "$arch" = "$own" ] || set -- "$@" "$arch"
  done
fi
sh scripts/install-deps.sh cross "$@"
# The end-to-end cases come from the native build's test program.
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target end_to_end_test >/dev/null
for arch; do
  echo "test-architectures.sh: $arch"
  cmake --preset "$arch" >/dev/null
  cmake --build --preset "$arch" -j2 >/dev/null
  ctest --preset "$arch" -j2
done
