#!/usr/bin/env bash
# Installs what is missing, checks the format, builds, and runs every test (the Debian package's
# included); then the command line alone, built and packaged without the
# window (scripts/test-cli-only.sh, in build-cli/); then the Windows command
# line and the core's tests under Wine (scripts/test-windows.sh, in
# build-windows/); then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/sanitize.sh, in build-asan/; without
# the window, so that is the command-line-only build's whole suite).
# LUCIDRA_SKIP_WINDOWS=1 leaves out the Windows step.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"
# Every C++ file as .clang-format has it (scripts/check-format.sh prints the
# changes it wants).
bash "$root/scripts/check-format.sh" --all
bash "$root/scripts/build.sh"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 900
bash "$root/scripts/test-cli-only.sh"
if [[ ${LUCIDRA_SKIP_WINDOWS:-0} != 1 ]]; then
  LUCIDRA_BUILD_DIR=$build bash "$root/scripts/test-windows.sh"
fi
bash "$root/scripts/sanitize.sh"
