#!/bin/sh
# Checks that a built program carries the hardening its build promises on its architecture, as
# the system's tools show it.
# Usage: check-hardening.sh PROGRAM static-pie|pie [PROPERTY OBJECT...]   (a Linux program)
#        check-hardening.sh PROGRAM windows OBJDUMP
# PROPERTY: what readelf -n shows of the architecture's control-flow protection in each OBJECT
# the program is linked from, such as "x86 feature: IBT, SHSTK" or "AArch64 feature: BTI, PAC".
# The linker marks the program itself so only where every object of the C library is marked,
# which Debian 12's is not; the objects show that the program's own code has it.
set -eu
program=$1 linking=$2
status=0
expect() { # what text
  printf '%s\n' "$2" | grep -qE -- "$1" || { echo "missing: $1"; status=1; }
}
if [ "$linking" = windows ]; then
  # Windows: ASLR, with the relocations it needs, and DEP; only DLLs that come with Windows.
  headers=$("$3" -p -h "$program")
  expect 'DYNAMIC_BASE' "$headers"
  expect 'NX_COMPAT' "$headers"
  expect '[0-9] \.reloc ' "$headers"
  dlls=$(printf '%s\n' "$headers" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z\n' 'a-z ')
  expect '^((advapi32|kernel32|msvcrt|wsock32)\.dll )+$' "$dlls"
else
  # Linux: position-independent, relocations read-only and bound at start, no executable stack,
  # the stack protector and checked string functions in use, on any architecture.
  expect 'Type: +DYN' "$(readelf -hW "$program")"
  segments=$(readelf -lW "$program")
  expect 'GNU_RELRO' "$segments"
  expect 'GNU_STACK( +0x[0-9a-f]+){5} RW ' "$segments"
  dynamic=$(readelf -dW "$program")
  expect 'BIND_NOW' "$dynamic"
  if [ "$linking" = static-pie ]; then
    # Nothing loaded beside it: no interpreter, no library.
    printf '%s\n' "$segments" | grep -q ' INTERP ' && { echo "unexpected: INTERP"; status=1; }
    printf '%s\n' "$dynamic" | grep -q '(NEEDED)' && { echo "unexpected: NEEDED"; status=1; }
    # Stripped, a static program names its functions only where its symbols were kept.
    symbols=$(readelf -sW "$program" 2>/dev/null || true)
    printf '%s\n' "$symbols" | grep -q '\.symtab' || symbols=""
  else
    expect ' INTERP ' "$segments"
    # What a dynamic program calls from the C library, it names.
    symbols=$(readelf --dyn-syms -W "$program")
  fi
  if [ -n "$symbols" ]; then
    expect '__stack_chk_fail' "$symbols"
    expect '__[a-z0-9]+_chk\b' "$(printf '%s\n' "$symbols" | grep -v __stack_chk)"
  fi
  if [ $# -gt 2 ]; then
    property=$3
    shift 3
    [ $# -gt 0 ] || { echo "no object to look for \"$property\" in"; status=1; }
    for object; do
      readelf -nW "$object" | grep -qF "$property" ||
        { echo "missing: $property in $object"; status=1; }
    done
  fi
fi
[ $status -eq 0 ] && echo "hardening: as built ($linking)"
exit $status
