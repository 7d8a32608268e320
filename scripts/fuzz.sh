#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a bounded time,
# one after another, with AddressSanitizer and UndefinedBehaviorSanitizer.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]     (default: 600 s, every target)
#
# Targets: distribution_text value_line config_text number_text whole_number
# command_line generation_run ies_text eulumdat_text ray_file_text ray_file_zemax_binary
# ray_file_tm25. The build goes to build-fuzz/ (or
# $LUCIDRA_FUZZ_BUILD_DIR). Each target starts from its seed corpus in
# tests/fuzz/corpus/<target>/ and keeps what it finds in
# <build>/corpus/<target>/; a crash, hang (over 10 s), leak or sanitizer report
# is saved in <build>/artifacts/<target>/ and the script exits non-zero. Every
# input that found a fault belongs in tests/fuzz/corpus/<target>/ once fixed,
# so that the corpus replay tests keep it fixed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-600}
shift || true
all_targets=(distribution_text value_line config_text number_text whole_number command_line generation_run
  ies_text eulumdat_text ray_file_text ray_file_zemax_binary ray_file_tm25)
targets=("$@")
((${#targets[@]})) || targets=("${all_targets[@]}")

if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 1)); then
  echo "fuzz.sh: the time per target must be a whole number of seconds, not '$seconds'" >&2
  exit 2
fi
for t in "${targets[@]}"; do
  if [[ ! " ${all_targets[*]} " =~ " $t " ]]; then
    echo "fuzz.sh: unknown target '$t' (targets: ${all_targets[*]})" >&2
    exit 2
  fi
done
if ! command -v clang++ >/dev/null || ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  echo "fuzz.sh: clang and libFuzzer are missing; run scripts/install-deps.sh (clang, libclang-rt-14-dev)" >&2
  exit 1
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DLUCIDRA_FUZZ=ON -DLUCIDRA_BUILD_TESTS=OFF \
  -DLUCIDRA_BUILD_APP=OFF -DLUCIDRA_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}" >&2

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
summary=()
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t
  artifacts=$build/artifacts/$t
  log=$build/logs/$t.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  echo "fuzz.sh: $t for ${seconds} s (log: $log)" >&2
  status=0
  "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$root/tests/fuzz/corpus/$t" \
    >"$log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  size=$(find "$corpus" -type f | wc -l)
  if ((status == 0)); then
    result="clean"
  else
    result="FAULT (exit $status): $(grep -m1 -E 'ERROR:|fuzz check failed|runtime error|Timeout|out-of-memory' "$log" || echo 'see log')"
    failed=1
  fi
  summary+=("$(printf '%-18s %12s executions  %6s corpus files  %s' "$t" "$runs" "$size" "$result")")
done
printf '%s\n' "${summary[@]}"
exit "$failed"
