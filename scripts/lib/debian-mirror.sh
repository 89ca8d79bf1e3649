#!/bin/sh
# Called by make-wine32-vm.sh and test-in-release.sh; not run by hand.
# Prints the address of Debian's archive that this machine's apt sources name for a suite
# ("bookworm", "trixie-security"), in one-line or deb822 form: the first whose Release file apt
# fetched when it last updated its lists, so that a source that cannot be fetched is passed over;
# where apt has fetched none, the first named. Fails, printing nothing, where none names it.
# Usage: debian-mirror.sh SUITE
set -eu
suite=$1

# The archives of the suite in the apt sources, in their order.
archives() {
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk -v suite="$suite" '$1 == "deb" {
      i = 2
      if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
      if ($(i + 1) == suite) print $i
    }'
  for sources in /etc/apt/sources.list.d/*.sources; do
    [ -f "$sources" ] || continue
    awk -v suite="$suite" 'BEGIN { RS = "" } {
      deb = 0; found = 0; enabled = 1; uri = ""
      n = split($0, lines, "\n")
      for (l = 1; l <= n; l++) {
        if (lines[l] ~ /^#/) continue
        field = tolower(lines[l]); sub(/:.*/, "", field)
        value = lines[l]; sub(/^[^:]*:[ \t]*/, "", value)
        if (field == "types" && (" " value " ") ~ / deb /) deb = 1
        if (field == "suites" && (" " value " ") ~ (" " suite " ")) found = 1
        if (field == "enabled" && tolower(value) == "no") enabled = 0
        if (field == "uris") { split(value, uris, " "); uri = uris[1] }
      }
      if (deb && found && enabled && uri != "") print uri
    }' "$sources"
  done
}

# apt names its lists for the address without its scheme, "/" made "_".
first=""
for archive in $(archives); do
  first=${first:-$archive}
  list=/var/lib/apt/lists/$(printf '%s' "${archive%/}" | sed 's|^[a-z0-9+]*://||; s|/|_|g')
  if ls "${list}_dists_${suite}_"*Release >/dev/null 2>&1; then
    echo "$archive"
    exit 0
  fi
done
[ -n "$first" ] && echo "$first"
