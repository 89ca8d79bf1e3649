#!/bin/sh
# Installs what is missing, builds, and runs every test.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake --preset native
cmake --build --preset native -j2
ctest --preset native -j2
