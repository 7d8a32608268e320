#!/usr/bin/env bash
# Configures and builds Lucidra LED (Release) into build/ or $LUCIDRA_BUILD_DIR.
# A compiler warning fails the build (LUCIDRA_WERROR=OFF lets it pass).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUCIDRA_WERROR="${LUCIDRA_WERROR:-ON}" "$@" >&2
cmake --build "$build" -j "$(nproc)" >&2
