#!/bin/sh
# Called by the release's checks and test-in-release.sh; not run by hand.
# Prints the commit that the release in DIR was made from, as its source archive (git archive's
# output) names it; fails, printing nothing, where DIR holds no such archive.
# Usage: release-commit.sh DIR
set -eu
for archive in "$1"/halmere-netcfg-*.tar.gz; do
  case $archive in *-linux-*) continue ;; esac
  [ -f "$archive" ] && gzip -dc "$archive" | git get-tar-commit-id && exit 0
done
exit 1
