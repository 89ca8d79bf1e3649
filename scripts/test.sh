#!/bin/sh
# Installs what is missing, builds the Linux and the Windows program, and runs every test: the
# Windows program's under Wine.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
for preset in native win32; do
  cmake --preset $preset
  cmake --build --preset $preset -j2
done
ctest --preset native -j2
ctest --preset win32 -j2
