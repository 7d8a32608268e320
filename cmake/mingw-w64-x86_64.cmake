# Cross-building the command line and the core's tests for 64-bit Windows with
# Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix: the POSIX thread model, which
# std::thread needs). Used by scripts/build-windows.sh:
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUCIDRA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUCIDRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUCIDRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUCIDRA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LUCIDRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry the C++ and threading runtimes inside them, so that a
# lone lucidra-cli.exe runs on a machine without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine when it is there (ctest uses this for every test).
# (Debian keeps wine64 in /usr/lib/wine unless the "wine" wrapper is installed.)
find_program(LUCIDRA_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(LUCIDRA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUCIDRA_WINE})
endif()
