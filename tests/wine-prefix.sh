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

# Makes a prefix ready and starts a server for it, which stays until "stop": a server started by
# a test would inherit that test's limits, such as a file size limit that truncates the prefix's
# registry. Where prefixes were made beforehand (NETCFG_WINE_PREFIXES, in the VM of
# with-wine32.sh), a new one starts as a copy of its files as links, which costs nothing: Wine
# replaces its registry files rather than rewriting them. wineboot makes the prefix, or brings it
# up to date, and starts Wine's services here, so that none of them keeps a test's output open.
start_prefix() { # PREFIX USER GROUP COMMAND_AS_THE_USER...
  path=$1 user=$2 group=$3
  shift 3
  made=${NETCFG_WINE_PREFIXES:-}/$user
  if [ -n "${NETCFG_WINE_PREFIXES:-}" ] && [ -d "$made" ] && [ ! -e "$path" ]; then
    cp -a --link "$made" "$path"
  fi
  install -d -o "$user" -g "$group" "$path"
  "$@" wineserver -p </dev/null >/dev/null 2>&1
  "$@" "$wine" wineboot -i </dev/null >"$path.log" 2>&1
}

case $action in
start)
  start_prefix "$prefix" "$(id -un)" "$(id -gn)" env WINEPREFIX="$prefix"
  if [ "$(id -u)" -eq 0 ]; then
    start_prefix "$unprivileged_prefix" nobody nogroup as_nobody
  fi
  ;;
stop)
  WINEPREFIX=$prefix wineserver -k || true
  if [ "$(id -u)" -eq 0 ]; then
    as_nobody wineserver -k 2>/dev/null || true
  fi
  ;;
esac
