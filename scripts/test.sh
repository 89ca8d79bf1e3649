#!/bin/sh
# Installs what is missing, then builds and runs every test: the Linux program's, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows program's under Wine, a bounded
# fuzzing run of the settings reader, the code checks, and the Debian package, installed and
# used.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
for preset in native asan win32 fuzz; do
  cmake --preset $preset
  cmake --build --preset $preset -j2
done
for preset in native asan win32 fuzz; do
  ctest --preset $preset -j2
done
sh scripts/check-code.sh
sh scripts/check-package.sh
