#!/usr/bin/env bash
# The command line alone, as the README offers it (-DLUCIDRA_BUILD_APP=OFF),
# in build-cli/ or $LUCIDRA_CLI_BUILD_DIR: the program and what it installs,
# packaged as a .deb and checked by the same smoke test the suite runs (the
# files in their places, the user guide among them, and the packaged program
# running). No tests are built here: the sanitizer step (scripts/sanitize.sh)
# runs the whole suite of such a build already, and this keeps CI short.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_CLI_BUILD_DIR:-$root/build-cli}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUCIDRA_BUILD_APP=OFF -DLUCIDRA_BUILD_TESTS=OFF \
  -DLUCIDRA_BUILD_BENCH=OFF -DLUCIDRA_WERROR="${LUCIDRA_WERROR:-ON}" >&2
cmake --build "$build" -j "$(nproc)" >&2
rm -f "$build"/package/lucidra_*.deb
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >&2)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
bash "$root/tests/package/deb_smoke.sh" "$build/package" "$version" "$build/src/cli/lucidra-cli" 0
