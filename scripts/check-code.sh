#!/bin/sh
# Checks the sources' layout with clang-format and their code with clang-tidy, for both
# platforms, and the manual page with groff. Needs a configured native build (for its compile
# commands and the manual page).
set -eu
cd "$(dirname "$0")/.."
sources=$(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror $sources
cmake --preset native -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
clang-tidy --quiet -p build/native src/main.cpp src/network_settings.cpp src/network_block.cpp \
  src/platform_posix.cpp src/profile_reader.cpp
mingw_cxx=/usr/lib/gcc/i686-w64-mingw32/$(i686-w64-mingw32-g++ -dumpversion)/include/c++
clang-tidy --quiet src/platform_win32.cpp -- --target=i686-w64-mingw32 -std=c++17 \
  -isystem "$mingw_cxx" -isystem "$mingw_cxx/i686-w64-mingw32" -isystem /usr/i686-w64-mingw32/include
groff -man -ww -z build/native/generated/halmere-netcfg.1
echo "clang-format, clang-tidy and the manual page: clean"
