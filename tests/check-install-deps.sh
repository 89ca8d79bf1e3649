#!/bin/sh
# Checks what install-deps.sh chooses, with apt, dpkg and the kernel played by stand-ins that
# install nothing: a package index that cannot be fetched is tried again, named, and gone on
# without; where 32-bit Wine cannot be installed, what the VM needs is, and with-wine32.sh then
# runs the Windows tests in the VM, as it does where 64-bit Wine alone is installed; where neither
# can be had, the install fails and says so; on a machine of another processor, which may start
# 32-bit x86 programs only emulated, the VM is chosen too. Then test-in-release.sh, with
# debootstrap, mount and chroot played too: its root is unmounted before it is removed, however
# the run ends; a root of another architecture has the emulator's handler taken away after, and
# its Windows program compared with the one built here.
# Usage: check-install-deps.sh
set -eu
tree=$(cd "$(dirname "$0")/.." && pwd)
scripts=$tree/scripts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts/lib" "$work/ci" "$work/bin"
cp "$scripts/install-deps.sh" "$scripts/with-wine32.sh" "$work/scripts/"
cp "$scripts/lib/update-package-lists.sh" "$scripts/lib/can-run-amd64.sh" "$work/scripts/lib/"
echo 'exit 0' >"$work/scripts/lib/can-run-32-bit.sh"  # a kernel that runs 32-bit programs
stand_in() { cat >"$work/bin/$1" && chmod +x "$work/bin/$1"; }
printf '#!/bin/sh\n' | stand_in sleep
printf '#!/bin/sh\nexec "$@"\n' | stand_in sudo
stand_in apt-get <<'EOF'
#!/bin/sh
[ "$1" = update ] && echo try >>"$STATE/updates" && [ -z "$BROKEN_INDEX" ] && exit 0
[ "$1" = update ] && echo "E: Failed to fetch $BROKEN_INDEX  File has unexpected size" && exit 100
for package in $(echo "$@" | tr ' ' '\n' | grep -v '^-' | tail -n +2); do
  case " $UNINSTALLABLE " in *" $package "*)
    echo "E: Unable to correct problems, you have held broken packages."; exit 100 ;; esac
done
echo "$@" | tr ' ' '\n' | grep -v '^-' | tail -n +2 >>"$STATE/installed"
EOF
stand_in dpkg-query <<'EOF'
#!/bin/sh
for last; do :; done
grep -qx "$last" "$STATE/installed" && echo "install ok installed"
EOF
stand_in dpkg <<'EOF'
#!/bin/sh
case $1 in
--print-architecture) echo "${MACHINE:-amd64}" ;;
--print-foreign-architectures) cat "$STATE/architectures" ;;
--add-architecture) echo "$2" >>"$STATE/architectures" ;;
--remove-architecture) sed -i "/^$2\$/d" "$STATE/architectures" ;;
esac
EOF
export PATH="$work/bin:$PATH" STATE="$work/state" NETCFG_RELEASE_ROOTS="$work"
unset NETCFG_WINE32 NETCFG_WINE32_VM
status=0
fail() { echo "$case: $*"; status=1; }
# CASE BROKEN_INDEX UNINSTALLABLE INSTALLED: runs the install; its output is in $work/output.
run_install() {
  case=$1 BROKEN_INDEX=$2 UNINSTALLABLE=$3
  export BROKEN_INDEX UNINSTALLABLE
  rm -rf "$STATE" && mkdir "$STATE" && touch "$STATE/architectures" "$STATE/updates"
  printf '%s\n' $4 >"$STATE/installed"
  sh "$work/scripts/install-deps.sh" >"$work/output" 2>&1
}
where() { (cd "$work" && sh scripts/with-wine32.sh --where); }

index=file:/srv/mirror/dists/bookworm-security/main/binary-i386/Packages.xz
run_install "broken index, no wine32" $index wine32 "" || fail "install failed: $(cat "$work/output")"
[ "$(wc -l <"$STATE/updates")" -eq 3 ] || fail "the update was tried $(wc -l <"$STATE/updates") times"
grep -q "could not fetch $index; going on" "$work/output" || fail "the index is not named"
grep -q "32-bit Wine cannot be installed here (Unable to correct" "$work/output" ||
  fail "no reason why 32-bit Wine is not installed"
