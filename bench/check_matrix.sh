#!/usr/bin/env bash
# generate, then check against the run's own tables, for the kinds of table
# users bring: the shipped example, tables normalised to 1, a coarse
# 3-point table, a batwing (rising then falling) and tables of unequal
# angular ranges; each with both random algorithms, with and without the
# flux phase, and with the default and the legacy sampling. Prints one row
# per run: the verdict and the largest deviation relative to the peak.
#
#   bench/check_matrix.sh [N]        (default 10^6 rays; build directory:
#                                     build/, or $LUCIDRA_BUILD_DIR)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
n=${1:-1000000}
cli=$build/src/cli/lucidra-cli
[[ -x $cli ]] || { echo "check_matrix.sh: $cli is missing (build first)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root/examples/lambertian.txt" "$root/examples/narrow.txt" "$work/"
printf '0 30 60 90 \r\n\r\n1 0.87 0.5 0 \r\n' >"$work/normalised.txt"
printf '0 45 90 \r\n\r\n100 70 0 \r\n' >"$work/coarse.txt"
printf '0 20 40 60 75 \r\n\r\n40 100 100 30 0 \r\n' >"$work/batwing.txt"
printf '0 20 40 \r\n\r\n100 60 30 \r\n' >"$work/shorter.txt"
cd "$work"

tables=("lambertian.txt narrow.txt" "normalised.txt normalised.txt" "coarse.txt coarse.txt"
        "batwing.txt coarse.txt" "lambertian.txt shorter.txt")
names=("shipped example" "normalised to 1" "coarse, 3 points" "batwing" "unequal ranges")
printf "N = %d rays\n\n" "$n"
printf "| tables | algorithm | flux phase | sampling | verdict | largest deviation |\n|---|---|---|---|---|---|\n"
for i in "${!tables[@]}"; do
  read -r l t <<<"${tables[$i]}"
  for algorithm in sobol uniform; do
    for flux in "" --consider-flux; do
      for sampling in "" --legacy-sampling; do
        code=0
        out=$("$cli" generate --clock-seed 1700000000 -n "$n" -o rays.dat -L "$l" -T "$t" \
          --decimal-separator . --size-x 1 --size-y 1 --algorithm "$algorithm" $flux $sampling --check 2>/dev/null) ||
          code=$?
        verdict=$(grep '^verdict:' <<<"$out" | sed -E 's/^verdict: (PASS|FAIL).*/\1/')
        deviation=$(grep '^verdict:' <<<"$out" | sed -E 's/.*largest deviation ([0-9.]+ %).*/\1/')
        printf "| %s | %s | %s | %s | %s (exit %d) | %s |\n" "${names[$i]}" "$algorithm" "${flux:+yes}" \
          "${sampling:+legacy}" "${verdict:-?}" "$code" "${deviation:-?}"
      done
    done
  done
done
