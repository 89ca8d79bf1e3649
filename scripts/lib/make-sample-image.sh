#!/bin/sh
# Called by run-example.sh, the package and zip checks and the benchmark; not run by hand.
# Makes a sample image for trying the utility: 128 KiB of a repeating byte pattern, with the
# network block at 0x16DE0 holding 255.0.0.0, 10.0.0.1 and 10.0.0.2.
set -eu
out=${1:?usage: make-sample-image.sh IMAGE}
i=0 pattern=''
while [ $i -lt 256 ]; do pattern="$pattern$(printf '\\%03o' $i)"; i=$((i + 1)); done
: >"$out"
i=0
while [ $i -lt 512 ]; do printf "$pattern" >>"$out"; i=$((i + 1)); done
printf '\377\000\000\000\012\000\000\001\012\000\000\002' |
  dd of="$out" bs=1 seek=93664 conv=notrunc status=none
