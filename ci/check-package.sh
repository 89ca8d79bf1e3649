#!/bin/sh
# Run by test.sh for the native build, and by CI for the release: the packages as their users meet
# them. For each .deb and .tar.gz of an architecture: the .tar.gz extracts into one folder named
# as it is, without the .deb's lintian override; lintian finds nothing, the
# .deb names its architecture, and its checksum holds; a static program's package names what it
# carries of other packages, the compiler's own gcc among them, and their licences, a dynamic
# one's depends on a package for every library it needs; the program from each, run under
# QEMU's user-mode emulator where the architecture is not this machine's, writes the example's
# block, and a static one does so in a root that holds no C library. The package of this
# machine's architecture is installed with apt, run from PATH on a scratch copy of the example,
# its manual page found, and removed again, whatever failed. The Windows zip's MANUAL.txt is the
# text that man shows of the manual page. Needs root, for apt and chroot.
# Usage: check-package.sh             the native build's, made here (cpack --preset native), and
#                                     that no .deb is made where its Built-Using cannot be told
#        check-package.sh RELEASE     a release that make-release.sh made: every artifact, its
#                                     SHA256SUMS, its source, and its zip against the one the
#                                     Windows tests checked (build/win32)
#        check-package.sh install DEB
set -eu
cd "$(dirname "$0")/.."
own=$(dpkg --print-architecture)
fail() {
  echo "$*"
  exit 1
}
# Runs a command in a scratch directory that holds a copy of the example from a package and a
# sample image, checks the block it writes, and removes the directory: DIR EXAMPLE COMMAND...
writes_block() {
  scratch=$1 example=$2
  shift 2
  cp "$example" "$scratch/"
  sh scripts/lib/make-sample-image.sh "$scratch/halmere02a.dol"
  (cd "$scratch" && "$@" | tail -n 1)
  block=$(od -A n -t x1 -j 0x16DE0 -N 12 "$scratch/halmere02a.dol" | tr -d ' \n')
  rm -rf "$scratch"
  [ "$block" = ffffff00c0a80001c0a80032 ] || fail "$*: network block $block"
}

