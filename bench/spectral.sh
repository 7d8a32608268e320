#!/usr/bin/env bash
# A spectral run against the same run without a spectrum: a white LED's
# spectrum (401 points, a blue Gaussian and a phosphor band) drawn through
# one more Sobol coordinate, in the three layouts that matter for speed
# (binary records, TM-25, text lines), to /dev/null, one thread and every
# core, best of five (the two runs taking turns). The target: the spectral
# run within 15 % of the plain one (ratio at most 1.15), judged on CPU time
# (user + system), which other load on the machine disturbs less than the
# wall-clock time shown beside it.
#
#   bench/spectral.sh [N]          (build directory: build/, or $LUCIDRA_BUILD_DIR;
#                                   runs of each: $LUCIDRA_BENCH_REPS, default 5)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
n=${1:-10000000}
reps=${LUCIDRA_BENCH_REPS:-5}
cli=$build/src/cli/lucidra-cli
[[ -x $cli ]] || { echo "spectral.sh: $cli is missing (build first)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
awk 'BEGIN { for (i = 0; i <= 180; i++) printf "%g ", i / 2; printf "\r\n\r\n";
             for (i = 0; i <= 180; i++) printf "%.3f ", 100 * cos(i / 180 * 1.5707963); printf "\r\n" }' > wide.txt
awk 'BEGIN { print "# white LED"; for (nm = 380; nm <= 780; nm++)
             printf "%d %.6f\n", nm, exp(-0.5 * ((nm - 450) / 10) ^ 2) + 0.6 * exp(-0.5 * ((nm - 560) / 50) ^ 2) }' > white.txt

run() {  # "wall cpu" of one run: wall-clock and CPU (user + system) seconds, to the millisecond
  local TIMEFORMAT='%3R %3U %3S' times
  times=$({ time "$cli" generate --quiet --clock-seed 1700000000 -n "$n" -L wide.txt -T wide.txt --size-x 2 \
    --size-y 2 -o /dev/null "$@" > /dev/null; } 2>&1)
  awk '{ printf "%s %.3f\n", $1, $2 + $3 }' <<< "$times"
}

# "plain-wall plain-cpu spectral-wall spectral-cpu": the smallest of $reps
# runs each, the plain and the spectral run taking turns so that load from
# other programs, which comes and goes, falls on both alike.
pair() {
  local pw="" pc="" sw="" sc="" w c i
  for ((i = 0; i < reps; i++)); do
    read -r w c < <(run "$@")
    pw=$(awk -v a="$w" -v b="$pw" 'BEGIN { if (b == "" || a < b) b = a; printf "%.3f", b }')
    pc=$(awk -v a="$c" -v b="$pc" 'BEGIN { if (b == "" || a < b) b = a; printf "%.3f", b }')
    read -r w c < <(run "$@" --spectrum white.txt)
    sw=$(awk -v a="$w" -v b="$sw" 'BEGIN { if (b == "" || a < b) b = a; printf "%.3f", b }')
    sc=$(awk -v a="$c" -v b="$sc" 'BEGIN { if (b == "" || a < b) b = a; printf "%.3f", b }')
  done
  echo "$pw $pc $sw $sc"
}

status=0
printf "N = %d rays, %d cores\n\n" "$n" "$(nproc)"
printf "| format | threads | plain wall s | spectral wall s | plain CPU s | spectral CPU s | CPU ratio |\n"
printf "|---|---|---|---|---|---|---|\n"
for format in zemax-binary tm25 zemax; do
  for threads in 1 "$(nproc)"; do
    read -r pw pc sw sc < <(pair -f "$format" --threads "$threads")
    ratio=$(awk -v p="$pc" -v s="$sc" 'BEGIN { printf "%.3f", (p > 0 ? s / p : 0) }')
    awk -v r="$ratio" 'BEGIN { exit !(r > 1.15) }' && status=1
    printf "| %s | %s | %s | %s | %s | %s | %s |\n" "$format" "$threads" "$pw" "$sw" "$pc" "$sc" "$ratio"
  done
done
exit $status
