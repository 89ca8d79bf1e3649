#!/bin/sh
# Called by install-deps.sh and the other scripts that install packages; not run by hand.
# Fetches apt's package lists. A mirror can serve one of its indexes broken for hours (while it
# syncs, with another size than its Release file names), so an update that fails is tried again a
# few times and then left as it is: apt goes on with the lists that did come, after one line that
# names what failed. A package those lists cannot give fails later, when it is installed.
# Usage, as root: update-package-lists.sh [APT-OPTION...]   (options for apt-get, such as -o)
set -eu
tries=3
log=$(mktemp)
trap 'rm -f "$log"' EXIT
try=1
while :; do
  if apt-get "$@" update -q >"$log" 2>&1 && ! grep -q "^[EW]: Failed to fetch " "$log"; then
    exit 0
  fi
  [ $try -lt $tries ] || break
  try=$((try + 1))
  sleep 10
done
failed=$(sed -n -e "s/^[EW]: Failed to fetch \([^ ]*\).*/\1/p" \
  -e "s/^[EW]: The repository '\([^']*\)'.*/\1/p" "$log" | sort -u | tr '\n' ' ')
[ -n "$failed" ] || failed=$(sed -n 's/^E: //p' "$log" | head -n 1)
echo "update-package-lists.sh: after $tries tries apt could not fetch ${failed% };" \
  "going on with the package lists it has" >&2
