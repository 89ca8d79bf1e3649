#!/bin/sh
# Run by a newcomer from a checkout, the README's first command: it shows one run.
# Builds the utility and runs it on the bundled example in a scratch directory, showing the
# network block of the image before and after.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target halmere-netcfg >/dev/null
program=$(pwd)/build/native/halmere-netcfg
scratch=$(mktemp -d)
cp example/halmere02.ini "$scratch/"
sh scripts/lib/make-sample-image.sh "$scratch/halmere02a.dol"
show_block() { od -A x -t x1 -j 0x16DE0 -N 12 "$scratch/halmere02a.dol" | head -n 1; }
echo "In $scratch, halmere02.ini says:"
sed 's/^/    /' "$scratch/halmere02.ini"
echo "Network block before: $(show_block)"
echo
status=0
(cd "$scratch" && "$program") || status=$?
echo
echo "Exit status: $status"
echo "Network block after:  $(show_block)"
