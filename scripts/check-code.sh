#!/bin/sh
# Checks the sources of both platforms: their layout with clang-format, their code with
# clang-tidy, cppcheck and GCC's static analyzer; and the manual page with groff. Shows findings
# only. Needs configured native and win32 builds (for compile commands, generated headers and
# the manual page).
set -eu
cd "$(dirname "$0")/.."
sources=$(git ls-files '*.cpp' '*.h')
common="src/main.cpp src/output.cpp src/network_settings.cpp src/network_block.cpp
  src/address_grammar.cpp"
posix="$common src/platform_posix.cpp src/profile_reader.cpp src/text_decoding.cpp"
windows="$common src/platform_win32.cpp"
clang-format --dry-run --Werror $sources
cmake --preset native -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
findings=$(mktemp)
trap 'rm -f "$findings"' EXIT
# clang-tidy counts the warnings it hides in system headers on standard error; only its findings
# are shown.
tidy() { clang-tidy --quiet "$@" 2>"$findings" || { grep -v "warnings\? generated\.$" "$findings"; exit 1; }; }
tidy -p build/native $posix
mingw_cxx=/usr/lib/gcc/i686-w64-mingw32/$(i686-w64-mingw32-g++ -dumpversion)/include/c++
tidy src/platform_win32.cpp -- --target=i686-w64-mingw32 -std=c++17 \
  -isystem "$mingw_cxx" -isystem "$mingw_cxx/i686-w64-mingw32" -isystem /usr/i686-w64-mingw32/include
cppcheck_options="--enable=warning,style,performance,portability --std=c++17 --error-exitcode=1
  --quiet -I src"
cppcheck $cppcheck_options -I build/native/generated $posix
cppcheck $cppcheck_options -I build/win32/generated --platform=win32A -D_WIN32 src/platform_win32.cpp
analyze() { # compiler generated-dir sources...
  compiler=$1 generated=$2
  shift 2
  for source in "$@"; do
    $compiler -std=c++17 -O1 -fanalyzer -Werror -Wall -Wextra -Isrc -I"$generated" -c "$source" \
      -o /dev/null
  done
}
analyze g++ build/native/generated $posix
analyze i686-w64-mingw32-g++ build/win32/generated $windows
groff -man -ww -z build/native/generated/halmere-netcfg.1
echo "clang-format, clang-tidy, cppcheck, GCC's analyzer and the manual page: clean"
