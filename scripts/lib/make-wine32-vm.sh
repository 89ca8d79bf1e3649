#!/bin/sh
# Called by with-wine32.sh when its VM is missing or out of date, and by test-in-release.sh; not run
# by hand.
# Makes the virtual machine in which with-wine32.sh runs commands under 32-bit Wine where this
# machine runs no 32-bit Wine, from Debian's packages alone: a root with Debian's 32-bit Wine and
# what the tests use beside it, with a Wine prefix made for root and one for nobody, packed whole
# as the kernel's initial file system, and Debian's kernel. Debian's mirror is the first that this
# machine's apt sources name for its release and apt could fetch (debian-mirror.sh). Needs root,
# debootstrap and cpio; takes about six minutes on two cores. Prints nothing unless a step fails:
# then one line that names it, and the step's output is in DIR/build.log.
# The root is of amd64 programs: on a machine that does not run them, QEMU's user-mode emulator
# runs them (qemu-handler.sh registers its handler, and takes it away again after).
# Usage: make-wine32-vm.sh DIR              (makes DIR/vmlinuz and DIR/initrd.cpio)
#        make-wine32-vm.sh --until-boot DIR (every step before the VM first boots, to show them
#                                           where the VM cannot run: inside an emulated root)
#        make-wine32-vm.sh --prefixes DIR   (in the VM: makes the Wine prefixes, into DIR)
set -eu
cd "$(dirname "$0")/../.."
prefixes=/var/lib/netcfg-wine
wine_dlls=/usr/lib/i386-linux-gnu/wine/i386-windows

# In the VM: a prefix for each user, as the tests make them, without the copies of Wine's own
# DLLs that make up most of each; the list of those is left beside them, to link them again.
if [ "${1:-}" = --prefixes ]; then
  out=$2
  export WINEDEBUG=-all
  mkdir -p $prefixes/root $prefixes/nobody
  chown nobody:nogroup $prefixes/nobody
  WINEPREFIX=$prefixes/root wine wineboot -i </dev/null >/dev/null 2>&1
  WINEPREFIX=$prefixes/root wineserver -w
  as_nobody() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
      env HOME=$prefixes/nobody WINEPREFIX=$prefixes/nobody "$@"
  }
  as_nobody wine wineboot -i </dev/null >/dev/null 2>&1
  as_nobody wineserver -w
  cd $prefixes
  # One process for all the comparisons: in the VM each process started costs dearly.
  python3 - "$wine_dlls" root nobody >"$out/prefix-links" <<'EOF'
import filecmp, os, sys
for top in sys.argv[2:]:
    for directory, _, names in os.walk(top):
        for name in names:
            path, dll = os.path.join(directory, name), os.path.join(sys.argv[1], name)
            if not os.path.islink(path) and os.path.isfile(dll) and filecmp.cmp(path, dll, False):
                os.remove(path)
                print(path)
EOF
  tar -cf "$out/prefixes.tar" --numeric-owner root nobody
  exit 0
fi

until_boot=""
[ "$1" != --until-boot ] || { until_boot=yes && shift; }
dir=$(mkdir -p "$1" && cd "$1" && pwd)
root=$dir/root
log=$dir/build.log
: >"$log"
step="" handler=""
finish() {
  status=$?
  if mountpoint -q "$root/proc" 2>/dev/null; then umount "$root/proc"; fi
  rm -rf --one-file-system "$root"
  [ -z "$handler" ] || sh scripts/lib/qemu-handler.sh remove "$handler"
  [ $status -eq 0 ] || echo "make-wine32-vm.sh: $step failed (its output: $log)" >&2
}
trap finish EXIT
trap 'exit 1' INT TERM
# Runs a step, its output into the log.
step() {
  step=$1
  shift
  echo "== $step" >>"$log"
  "$@" >>"$log" 2>&1
}
in_root() {
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C DEBIAN_FRONTEND=noninteractive \
    chroot "$root" "$@"
}

# Debian's mirror for this machine's release, as its apt sources name it.
find_mirror() {
  release=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mirror=$(sh scripts/lib/debian-mirror.sh "$release")
  echo "release $release from $mirror"
}

