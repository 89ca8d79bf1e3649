#!/bin/sh
# Installs what is missing, then builds and runs every test: the Linux program's, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows program's under Wine, a bounded
# fuzzing run of the settings reader, the code checks, a second build that must reproduce every
# artifact byte for byte, and the Debian package, installed and used.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
# The Windows program is a 32-bit one, which 32-bit Wine runs only where the kernel runs 32-bit
# programs. Elsewhere its sources are tested as a 64-bit build under 64-bit Wine.
windows_tests=win32
if ! sh scripts/can-run-32-bit.sh; then
  windows_tests=win64
  echo "This machine cannot run 32-bit programs: the 32-bit Windows program is built and its files"
  echo "checked, and the end-to-end cases run against the same sources built for 64-bit Windows."
fi
presets="native asan win32 fuzz"
[ $windows_tests = win64 ] && presets="$presets win64"
for preset in $presets; do
  cmake --preset $preset
  cmake --build --preset $preset -j2
done
for preset in native asan fuzz $windows_tests; do
  ctest --preset $preset -j2
done
[ $windows_tests = win64 ] && ctest --preset win32 -L files
sh scripts/check-code.sh
sh scripts/check-reproducible.sh
sh scripts/check-package.sh
