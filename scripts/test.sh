#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then runs the whole
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer
# (scripts/sanitize.sh, in build-asan/).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 900
bash "$root/scripts/sanitize.sh"
