#!/bin/sh
# Prepares the Wine prefixes the Windows tests run in and keeps a Wine server running for them,
# so that no test pays for starting Wine or sees what Wine prints while it sets a prefix up.
# Usage: wine-prefix.sh start|stop WINE PREFIX UNPRIVILEGED_PREFIX
set -eu
action=$1 wine=$2 prefix=$3 unprivileged_prefix=$4
export WINEDEBUG=-all

as_nobody() {
  setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env HOME="$unprivileged_prefix" WINEPREFIX="$unprivileged_prefix" "$@"
}

case $action in
start)
  # A server started by a test would inherit that test's limits, such as a file size limit
  # that truncates the prefix's registry; so one is started here, and stays until "stop".
  mkdir -p "$prefix"
  WINEPREFIX=$prefix wineserver -p </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefix "$wine" wineboot -i </dev/null >"$prefix.log" 2>&1
  if [ "$(id -u)" -eq 0 ]; then
    mkdir -p "$unprivileged_prefix"
    chown nobody:nogroup "$unprivileged_prefix"
    as_nobody "$wine" wineboot -i </dev/null >"$prefix-nobody.log" 2>&1
  fi
  ;;
stop)
  WINEPREFIX=$prefix wineserver -k || true
  if [ "$(id -u)" -eq 0 ]; then
    as_nobody wineserver -k 2>/dev/null || true
  fi
  ;;
esac
