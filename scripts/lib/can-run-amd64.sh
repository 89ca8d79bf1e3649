#!/bin/sh
# Called by install-deps.sh and qemu-handler.sh; not run by hand.
# Says, by its status, whether this machine runs 64-bit x86 programs, itself or through QEMU's
# user-mode emulator: it runs the smallest such program, which only exits. The root of the VM
# that with-wine32.sh runs is made of them (make-wine32-vm.sh).
set -eu
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment, then: mov eax, 60; xor edi, edi; syscall (exit 0).
printf '\177ELF\002\001\001\000\000\000\000\000\000\000\000\000\002\000\076\000' >"$probe"
printf '\001\000\000\000\170\000\100\000\000\000\000\000\100\000\000\000\000\000\000\000' >>"$probe"
printf '\000\000\000\000\000\000\000\000\000\000\000\000\100\000\070\000\001\000\000\000' >>"$probe"
printf '\000\000\000\000\001\000\000\000\005\000\000\000\000\000\000\000\000\000\000\000' >>"$probe"
printf '\000\000\100\000\000\000\000\000\000\000\100\000\000\000\000\000\201\000\000\000' >>"$probe"
printf '\000\000\000\000\201\000\000\000\000\000\000\000\000\020\000\000\000\000\000\000' >>"$probe"
printf '\270\074\000\000\000\061\377\017\005' >>"$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
