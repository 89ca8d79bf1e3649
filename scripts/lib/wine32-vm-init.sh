#!/bin/sh
# Run by the VM's kernel as its /init; never on this machine.
# The first program of the virtual machine that with-wine32.sh boots, its /init: mounts this tree
# where it is on the host, runs the command that with-wine32.sh left in its run directory, and
# powers the machine off. The command's output, and nothing else, goes to the first serial port;
# the kernel's messages, the steps taken and the command's status go to the second, for
# with-wine32.sh to read.
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH
mount -t devtmpfs devtmpfs /dev
mount -t proc proc /proc
exec 3>/dev/ttyS1

say() {
  echo "netcfg: $* at $(cut -d ' ' -f 1 /proc/uptime) s" >&3
}

power_off() {
  sync
  stty -F /dev/ttyS1 -opost  # a change waits until what was written has gone out
  echo o >/proc/sysrq-trigger
  while :; do sleep 60; done
}

step() {
  say "step $1"
  shift
  "$@" 2>&3 && return 0
  say "failed"
  power_off
}

mount_all() {
  mount -t sysfs sysfs /sys && mkdir -p /dev/pts /dev/shm && mount -t devpts devpts /dev/pts &&
    mount -t tmpfs tmpfs /dev/shm &&
    # The root lives in memory, which the kernel caps at half of it; Wine prefixes and the tests'
    # files need more.
    mount -o remount,size=90% /
}

# The tree is shared as "tree"; it moves to its own path once that path has been read from it.
mount_tree() {
  run=$(sed -n 's/.*netcfg\.run=\([^ ]*\).*/\1/p' /proc/cmdline)
  mkdir -p /mnt/tree && mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288 tree /mnt/tree &&
    IFS= read -r tree </mnt/tree/"$run"/tree && mkdir -p "$tree" &&
    mount --move /mnt/tree "$tree" && run=$tree/$run
}

run_command() {
  stty -F /dev/ttyS0 raw -echo
  mkfifo /run-output
  cat /run-output >/dev/ttyS0 &
  copier=$!
  # In the command's directory, with its environment (see the command file).
  env -i HOME=/root PATH="$PATH" NETCFG_WINE_PREFIXES=/var/lib/netcfg-wine sh "$run/command" \
    </dev/null >/run-output 2>&1
  status=$?
  # What the command left running (a Wine server, say) ends with it, and lets go of its output.
  for pid in $(ls /proc); do
    case $pid in 1 | "$copier" | *[!0-9]*) ;; *) kill -KILL "$pid" 2>/dev/null ;; esac
  done
  wait "$copier"
  stty -F /dev/ttyS0 raw  # waits until the output has gone out
  say "status $status"
}

step "mounting /sys, /dev/pts and the root's new size" mount_all
step "loading the modules for the shared tree" modprobe -a virtio_pci 9pnet_virtio 9p
step "mounting the shared tree" mount_tree
hostname wine32-vm
step "running the command" run_command
power_off
