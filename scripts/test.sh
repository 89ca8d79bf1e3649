#!/bin/sh
# Run by a contributor before pushing, and by CI first: the README's second command.
# Installs what is missing, then builds and runs every test: the Linux program's, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows program's under 32-bit Wine, a
# bounded fuzzing run of the settings reader, the code checks, a second build that must reproduce
# every artifact byte for byte, and the Debian package, installed and used.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
for preset in native asan win32 fuzz; do
  cmake --preset $preset
  cmake --build --preset $preset -j2
done
# The zip is made here, where the cross-compiler is; the Windows tests check it.
cpack --preset win32
for preset in native asan fuzz; do
  ctest --preset $preset -j2
done
# The Windows program that ships, under 32-bit Wine: here where the kernel runs 32-bit programs,
# elsewhere in a VM (see with-wine32.sh).
sh scripts/with-wine32.sh ctest --preset win32 -j2
sh scripts/check-code.sh
sh ci/check-reproducible.sh
sh ci/check-package.sh
