#!/bin/sh
# Run by a contributor after changing code, and by test.sh.
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
# The layout is the one clang-format 14 and 19, Debian 12's and 13's, both give: with them, a
# difference fails the check. Another release may move a blank where those two agree: its
# differences are shown and fail nothing, until the tree is laid out for it too.
layout_releases="14 19"
format_release=$(clang-format --version | sed -n 's/.*clang-format version \([0-9]*\).*/\1/p')
case " $layout_releases " in
*" $format_release "*) clang-format --dry-run --Werror $sources ;;
*)
  clang-format --dry-run $sources
  echo "check-code.sh: the layout is kept for clang-format $layout_releases, not" \
    "${format_release:-this release}: its findings, if any, fail nothing"
  ;;
esac
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
# From 2.11 on, cppcheck stops following a function's branches past a limit, and says so, unless
# told to follow them all; these sources are small enough for that.
if cppcheck --help | grep -q -e --check-level; then
  cppcheck_options="$cppcheck_options --check-level=exhaustive"
fi
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
