#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window on the shipped
# example (examples/ as the working directory). Without a display it writes
# the example's ray file with the command line instead and says so.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  LUCIDRA_BUILD_DIR=$build exec bash "$root/scripts/run-window.sh"
fi
echo "run.sh: no display (DISPLAY is not set), so the window cannot open." >&2
echo "run.sh: writing the example's Zemax ray file with the command line instead:" >&2
cd "$root/examples"
set -x
"$build/src/cli/lucidra-cli" generate --config lucidra.cfg --format zemax --progress
