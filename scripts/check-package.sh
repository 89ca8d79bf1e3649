#!/bin/sh
# Builds the Debian package and the .tar.gz from the native build; checks that the .tar.gz
# extracts into one folder named for the release; checks the package with lintian, its checksum,
# and that it names what it carries of other packages, the compiler's own gcc among them, and
# their licences, and that no .deb is made where that cannot be told; installs it, runs the
# installed program from PATH on a scratch copy of the example, finds its manual page, and
# removes the package again, whatever failed. Needs root for dpkg.
set -eu
cd "$(dirname "$0")/.."
cpack --preset native
tgz=$(ls build/native/halmere-netcfg-*-Linux.tar.gz)
top=$(basename "$tgz" .tar.gz)
outside=$(tar -tzf "$tgz" | grep -v "^$top/" || true)
[ -z "$outside" ] || { echo "${tgz##*/}: outside $top/:" $outside; exit 1; }
tar -tzf "$tgz" | grep -qx "$top/bin/halmere-netcfg" ||
  { echo "${tgz##*/}: no $top/bin/halmere-netcfg"; exit 1; }
echo "${tgz##*/}: all in $top/"
deb=$(ls build/native/halmere-netcfg_*.deb)
lintian --pedantic --display-info --fail-on error,warning,info,pedantic "$deb"
echo "lintian: clean"
(cd build/native && sha256sum --check --quiet "${deb##*/}.sha256")
copyright=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/halmere-netcfg/copyright)
built_using=$(dpkg-deb --field "$deb" Built-Using)
# A dynamic program, where the C library links no static position-independent one, carries
# nothing of other packages: it depends on the C library's instead.
if readelf -lW build/native/halmere-netcfg | grep -q ' INTERP '; then
  depends=$(dpkg-deb --field "$deb" Depends)
  echo "$depends" | grep -q '^libc6' && [ -z "$built_using" ] &&
    ! echo "$copyright" | grep -q "^Files: usr/bin/" ||
    { echo "a dynamic program's package: Depends $depends, Built-Using $built_using"; exit 1; }
  echo "checksum, dependencies ($depends) and licence of a dynamic program: as expected"
else
  # The gcc that Built-Using names is the one whose compiler built the program.
  compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/native/CMakeCache.txt)
  gcc=gcc-$($compiler -dumpversion | cut -d . -f 1)
  echo "$built_using" | grep -qE "^glibc \(= [^)]+\), $gcc \(= [^)]+\)\$" ||
    { echo "Built-Using, where $compiler is $gcc: $built_using"; exit 1; }
  gcc_copyright=/usr/share/doc/$gcc-base/copyright
  for stanza in "Files: usr/bin/halmere-netcfg" "License: LGPL-2.1+" \
    "License: GPL-3+ with GCC-exception-3.1" " Exception is in $gcc_copyright."; do
    echo "$copyright" | grep -qxF "$stanza" || { echo "copyright lacks: $stanza"; exit 1; }
  done
  [ -f "$gcc_copyright" ] || { echo "no $gcc_copyright"; exit 1; }
  # Where dpkg knows no package for the libraries linked in, no .deb is made, and cpack says why.
  unknown=$(mktemp -d)
  mkdir "$unknown/bin"
  printf '#!/bin/sh\nexit 1\n' >"$unknown/bin/dpkg-query"
  chmod +x "$unknown/bin/dpkg-query"
  PATH="$unknown/bin:$PATH" cmake --preset native -B "$unknown/build" >/dev/null 2>&1
  if (cd "$unknown/build" && cpack -G DEB >"$unknown/output" 2>&1) ||
    ls "$unknown"/build/*.deb 2>/dev/null ||
    ! tr -s ' \n' ' ' <"$unknown/output" | grep -q "No .deb is made: .* (Built-Using)"; then
    cat "$unknown/output"
    echo "a .deb was made, or not refused with its reason, where Built-Using cannot be told"
    exit 1
  fi
  rm -rf "$unknown"
  echo "checksum, Built-Using ($built_using) and licences: as expected; no .deb where they" \
    "cannot be told"
fi

if dpkg-query -W -f='${Status}' halmere-netcfg 2>/dev/null | grep -q "ok installed"; then
  echo "A halmere-netcfg package that this run did not install is installed: not testing the package."
  exit 0
fi
scratch=$(mktemp -d)
trap 'dpkg -r halmere-netcfg >/dev/null; rm -rf "$scratch"' EXIT
dpkg -i "$deb" >/dev/null

program=$(command -v halmere-netcfg)
[ "$program" = /usr/bin/halmere-netcfg ] || { echo "halmere-netcfg on PATH is $program"; exit 1; }
cp /usr/share/doc/halmere-netcfg/examples/halmere02.ini "$scratch/"
sh scripts/make-sample-image.sh "$scratch/halmere02a.dol"
(cd "$scratch" && halmere-netcfg)
block=$(od -A n -t x1 -j 0x16DE0 -N 12 "$scratch/halmere02a.dol" | tr -d ' \n')
[ "$block" = ffffff00c0a80001c0a80032 ] || { echo "network block: $block"; exit 1; }
man -w halmere-netcfg
man halmere-netcfg | grep -q "EXIT STATUS" || { echo "the manual page does not show"; exit 1; }
echo "installed package: runs from PATH, writes the block, shows its manual page"
