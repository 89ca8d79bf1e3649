#!/bin/sh
# Run by CI (.ci/run) for the other Debian release, or by a contributor for any release or
# architecture.
# Runs the README's two commands on a Debian release as a newcomer to it would: makes a fresh
# root of that release with debootstrap, from the Debian mirror that this machine's apt sources
# name (debian-mirror.sh), with the apt sources a fresh install of it has; clones this tree's
# last commit into it; runs `sh scripts/run-example.sh`, then `sh scripts/test.sh`, there as
# root, with this machine's /proc, /sys and /dev mounted in it; and takes the root away again,
# however the run ends. A root is removed only once nothing is mounted in it and nothing runs in
# it, and never across into another file system; a root left by a run that was killed outright
# is taken away by the next run. CI, and every NETCFG_* variable, go into the root.
#
# With ARCH, the root is of that Debian architecture, entered through QEMU's user-mode emulator
# where this machine does not run its programs (qemu-handler.sh registers the handler, and takes
# it away again after). The VM of with-wine32.sh cannot run in such a root (QEMU inside QEMU
# would take hours), so there the test command gives way to what does not need it: the native
# tests, the package check, the release's package for that architecture, made here and installed
# there with apt, the Windows program's build, which must be byte for byte the one built here,
# and the VM's making up to the step that boots it.
# Usage, as root: test-in-release.sh RELEASE [ARCH]
#   RELEASE: a codename, or 12 for bookworm, 13 for trixie; ARCH: as Debian names it (arm64, ...)
set -eu
tree=$(cd "$(dirname "$0")/.." && pwd -P)
scripts=$tree/scripts
case ${1:-} in
12) release=bookworm ;;
13) release=trixie ;;
"" | -*)
  echo "usage: test-in-release.sh RELEASE [ARCH] (bookworm or 12, trixie or 13)" >&2
  exit 2
  ;;
*) release=$1 ;;
esac
arch=${2:-$(dpkg --print-architecture)}
say() { printf 'test-in-release.sh: %s\n' "$*" >&2; }
# Where the roots are made (NETCFG_RELEASE_ROOTS, for the checks' stand-ins).
roots=${NETCFG_RELEASE_ROOTS:-/var/tmp}
[ "$(id -u)" -eq 0 ] || { say "run it as root: debootstrap and chroot need it" && exit 2; }

# What is mounted below a directory, deepest first.
mounted_in() { findmnt -rn -o TARGET | awk -v under="$1/" 'index($0, under) == 1' | sort -r; }