# 32-bit Wine, the X libraries it loads when it has a display, and its fonts; what the tests call
# beside it (cmake's ctest, strace, python3, the mingw-w64 binutils that read the program's
# files, util-linux's flock, setpriv and script); and a display server with the tools that find,
# drive and photograph a window.
install_packages() {
  in_root dpkg --add-architecture i386
  cp scripts/lib/update-package-lists.sh "$root/tmp/"
  in_root sh /tmp/update-package-lists.sh
  in_root apt-get install -y --no-install-recommends wine wine32:i386 fonts-wine \
    libxcomposite1:i386 libxcursor1:i386 libxfixes3:i386 libxi6:i386 libxinerama1:i386 \
    libxrandr2:i386 libxrender1:i386 libxxf86vm1:i386 \
    cmake strace python3 binutils-mingw-w64-i686 procps \
    xvfb xdotool x11-utils imagemagick
}

# Debian's kernel, unpacked rather than installed, with only the modules that reach the shared
# tree: the VM has no other devices to drive. Debian 12's package keeps the modules in
# lib/modules, Debian 13's in usr/lib/modules; depmod and modprobe given a base directory look in
# its lib/modules, so they are taken from wherever the package has them to there.
unpack_kernel() {
  package=$(in_root apt-cache depends linux-image-amd64 |
    sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n 1)
  version=${package#linux-image-}
  in_root sh -c "cd /tmp && apt-get download $package && dpkg-deb -x ${package}_*.deb /tmp/kernel"
  if [ ! -d "$root/tmp/kernel/lib/modules/$version" ]; then
    mkdir -p "$root/tmp/kernel/lib/modules"
    mv "$root/tmp/kernel/usr/lib/modules/$version" "$root/tmp/kernel/lib/modules/"
  fi
  in_root depmod -b /tmp/kernel "$version"
  modules=$(in_root modprobe -d /tmp/kernel -S "$version" -a --show-depends virtio_pci \
    9pnet_virtio 9p | sed -n 's|^insmod /tmp/kernel/\([^ ]*\).*|\1|p')
  for module in $modules; do
    mkdir -p "$root/${module%/*}"
    cp "$root/tmp/kernel/$module" "$root/$module"
  done
  cp "$root/tmp/kernel/lib/modules/$version"/modules.builtin* \
    "$root/tmp/kernel/lib/modules/$version/modules.order" "$root/lib/modules/$version/"
  in_root depmod "$version"
  cp "$root/tmp/kernel/boot/vmlinuz-$version" "$dir/vmlinuz"
}

# What no command in the VM reads: the package lists and archives, documentation, translations.
trim() {
  in_root apt-get clean
  rm -rf "$root"/var/lib/apt/lists/* "$root"/usr/share/doc/* "$root"/usr/share/man/* \
    "$root"/usr/share/info/* "$root"/tmp/*
  find "$root/usr/share/locale" -mindepth 1 -maxdepth 1 -type d -exec rm -rf {} +
  cp scripts/lib/wine32-vm-init.sh "$root/init"
  chmod 755 "$root/init"
}

pack() {
  (cd "$root" && find . -mindepth 1 | cpio -o -H newc --quiet) >"$dir/initrd.cpio"
}

# The prefixes are made in the VM itself, which runs 32-bit Wine; back here their copies of
# Wine's DLLs become links to the DLLs, as the same files.
make_prefixes() {
  rm -f "$dir/prefix-links" "$dir/prefixes.tar"
  NETCFG_WINE32_VM=$dir sh scripts/with-wine32.sh sh scripts/lib/make-wine32-vm.sh --prefixes "$dir"
  mkdir -p "$root$prefixes"
  tar -xpf "$dir/prefixes.tar" --numeric-owner -C "$root$prefixes"
  while IFS= read -r file; do
    ln "$root$wine_dlls/${file##*/}" "$root$prefixes/$file"
  done <"$dir/prefix-links"
  rm "$dir/prefix-links" "$dir/prefixes.tar"
}

step "finding Debian's mirror in the apt sources" find_mirror
step="running amd64 programs"
handler=$(sh scripts/lib/qemu-handler.sh amd64 2>>"$log")
step "debootstrap" debootstrap --arch=amd64 --variant=minbase --include=kmod "$release" "$root" \
  "$mirror"
mount -t proc proc "$root/proc"
step "installing Wine and the tests' tools" install_packages
step "unpacking the kernel" unpack_kernel
umount "$root/proc"
step "trimming the root" trim
step "packing the root" pack
if [ -n "$until_boot" ]; then
  echo "make-wine32-vm.sh: made up to the VM's first boot in $dir ($(du -sh "$dir/initrd.cpio" |
    cut -f 1) packed root, kernel $(du -sh "$dir/vmlinuz" | cut -f 1))"
  exit 0
fi
step "making the Wine prefixes in the VM" make_prefixes
step "packing the root with the prefixes" pack
