# Cross-builds 32-bit Windows programs with Debian's mingw-w64; they run here under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
