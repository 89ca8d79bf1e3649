#!/bin/sh
# Called by install-deps.sh, with-wine32.sh and qemu-handler.sh; not run by hand.
# Says, by its status, whether this machine's kernel runs 32-bit x86 programs itself: it runs the
# smallest such program, which only exits. A kernel with its 32-bit emulation turned off refuses
# to start it. On a machine of another processor, or where a handler of QEMU's user-mode emulator
# is registered for them (binfmt_misc; Debian's qemu-user-static registers one on arm64), such a
# program may start all the same, emulated: that is no kernel that runs them.
set -eu
case $(dpkg --print-architecture) in
amd64 | i386) ;;
*) exit 1 ;;
esac
for handler in /proc/sys/fs/binfmt_misc/*; do
  [ -f "$handler" ] && grep -qx enabled "$handler" 2>/dev/null || continue
  # An ELF header of 32-bit x86: little-endian, 32-bit, machine 3 (or 6, the i486 variant).
  ! grep -qE '^magic 7f454c4601010100000000000000000002000[36]00' "$handler" || exit 1
done
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment, then: mov eax, 1; xor ebx, ebx; int 0x80 (exit 0).
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$probe"
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$probe"
printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
printf '\270\001\000\000\000\061\333\315\200' >>"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
