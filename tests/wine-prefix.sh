#!/bin/sh
# Prepares the Wine prefixes the Windows tests run in and keeps a Wine server running for them,
# so that no test pays for starting Wine or sees what Wine prints while it sets a prefix up; and
# an X server of their own, on which Wine shows console windows as a desktop would. The tests
# find its display number in PREFIX.display.
# Usage: wine-prefix.sh start|stop WINE PREFIX UNPRIVILEGED_PREFIX
set -eu
action=$1 wine=$2 prefix=$3 unprivileged_prefix=$4
export WINEDEBUG=-all

# Ends the X server that an earlier start left, by its recorded process id.
stop_x_server() {
  if [ -f "$prefix.xvfb-pid" ]; then
    pid=$(cat "$prefix.xvfb-pid")
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
      kill "$pid"
    fi
    rm -f "$prefix.xvfb-pid" "$prefix.display"
  fi
}

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
  mkdir -p "$(dirname "$prefix")"
  stop_x_server
  # Xvfb takes the first display number that is free, so that test runs side by side, and other
  # X servers on the machine, never meet; it writes the number once it accepts clients.
  : >"$prefix.display"
  setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>>"$prefix.display" </dev/null \
    >"$prefix-xvfb.log" 2>&1 &
  echo $! >"$prefix.xvfb-pid"
  waited=0
  until grep -q '^[0-9]' "$prefix.display"; do
    if [ $waited -ge 600 ] || ! kill -0 "$(cat "$prefix.xvfb-pid")" 2>/dev/null; then
      echo "Xvfb did not start (see $prefix-xvfb.log)" >&2
      exit 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  export DISPLAY=":$(cat "$prefix.display")"
  # A server that a run left without "stop" would still show windows on its X server.
  WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
  start_prefix "$prefix" "$(id -un)" "$(id -gn)" env WINEPREFIX="$prefix"
  # With no window manager, Wine draws each window's frame and title itself, as Windows does.
  WINEPREFIX=$prefix "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    </dev/null >>"$prefix.log" 2>&1
  if [ "$(id -u)" -eq 0 ]; then
    start_prefix "$unprivileged_prefix" nobody nogroup as_nobody
  fi
  ;;
stop)
  WINEPREFIX=$prefix wineserver -k || true
  if [ "$(id -u)" -eq 0 ]; then
    as_nobody wineserver -k 2>/dev/null || true
  fi
  stop_x_server
  ;;
esac
