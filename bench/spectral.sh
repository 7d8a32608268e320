#!/usr/bin/env bash
# A spectral run against the same run without a spectrum: a white LED's
# spectrum (401 points, a blue Gaussian and a phosphor band) drawn through
# one more Sobol coordinate, in the three layouts that matter for speed
# (binary records, TM-25, text lines), to /dev/null, one thread and every
# core, best of three. The target: the spectral run within 15 % of the plain
# one (ratio at most 1.15).
#
#   bench/spectral.sh [N]          (build directory: build/, or $LUCIDRA_BUILD_DIR)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
n=${1:-10000000}
cli=$build/src/cli/lucidra-cli
[[ -x $cli ]] || { echo "spectral.sh: $cli is missing (build first)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
awk 'BEGIN { for (i = 0; i <= 180; i++) printf "%g ", i / 2; printf "\r\n\r\n";
             for (i = 0; i <= 180; i++) printf "%.3f ", 100 * cos(i / 180 * 1.5707963); printf "\r\n" }' > wide.txt
awk 'BEGIN { print "# white LED"; for (nm = 380; nm <= 780; nm++)
             printf "%d %.6f\n", nm, exp(-0.5 * ((nm - 450) / 10) ^ 2) + 0.6 * exp(-0.5 * ((nm - 560) / 50) ^ 2) }' > white.txt

best() {  # seconds of the fastest of three runs
  local b=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N)
    "$cli" generate --quiet --clock-seed 1700000000 -n "$n" -L wide.txt -T wide.txt --size-x 2 --size-y 2 -o /dev/null "$@" > /dev/null
    t1=$(date +%s.%N)
    b=$(awk -v a="$t0" -v z="$t1" -v b="$b" 'BEGIN { s = z - a; if (b == "" || s < b) b = s; printf "%.3f", b }')
  done
  echo "$b"
}

status=0
printf "N = %d rays, %d cores\n\n| format | threads | plain s | spectral s | ratio |\n|---|---|---|---|---|\n" "$n" "$(nproc)"
for format in zemax-binary tm25 zemax; do
  for threads in 1 "$(nproc)"; do
    plain=$(best -f "$format" --threads "$threads")
    spectral=$(best -f "$format" --threads "$threads" --spectrum white.txt)
    ratio=$(awk -v p="$plain" -v s="$spectral" 'BEGIN { printf "%.3f", s / p }')
    awk -v r="$ratio" 'BEGIN { exit !(r > 1.15) }' && status=1
    printf "| %s | %s | %s | %s | %s |\n" "$format" "$threads" "$plain" "$spectral" "$ratio"
  done
done
exit $status
