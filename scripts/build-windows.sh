#!/usr/bin/env bash
# Cross-builds the Windows command line (lucidra-cli.exe) and the core's test
# binaries with MinGW-w64 into build-windows/ (or $LUCIDRA_WINDOWS_BUILD_DIR),
# installing what is missing: the cross compiler, GoogleTest's sources (built
# here for Windows) and Wine, which runs the tests (scripts/test-windows.sh).
# The window is not part of it: see the README for building it on Windows.
# A compiler warning fails the build (LUCIDRA_WERROR=OFF lets it pass).
#
#   scripts/build-windows.sh [CMAKE_ARGS...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_WINDOWS_BUILD_DIR:-$root/build-windows}

bash "$root/scripts/install-deps.sh" windows

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DLUCIDRA_BUILD_APP=OFF -DLUCIDRA_BUILD_BENCH=OFF -DLUCIDRA_BUILD_TESTS=ON \
  -DLUCIDRA_WERROR="${LUCIDRA_WERROR:-ON}" "$@" >&2
cmake --build "$build" -j "$(nproc)" >&2
echo "$build/src/cli/lucidra-cli.exe"
