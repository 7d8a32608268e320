#!/usr/bin/env bash
# Builds the test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/, or $LUCIDRA_ASAN_BUILD_DIR) and runs all of it, the command
# line's fault tests and the fuzz corpora included. Any sanitizer report
# (memory error, leak, undefined behaviour) fails the run, as does a compiler
# warning (LUCIDRA_WERROR=OFF lets it pass).
#
#   scripts/sanitize.sh            (LUCIDRA_SANITIZE_APP=ON adds the window's tests)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_ASAN_BUILD_DIR:-$root/build-asan}
app=${LUCIDRA_SANITIZE_APP:-OFF}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUCIDRA_SANITIZE=ON \
  -DLUCIDRA_BUILD_APP="$app" -DLUCIDRA_BUILD_BENCH=OFF -DLUCIDRA_WERROR="${LUCIDRA_WERROR:-ON}" >&2
cmake --build "$build" -j "$(nproc)" >&2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 900
