#!/bin/sh
# Checks that a built program carries the hardening it is built with, as the system's tools show
# it. Usage: check-hardening.sh PROGRAM [OBJDUMP]   (OBJDUMP: the Windows program's)
set -eu
program=$1
status=0
expect() { # what text
  printf '%s\n' "$2" | grep -qE -- "$1" || { echo "missing: $1"; status=1; }
}
if [ $# -ge 2 ]; then
  # Windows: ASLR, with the relocations it needs, and DEP; only DLLs that come with Windows.
  headers=$("$2" -p -h "$program")
  expect 'DYNAMIC_BASE' "$headers"
  expect 'NX_COMPAT' "$headers"
  expect '[0-9] \.reloc ' "$headers"
  dlls=$(printf '%s\n' "$headers" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z\n' 'a-z ')
  expect '^((advapi32|kernel32|msvcrt|wsock32)\.dll )+$' "$dlls"
else
  # Linux: position-independent, relocations read-only and bound at start, no executable stack,
  # the stack protector and checked string functions in use.
  expect 'Type: +DYN' "$(readelf -hW "$program")"
  segments=$(readelf -lW "$program")
  expect 'GNU_RELRO' "$segments"
  expect 'GNU_STACK( +0x[0-9a-f]+){5} RW ' "$segments"
  expect 'BIND_NOW' "$(readelf -dW "$program")"
  symbols=$(readelf -sW "$program" 2>/dev/null || true)
  if printf '%s\n' "$symbols" | grep -q '\.symtab'; then
    expect '__stack_chk_fail' "$symbols"
    expect '__[a-z]+_chk' "$symbols"
  fi
fi
[ $status -eq 0 ] && echo "hardening: as built"
exit $status