# The .deb and the .tar.gz of one architecture: DIR ARCH.
check_architecture() {
  dir=$1 arch=$2
  deb=$(ls "$dir"/halmere-netcfg_*_"$arch".deb)
  tgz=$(ls "$dir"/halmere-netcfg-*-linux-"$arch".tar.gz)
  top=$(basename "$tgz" .tar.gz)
  outside=$(tar -tzf "$tgz" | grep -v "^$top/" || true)
  [ -z "$outside" ] || fail "${tgz##*/}: outside $top/:" $outside
  ! tar -tzf "$tgz" | grep -q /lintian/ || fail "${tgz##*/} carries the .deb's lintian override"
  echo "${tgz##*/}: all in $top/, without the .deb's lintian override"
  lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$deb"
  [ "$(dpkg-deb --field "$deb" Architecture)" = "$arch" ] ||
    fail "${deb##*/}: Architecture $(dpkg-deb --field "$deb" Architecture)"
  for file in "$deb" "$tgz"; do
    (cd "$(dirname "$file")" && sha256sum --check --quiet "${file##*/}.sha256")
  done
  echo "${deb##*/}: lintian clean, Architecture $arch, checksums hold"
  unpacked=$(mktemp -d)
  dpkg-deb -x "$deb" "$unpacked/deb"
  tar -xzf "$tgz" -C "$unpacked"
  program=$unpacked/deb/usr/bin/halmere-netcfg
  example=$unpacked/deb/usr/share/doc/halmere-netcfg/examples/halmere02.ini
  cmp -s "$program" "$unpacked/$top/bin/halmere-netcfg" ||
    fail "$top: another program than the .deb's"
  copyright=$(cat "$unpacked/deb/usr/share/doc/halmere-netcfg/copyright")
  built_using=$(dpkg-deb --field "$deb" Built-Using)
  depends=$(dpkg-deb --field "$deb" Depends)
  triplet=$(dpkg-architecture -a"$arch" -qDEB_HOST_GNU_TYPE 2>/dev/null)
  compiler=g++
  emulator="" runner=""
  if [ "$arch" != "$own" ]; then
    compiler=$triplet-g++
    emulator=qemu-$(dpkg-architecture -a"$arch" -qDEB_HOST_GNU_CPU 2>/dev/null |
      sed 's/^i[3-6]86$/i386/; s/^powerpc64le$/ppc64le/')
    # Emulated as the oldest processor that the README says the program runs on.
    case $arch in
    arm64) emulator="$emulator -cpu cortex-a53" ;; # a Raspberry Pi 3's
    armhf) emulator="$emulator -cpu cortex-a7" ;;  # ARMv7, a Raspberry Pi 2's
    i386) emulator="$emulator -cpu pentium2" ;;    # an i686, Debian's least for i386
    esac
    runner="$emulator -L /usr/$triplet"
  fi
  if readelf -lW "$program" | grep -q ' INTERP '; then
    # A dynamic program carries nothing of other packages, and depends on a package of each
    # library it needs: the one that the shlibs line of the library's package here names (a
    # cross compiler's package of it names the architecture's own).
    [ -z "$built_using" ] && ! echo "$copyright" | grep -q "^Files: usr/bin/" ||
      fail "a dynamic program's package: Built-Using $built_using, or a stanza for the program"
    places=/usr/$triplet/lib
    multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
    [ "$arch" != "$own" ] || places="/lib/$multiarch /usr/lib/$multiarch"
    for library in $(readelf -dW "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'); do
      holder=$(for place in $places; do dpkg-query -S "$place/$library" 2>/dev/null; done |
        head -n 1 | cut -d : -f 1)
      package=$(cat /var/lib/dpkg/info/"$holder".shlibs /var/lib/dpkg/info/"$holder:$arch".shlibs \
        2>/dev/null | awk -v name="${library%.so.*}" -v version="${library##*.so.}" \
        '$1 == name && $2 == version { sub(/:.*/, "", $3); print $3; exit }')
      [ -n "$package" ] || fail "no package's shlibs here names $library"
      echo ", $depends" | grep -q ", $package\( (>= [^)]*)\)\?\(,\|$\)" ||
        fail "${deb##*/} needs $library, of $package, but depends on: $depends"
    done
    echo "${deb##*/}: dynamic; depends on $depends, a package of each library it needs"
  else
    # The gcc that Built-Using names is the one whose compiler built the program (a cross
    # compiler's, gcc-N-cross), and the C library that it links.
    gcc=gcc-$($compiler -dumpversion | cut -d . -f 1)
    [ "$arch" = "$own" ] && libc=glibc || libc=cross-toolchain-base gcc=$gcc-cross
    echo "$built_using" | grep -qE "^$libc \(= [^)]+\), $gcc \(= [^)]+\)\$" ||
      fail "Built-Using, where $compiler is of $gcc: $built_using"
    for stanza in "Files: usr/bin/halmere-netcfg" "License: LGPL-2.1+" \
      "License: GPL-3+ with GCC-exception-3.1" " GCC RUNTIME LIBRARY EXCEPTION" \
      " 2. No Weakening of GCC Copyleft."; do
      echo "$copyright" | grep -qxF "$stanza" || fail "copyright lacks: $stanza"
    done
    [ -z "$depends" ] || fail "a static program's package depends on $depends"
    # It needs no C library: it runs in a root that has none, under the emulator one that it
    # is told is its root.
    root=$(mktemp -d)
    cp "$program" "$root/"
    if [ -z "$runner" ]; then
      writes_block "$root" "$example" chroot "$root" /halmere-netcfg
    else
      writes_block "$root" "$example" $emulator -L "$root" "$root/halmere-netcfg"
    fi
    echo "${deb##*/}: static; Built-Using $built_using and licences as expected; runs in a root" \
      "without a C library"
  fi
  writes_block "$(mktemp -d)" "$example" $runner "$program"
  writes_block "$(mktemp -d)" "$unpacked/$top/share/doc/halmere-netcfg/examples/halmere02.ini" \
    $runner "$unpacked/$top/bin/halmere-netcfg"
  rm -rf "$unpacked"
  echo "$arch: the program from the .deb and from the .tar.gz writes the example's" \
    "block${runner:+ (under $runner)}"
}

# The zip's MANUAL.txt: the text that man shows of the Windows build's manual page, word for word,
# and in the lines of a Windows text file: ZIP PAGE.
check_zip_manual() {
  manual=$(mktemp -d)
  top=$(basename "$1" .zip)
  (cd "$manual" && cmake -E tar xf "$1" "$top/MANUAL.txt") || fail "${1##*/} holds no MANUAL.txt"
  text=$manual/$top/MANUAL.txt
  [ "$(grep -c "$(printf '\r')\$" "$text")" -eq "$(wc -l <"$text")" ] ||
    fail "${1##*/}: not every line of MANUAL.txt ends with CR LF"
  tr -d '\r' <"$text" | tr -s ' \n' '\n' >"$manual/zip"
  LC_ALL=C MANWIDTH=80 man --nh -l "$2" 2>/dev/null | tr -s ' \n' '\n' >"$manual/man"
  diff "$manual/man" "$manual/zip" >/dev/null || fail "${1##*/}: MANUAL.txt is not the text of $2"
  grep -q 'DIAGNOSTICS' "$manual/zip" || fail "${1##*/}: MANUAL.txt is empty or partial"
  rm -rf "$manual"
  echo "${1##*/}: MANUAL.txt is the manual page's text, lines ending with CR LF"
}

