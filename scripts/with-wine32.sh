#!/bin/sh
# Run by a contributor around the Windows tests, and by test.sh.
# Runs a command where 32-bit Wine runs, so that the Windows program that ships is tested on any
# machine: here, where this machine's kernel runs 32-bit programs (scripts/lib/can-run-32-bit.sh) and
# 32-bit Wine is installed (Debian's wine32: 64-bit Wine alone runs no 32-bit program);
# elsewhere in a virtual machine that QEMU emulates whole, made from Debian's packages by
# scripts/lib/make-wine32-vm.sh, with this tree shared at its own path.
#
# Usage, from within the tree:  sh scripts/with-wine32.sh COMMAND [ARGUMENTS...]
#   e.g.  sh scripts/with-wine32.sh ctest --preset win32 -R Explorer --output-on-failure
#                                sh scripts/with-wine32.sh --where   (says "here" or "vm")
#
# In the VM the command runs as root in the same directory, with this tree's files (and nothing
# else of this machine's), the environment variables named NETCFG_*, CTEST_*, GTEST_*, WINE*,
# LANG, LC_* and TZ, and Wine prefixes ready for the tests' fixtures to copy. Its standard input
# is empty; its standard output and error come back on standard output; its status is this
# script's. The VM boots in about 35 s, and nothing of it outlives the command.
#
# The VM is made the first time it is needed, in build/wine32-vm/ (about six minutes, as root),
# and made again whenever make-wine32-vm.sh, wine32-vm-init.sh, update-package-lists.sh or
# debian-mirror.sh changes. Should the VM fail to be made, to boot, or to give the command's status
# back in time, or 32-bit Wine be missing where the command is to run here, this script says which
# step failed in one line and exits with status 125.
#
#   NETCFG_WINE32=vm          runs the command in the VM even where it could run here
#   NETCFG_WINE32=here        runs it here, whatever the kernel (32-bit Wine must be installed)
#   NETCFG_WINE32_TIMEOUT=S   seconds the VM may run, boot included (default 2400)
#   NETCFG_WINE32_VM=DIR      boots the VM made in DIR as it is (make-wine32-vm.sh uses it)
set -eu
[ $# -gt 0 ] || { echo "usage: with-wine32.sh COMMAND [ARGUMENTS...]" >&2; exit 2; }
scripts=$(cd "$(dirname "$0")" && pwd -P)
tree=${scripts%/scripts}

fail() {
  echo "with-wine32.sh: $*" >&2
  exit 125
}

wine32_installed() {
  dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q "ok installed"
}
mode=${NETCFG_WINE32:-}
[ -z "${NETCFG_WINE32_VM:-}" ] || mode=vm
case $mode in
here | vm) ;;
"") if sh "$scripts/lib/can-run-32-bit.sh" && wine32_installed; then mode=here; else mode=vm; fi ;;
*) fail "NETCFG_WINE32 is \"$mode\": it may be vm or here" ;;
esac
[ "$1" != --where ] || { echo $mode; exit 0; }
if [ $mode = here ]; then
  wine32_installed || fail "32-bit Wine is not installed here (Debian's wine32, which" \
    "sh scripts/install-deps.sh installs where it can be had)"
  exec "$@"
fi

here=$(pwd -P)
case $here/ in
"$tree"/*) ;;
*) fail "run it from within the tree $tree" ;;
esac
command -v qemu-system-x86_64 >/dev/null ||
  fail "qemu-system-x86_64 is missing (sh scripts/install-deps.sh installs it)"

# The VM, made anew when its recipe changes.
vms=$tree/build/wine32-vm
mkdir -p "$vms"
if [ -n "${NETCFG_WINE32_VM:-}" ]; then
  image=$NETCFG_WINE32_VM
else
  key=$(cat "$scripts/lib/make-wine32-vm.sh" "$scripts/lib/wine32-vm-init.sh" \
    "$scripts/lib/update-package-lists.sh" "$scripts/lib/debian-mirror.sh" | sha256sum | cut -c 1-16)
  image=$vms/$key
  exec 9>"$vms/lock"
  flock 9
  if [ ! -f "$image/ready" ]; then
    [ "$(id -u)" -eq 0 ] || fail "making the VM needs root; run this once as root"
    for old in "$vms"/*/; do
      case $old in */run.*/) ;; *) rm -rf --one-file-system "$old" ;; esac
    done
    echo "with-wine32.sh: making the VM for 32-bit Wine in $image (about six minutes)" >&2
    sh "$scripts/lib/make-wine32-vm.sh" "$image" || exit 125
    touch "$image/ready"
  fi
  exec 9>&-
fi

# What the command is, where it runs and with what: a script for the VM's shell.
run=$(mktemp -d "$vms/run.XXXXXX")
quote() {
  printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"
}
{
  printf 'cd %s || exit 125\n' "$(quote "$here")"
  for name in $(env | sed -n 's/^\([A-Za-z_][A-Za-z0-9_]*\)=.*/\1/p'); do
    case $name in
    NETCFG_WINE32*) ;;
    NETCFG_* | CTEST_* | GTEST_* | WINE* | LANG | LC_* | TZ)
      eval "value=\${$name}"
      printf 'export %s=%s\n' "$name" "$(quote "$value")"
      ;;
    esac
  done
  printf 'exec'
  for word in "$@"; do printf ' %s' "$(quote "$word")"; done
  printf '\n'
} >"$run/command"
printf '%s\n' "$tree" >"$run/tree"

console=$run/console
echo "with-wine32.sh: running it in the VM, under 32-bit Wine" >&2
timeout=${NETCFG_WINE32_TIMEOUT:-2400}
share=$(printf '%s' "$tree" | sed 's/,/,,/g')  # QEMU's options double a comma
qemu_status=0
timeout "$timeout" qemu-system-x86_64 -accel tcg -cpu max,-smap -smp 2 -m 4096 -no-reboot \
  -nodefaults -nic none -display none -serial stdio -serial "file:$console" \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.cpio" \
  -append "console=ttyS1 quiet panic=-1 netcfg.run=${run#"$tree"/}" \
  -virtfs "local,path=$share,mount_tag=tree,security_model=none,multidevs=remap" \
  </dev/null &
# Stopped with this script: the VM is in a process group of its own.
trap 'kill $! 2>/dev/null; exit 130' INT TERM HUP
wait $! || qemu_status=$?
trap - INT TERM HUP

status=$(sed -n 's/^netcfg: status \([0-9]*\) .*/\1/p' "$console" 2>/dev/null)
if [ -n "$status" ]; then
  rm -rf "$run"
  exit "$status"
fi
last_step=$(sed -n 's/^netcfg: step \(.*\) at .*/\1/p' "$console" 2>/dev/null | tail -n 1)
seen="its console: $console"
[ $qemu_status -ne 124 ] ||
  fail "the VM ran out of its $timeout s${last_step:+ while $last_step} ($seen)"
[ -n "$last_step" ] || fail "the VM did not boot (QEMU's status $qemu_status; $seen)"
fail "the VM stopped while $last_step, and gave no status back ($seen)"