grep -qx qemu-system-x86 "$STATE/installed" || fail "what the VM needs is not installed"
[ ! -s "$STATE/architectures" ] || fail "i386 is left added"
[ "$(where)" = vm ] || fail "the tests would not run in the VM"

run_install "64-bit Wine alone" "" "" "wine wine64"
[ "$(where)" = here ] || fail "the tests would not run here, with wine32 installed"
printf 'wine\nwine64\n' >"$STATE/installed"
[ "$(where)" = vm ] || fail "the tests would run under 64-bit Wine"

run_install "neither" "" "wine32 qemu-system-x86" "" && fail "the install passed"
tail -n 1 "$work/output" | grep -q "neither 32-bit Wine nor the virtual machine" ||
  fail "no line that says neither can be had: $(tail -n 1 "$work/output")"
# An arm64 machine, on which a 32-bit x86 program may start through QEMU's handler: its kernel
# runs none, so the VM is installed and chosen, even with 32-bit Wine installed.
cp "$scripts/lib/can-run-32-bit.sh" "$work/scripts/lib/"
export MACHINE=arm64
run_install "arm64" "" "" "" || fail "install failed: $(cat "$work/output")"
grep -qx qemu-system-x86 "$STATE/installed" && ! grep -qx wine32 "$STATE/installed" ||
  fail "not the VM's packages alone: $(cat "$STATE/installed")"
printf 'wine\nwine32\n' >>"$STATE/installed"
[ "$(where)" = vm ] || fail "the tests would run under an emulated 32-bit Wine"
unset MACHINE
# The run in a fresh root of another release, with debootstrap, mount, chroot and git played by
# stand-ins: however the run ends, what it mounted is unmounted before the root is removed, and
# a root that cannot be unmounted is left where it is.
cp "$tree/ci/test-in-release.sh" "$work/ci/"
cp "$scripts/lib/debian-mirror.sh" "$scripts/lib/release-commit.sh" "$work/scripts/lib/"
# Registers a handler for any architecture but this machine's, and takes it away.
cat >"$work/scripts/lib/qemu-handler.sh" <<'EOF'
case $1 in
remove) echo "$2" >>"$STATE/removed" ;;
amd64) ;;
*) echo "qemu-$1" ;;
esac
EOF
# Makes the release's package of the architecture it is given.
printf 'mkdir -p "$(dirname "$0")/../build/release"
touch "$(dirname "$0")/../build/release/halmere-netcfg_0.2a_$1.deb"\n' \
  >"$work/scripts/make-release.sh"
printf '#!/bin/sh\necho 0\n' | stand_in id  # root, whoever runs the check
printf '#!/bin/sh\nfor last; do :; done\nmkdir -p "$last"\n' | stand_in git
printf '#!/bin/sh\nroot=$(echo "$@" | tr " " "\\n" | tail -n 2 | head -n 1)
mkdir -p "$root" && cd "$root" && mkdir -p etc/apt proc sys dev root\n' | stand_in debootstrap
printf '#!/bin/sh\nfor last; do :; done\necho "$last" >>"$STATE/mounts"\n' | stand_in mount
printf '#!/bin/sh\ncat "$STATE/mounts"\n' | stand_in findmnt
stand_in umount <<'EOF'
#!/bin/sh
for last; do :; done
[ -d "$last" ] || { echo "unmounted after removal: $last" >>"$STATE/errors"; exit 1; }
case $last in */$STUCK) exit 32 ;; esac
grep -vxF "$last" "$STATE/mounts" >"$STATE/left" || :
mv "$STATE/left" "$STATE/mounts"
EOF
stand_in chroot <<'EOF'
#!/bin/sh
for last; do :; done
case $last in *"--preset win32 -j2") mkdir -p "$1/root/halmere-netcfg/build/win32" &&
  echo "$EXE_THERE" >"$1/root/halmere-netcfg/build/win32/halmere-netcfg.exe" ;; esac
