# Cross-builds the Linux program and its tests for another of Debian's architectures, named by
# NETCFG_ARCH as Debian names it (arm64, armhf, i386, s390x, ...), with Debian's cross compilers
# (g++-TRIPLET). They run here under QEMU's user-mode emulator, the architecture's own libraries
# found in the cross compiler's /usr/TRIPLET.
if(NOT NETCFG_ARCH)
  set(NETCFG_ARCH $ENV{NETCFG_ARCH})
endif()
# Try-compiles (the flag and linker checks) read this file again, and need the architecture too.
set(ENV{NETCFG_ARCH} ${NETCFG_ARCH})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NETCFG_ARCH)

# Debian's GNU triplet for the architecture, and QEMU's name for its processor, which differs
# from the triplet's for 32-bit x86 and little-endian 64-bit POWER.
execute_process(COMMAND dpkg-architecture -a${NETCFG_ARCH} -qDEB_HOST_GNU_TYPE
                OUTPUT_VARIABLE triplet OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT triplet)
  message(FATAL_ERROR "NETCFG_ARCH is \"${NETCFG_ARCH}\": name one of Debian's architectures, "
                      "such as arm64, armhf, i386 or s390x (dpkg-architecture -L lists them)")
endif()
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${triplet})
string(REGEX REPLACE "^i[3-6]86$" "i386" qemu_cpu ${CMAKE_SYSTEM_PROCESSOR})
string(REPLACE "powerpc64le" "ppc64le" qemu_cpu ${qemu_cpu})

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${qemu_cpu} -L /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
