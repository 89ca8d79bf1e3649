#!/bin/sh
# Says, by its status, whether this machine runs 32-bit x86 programs: it runs the smallest such
# program, which only exits. A kernel with its 32-bit emulation turned off refuses to start it.
set -eu
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