# Ends what runs in a root, unmounts what is mounted in it, and only then removes it, staying on
# its own file system.
take_away() {
  dir=$1
  for process in /proc/[0-9]*; do
    case $(readlink "$process/root" 2>/dev/null)/ in
    "$dir/root"/*) kill -KILL "${process#/proc/}" 2>/dev/null || : ;;
    esac
  done
  for point in $(mounted_in "$dir"); do
    umount "$point" 2>/dev/null || umount -l "$point" || :
  done
  if [ -n "$(mounted_in "$dir")" ]; then
    say "$(mounted_in "$dir" | tr '\n' ' ')still mounted: $dir is left in place"
    return 1
  fi
  rm -rf --one-file-system "$dir"
}

# Roots of runs that were killed outright, whose process is gone.
for old in "$roots"/netcfg-release.*; do
  [ -f "$old/pid" ] && ! kill -0 "$(cat "$old/pid")" 2>/dev/null || continue
  say "taking away $old, left by a run that was stopped"
  take_away "$old" || :
done

if ! command -v debootstrap >/dev/null; then
  sh "$scripts/lib/update-package-lists.sh"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap
fi
this_release=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror=$(sh "$scripts/lib/debian-mirror.sh" "$this_release") ||
  { say "this machine's apt sources name no Debian mirror for $this_release" && exit 1; }
security=$(sh "$scripts/lib/debian-mirror.sh" "$this_release-security") || security=""

dir=$(mktemp -d "$roots/netcfg-release.XXXXXX")
echo $$ >"$dir/pid"
root=$dir/root
job="" handler=""
finish() {
  status=$?
  [ -z "$job" ] || kill "$job" 2>/dev/null || :
  take_away "$dir" || status=1
  [ -z "$handler" ] || sh "$scripts/lib/qemu-handler.sh" remove "$handler"
  exit $status
}
trap finish EXIT
trap 'exit 130' INT TERM HUP
# Runs a command in the background and waits for it, so that a signal stops the run at once.
stoppable() {
  "$@" &
  job=$!
  wait $job && job="" || { code=$? && job="" && return $code; }
}
started=$(date +%s)
elapsed() { echo "$(($(date +%s) - started)) s"; }

# One run at a time for an architecture: the emulator's handler, registered by one run, goes with
# that run's end.
exec 8>"$roots/netcfg-release.$arch.lock"
flock -n 8 || { say "another run for $arch is under way" && exit 1; }
handler=$(sh "$scripts/lib/qemu-handler.sh" "$arch")
# In a root of another architecture, the release's package for it: made on this machine from the
# root's commit, where build/release holds none of it, and installed there with apt as its users
# install it.
made=$tree/build/release
if [ "$arch" != "$(dpkg --print-architecture)" ] && {
  ! ls "$made"/halmere-netcfg_*_"$arch".deb >/dev/null 2>&1 ||
    [ "$(sh "$scripts/lib/release-commit.sh" "$made" || :)" != "$(git -C "$tree" rev-parse HEAD)" ]
}; then
  say "making the release's $arch package here"
  stoppable sh "$scripts/make-release.sh" "$arch" >"$dir/log" 2>&1 ||
    { tail -n 20 "$dir/log" >&2 && say "make-release.sh failed" && exit 1; }
fi
say "making a fresh root of Debian $release for $arch from $mirror in $root"
# git, as the newcomer's clone came with it.
if ! stoppable debootstrap --arch="$arch" --variant=minbase --include=git "$release" "$root" \
  "$mirror" >"$dir/log" 2>&1; then
  tail -n 20 "$dir/log" >&2
  say "debootstrap could not make the root" && exit 1
fi
{
  echo "deb $mirror $release main"
  echo "deb $mirror $release-updates main"
  [ -z "$security" ] || echo "deb $security $release-security main"
} >"$root/etc/apt/sources.list"
git clone -q "$tree" "$root/root/halmere-netcfg"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
# /dev with what is mounted below it; the unmounts, done here, go no further than the root.
mount --rbind --make-rslave /dev "$root/dev"
say "root made in $(elapsed)"

set -- PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
for name in $(env | sed -n 's/^\(CI\|NETCFG_[A-Za-z0-9_]*\)=.*/\1/p'); do
  eval "set -- \"\$@\" \"$name=\${$name}\""
done
# Runs a command in the root's clone, and says how it went.
in_root() {
  command=$1
  shift
  say "Debian $release $arch: $command"
  stoppable chroot "$root" env -i "$@" sh -c "cd /root/halmere-netcfg && $command" </dev/null ||
    { say "Debian $release $arch: $command failed, after $(elapsed)" && exit 1; }
  say "Debian $release $arch: $command passed, after $(elapsed)"
}
in_root "sh scripts/run-example.sh" "$@"
if [ "$arch" = "$(dpkg --print-architecture)" ]; then
  in_root "sh scripts/test.sh" "$@"
  exit 0
fi
# With why any case skipped a part, as the case says it (ctest shows only that it skipped).
in_root "sh scripts/install-deps.sh && cmake --preset native && cmake --build --preset native -j2 &&
  ctest --preset native -j2 &&
  sed -n 's/.*\(strace cannot .*\)/skipped: \1/p' build/native/Testing/Temporary/LastTest.log |
  sort -u" "$@"
in_root "sh ci/check-package.sh" "$@"
deb=$(cd "$made" && ls halmere-netcfg_*_"$arch".deb)
cp "$made/$deb" "$root/root/"
in_root "sh ci/check-package.sh install /root/$deb" "$@"
in_root "cmake --preset win32 -DBUILD_TESTING=OFF && cmake --build --preset win32 -j2" "$@"
# The same Windows program, built here from the same commit (whose time it carries), with the
# same release's cross compiler: another release's makes another program.
exe=build/win32/halmere-netcfg.exe
if [ "$release" = "$this_release" ]; then
  git clone -q "$root/root/halmere-netcfg" "$dir/here"
  (cd "$dir/here" && cmake --preset win32 -DBUILD_TESTING=OFF >/dev/null &&
    cmake --build --preset win32 -j2 >/dev/null)
  cmp "$dir/here/$exe" "$root/root/halmere-netcfg/$exe" ||
    { say "the Windows program built for $arch differs from the one built here" && exit 1; }
  say "the Windows program built in the $arch root is byte for byte the one built here:" \
    "sha256 $(sha256sum <"$dir/here/$exe" | cut -c 1-16)..."
else
  say "the Windows program built in the $arch root is not compared: Debian $release's" \
    "mingw-w64 is not this machine's"
fi
in_root "sh scripts/lib/make-wine32-vm.sh --until-boot build/wine32-vm-made" "$@"