# Installs a .deb of this machine's architecture with apt, as its users do, runs it from PATH on
# a scratch copy of its example, shows its manual page, and removes it again.
check_install() {
  deb=$(realpath "$1")
  if dpkg-query -W -f='${Status}' halmere-netcfg 2>/dev/null | grep -q "ok installed"; then
    echo "A halmere-netcfg package that this run did not install is installed:" \
      "not testing ${deb##*/}."
    return 0
  fi
  trap 'apt-get remove -y -q halmere-netcfg >/dev/null 2>&1' EXIT
  log=$(mktemp)
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" \
    >"$log" 2>&1 || { cat "$log" && fail "apt could not install ${deb##*/}"; }
  rm -f "$log"
  program=$(command -v halmere-netcfg)
  [ "$program" = /usr/bin/halmere-netcfg ] || fail "halmere-netcfg on PATH is $program"
  writes_block "$(mktemp -d)" /usr/share/doc/halmere-netcfg/examples/halmere02.ini halmere-netcfg
  man -w halmere-netcfg
  page=$(man halmere-netcfg 2>/dev/null)
  printf '%s\n' "$page" | sed -n '/^NAME/,/^$/p'
  printf '%s\n' "$page" | grep -q "EXIT STATUS" || fail "the manual page does not show"
  echo "installed ${deb##*/}: runs from PATH, writes the block, shows its manual page"
}

case ${1:-} in
install)
  check_install "$2"
  ;;
"")
  cpack --preset native
  check_architecture build/native "$own"
  # Where dpkg knows no package for the libraries linked in, no .deb is made, and cpack says why.
  if ! readelf -lW build/native/halmere-netcfg | grep -q ' INTERP '; then
    unknown=$(mktemp -d)
    mkdir "$unknown/bin"
    printf '#!/bin/sh\nexit 1\n' >"$unknown/bin/dpkg-query"
    chmod +x "$unknown/bin/dpkg-query"
    PATH="$unknown/bin:$PATH" cmake --preset native -B "$unknown/build" >/dev/null 2>&1
    if (cd "$unknown/build" && cpack -G DEB >"$unknown/output" 2>&1) ||
      ls "$unknown"/build/*.deb 2>/dev/null ||
      ! tr -s ' \n' ' ' <"$unknown/output" | grep -q "No .deb is made: .* (Built-Using)"; then
      cat "$unknown/output"
      fail "a .deb was made, or not refused with its reason, where Built-Using cannot be told"
    fi
    rm -rf "$unknown"
    echo "no .deb where Built-Using cannot be told"
  fi
  check_install build/native/halmere-netcfg_*_"$own".deb
  # The zip, where the Windows program has been packed here (test.sh packs it first).
  zip=$(ls "$PWD"/build/win32/halmere-netcfg-*-win32.zip 2>/dev/null || :)
  if [ -n "$zip" ]; then
    check_zip_manual "$zip" build/win32/generated/halmere-netcfg.1
  else
    echo "no Windows zip in build/win32 (cpack --preset win32): its MANUAL.txt not checked"
  fi
  ;;
*)
  release=$(cd "$1" && pwd)
  (cd "$release" && sha256sum --check --quiet SHA256SUMS) || fail "SHA256SUMS does not hold"
  listed=$(sed 's/^[0-9a-f]*  //' "$release/SHA256SUMS" | tr '\n' ' ')
  there=$(cd "$release" && ls | grep -v -e '\.sha256$' -e '^SHA256SUMS$' | LC_ALL=C sort |
    tr '\n' ' ')
  [ "$listed" = "$there" ] || fail "SHA256SUMS lists $listed; the release holds $there"
  echo "SHA256SUMS: every file, and they hold"
  for deb in "$release"/halmere-netcfg_*.deb; do
    arch=${deb##*_}
    check_architecture "$release" "${arch%.deb}"
  done
  # The source: git archive's output of the commit it names, in one folder named for it.
  source=$(ls "$release"/halmere-netcfg-*.tar.gz | grep -v -e '-linux-' -e '-win32')
  top=$(basename "$source" .tar.gz)
  outside=$(tar -tzf "$source" | grep -v "^$top/" || true)
  [ -z "$outside" ] || fail "${source##*/}: outside $top/:" $outside
  commit=$(sh scripts/lib/release-commit.sh "$release") || fail "${source##*/}: no commit named"
  echo "${source##*/}: all in $top/, git archive's output of $commit"
  # The zip, as the Windows tests checked it.
  zip=$(ls "$release"/halmere-netcfg-*-win32.zip)
  cmp "$zip" "build/win32/${zip##*/}" ||
    fail "${zip##*/} is not the zip that the Windows tests checked in build/win32 (test.sh)"
  echo "${zip##*/}: byte for byte the one that the Windows tests checked"
  check_zip_manual "$zip" build/win32/generated/halmere-netcfg.1
  if [ -f "$release"/halmere-netcfg_*_"$own".deb ]; then
    check_install "$release"/halmere-netcfg_*_"$own".deb
  else
    echo "the release holds no package of this machine's architecture, $own: none installed"
  fi
  ;;
esac
