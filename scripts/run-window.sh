#!/usr/bin/env bash
# Builds the desktop program if needed and opens its window on the shipped
# example: examples/ is the working directory, so its lucidra.cfg presets the
# window and its *.txt files fill the distribution lists. GENERATE then writes
# the ray file named in the configuration into examples/.
#
#   scripts/run-window.sh            (build directory: build/, or $LUCIDRA_BUILD_DIR)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
program=$build/src/app/lucidra

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "run-window.sh: no display available (DISPLAY and WAYLAND_DISPLAY are not set)." >&2
  echo "Run it from a desktop session, or on a virtual display: xvfb-run scripts/run-window.sh" >&2
  exit 1
fi

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >&2
fi
cmake --build "$build" --target lucidra -j "$(nproc)" >&2

cd "$root/examples"
exec "$program"