echo "${last#cd /root/halmere-netcfg && }" >>"$STATE/commands"
case $CHROOT in fail) exit 1 ;; stop) touch "$STATE/started" && exec /bin/sleep 60 ;; esac
EOF
# The Windows program built here.
stand_in cmake <<'EOF'
#!/bin/sh
[ "$1" != --build ] || { mkdir -p build/win32 && echo exe >build/win32/halmere-netcfg.exe; }
EOF
# CASE CHROOT STUCK [ARCH [RELEASE]]: runs it; its status, output and root are in $work/status,
# $work/output, $root.
run_release() {
  case=$1 CHROOT=$2 STUCK=$3 release=${5:-trixie}
  export CHROOT STUCK
  rm -rf "$STATE" && mkdir "$STATE" && touch "$STATE/mounts" "$STATE/errors" "$STATE/removed"
  sh "$work/ci/test-in-release.sh" "$release" ${4:-} >"$work/output" 2>&1 &
  if [ "$CHROOT" = stop ]; then
    while [ ! -f "$STATE/started" ]; do /bin/sleep 0.1; done
    kill -TERM $!
  fi
  wait $! && echo 0 >"$work/status" || echo $? >"$work/status"
  root=$(sed -n "s|.*fresh root of Debian $release for .* in \\(.*\\)/root\$|\\1|p" "$work/output")
  [ ! -s "$STATE/errors" ] || fail "$(cat "$STATE/errors")"
}
for ending in 0:pass 1:fail 130:stop; do
  run_release "a run that ends: ${ending#*:}" "${ending#*:}" ""
  [ "$(cat "$work/status")" = "${ending%%:*}" ] ||
    fail "status $(cat "$work/status"): $(cat "$work/output")"
  [ -n "$root" ] && [ ! -e "$root" ] || fail "the root \"$root\" is left"
  [ ! -s "$STATE/mounts" ] || fail "left mounted: $(cat "$STATE/mounts")"
done
# Of another architecture: what needs no VM, the release's package of it, made here, installed
# there, then the Windows programs compared where the root's release is this machine's; the
# handler is taken away however the run ends.
export EXE_THERE=exe
own=$(. /etc/os-release && echo "$VERSION_CODENAME")
run_release "arm64" pass "" arm64 "$own"
[ "$(cat "$work/status")" = 0 ] || fail "status $(cat "$work/status"): $(cat "$work/output")"
ran=$(tr '\n' ' ' <"$STATE/commands")
for step in run-example.sh "ctest --preset native" check-package.sh \
  "check-package.sh install /root/halmere-netcfg_0.2a_arm64.deb" "--preset win32 -j2" \
  "make-wine32-vm.sh --until-boot"; do
  rest=${ran#*"$step"}
  [ "$rest" != "$ran" ] || fail "not run, or not in order: $step: $(cat "$STATE/commands")"
  ran=$rest
done
for ending in "pass:another Windows program" "stop:stopped"; do
  EXE_THERE=other
  run_release "arm64, ${ending#*:}" "${ending%%:*}" "" arm64 "$own"
  [ "$(cat "$work/status")" != 0 ] || fail "it passed"
  [ "${ending%%:*}" = stop ] || grep -q "built for arm64 differs" "$work/output" ||
    fail "$(cat "$work/output")"
  [ -n "$root" ] && [ ! -e "$root" ] || fail "the root \"$root\" is left"
  [ "$(cat "$STATE/removed")" = qemu-arm64 ] || fail "handler removed: $(cat "$STATE/removed")"
done
run_release "a mount that stays" fail dev
[ -d "$root/root/dev" ] || fail "the root was removed with /dev mounted in it"
grep -q "root/dev still mounted: $root is left in place" "$work/output" ||
  fail "$(cat "$work/output")"
[ -z "$root" ] || rm -rf --one-file-system "$root"

[ $status -ne 0 ] || echo "install: a failing index gone on without, the VM where 32-bit Wine" \
  "cannot be had or 64-bit Wine alone is, and a failure where neither can be had; a release's" \
  "root unmounted, then removed, however its run ends, and left where it stays mounted; a root of" \
  "another architecture given the release's package of it"
exit $status
