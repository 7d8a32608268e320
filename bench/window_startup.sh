#!/usr/bin/env bash
# The window's start-up time and memory, for one program or compared with a
# second one (an older build): each is started RUNS times on a virtual
# display in the shipped example folder; the time runs from the start to the
# main window being shown (the freeware notice answered at once), the memory
# is the resident size once it shows. Prints the median of each.
#
#   bench/window_startup.sh [program] [baseline-program]
# Needs xvfb-run and xdotool (Debian: xvfb xauth xdotool).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=$(realpath "${1:-$root/build/src/app/lucidra}")
baseline=${2:+$(realpath "$2")}
runs=${RUNS:-7}

for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "window_startup.sh: '$tool' is missing" >&2; exit 1; }
done

export LUCIDRA_EXAMPLES=$root/examples RUNS=$runs
measure() {
  LUCIDRA_PROGRAM=$1 xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" bash -euo pipefail -c '
    work=$(mktemp -d)
    trap "rm -rf \"$work\"" EXIT
    cp "$LUCIDRA_EXAMPLES"/* "$work"/
    cd "$work"
    times=() sizes=()
    for ((i = 0; i < RUNS; i++)); do
      start=$(date +%s%N)
      "$LUCIDRA_PROGRAM" >/dev/null 2>&1 &
      pid=$!
      notice=$(timeout 20 xdotool search --sync --onlyvisible --name "^Lucidra LED 3.5\$" | head -n 1)
      xdotool windowfocus --sync "$notice" key Return
      timeout 20 xdotool search --sync --onlyvisible --name "^Lucidra LED\$" >/dev/null
      end=$(date +%s%N)
      times+=($(((end - start) / 1000000)))
      sizes+=($(awk "/^VmRSS/ {print \$2}" /proc/$pid/status))
      kill "$pid"; wait "$pid" 2>/dev/null || true
    done
    median() { printf "%s\n" "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
    echo "$(median "${times[@]}") $(median "${sizes[@]}")"
  '
}

read -r time size < <(measure "$program")
echo "window: start-up ${time} ms, resident ${size} kB (median of $runs) - $program"
if [[ -n "$baseline" ]]; then
  read -r baseTime baseSize < <(measure "$baseline")
  echo "baseline: start-up ${baseTime} ms, resident ${baseSize} kB (median of $runs) - $baseline"
  awk -v t="$time" -v bt="$baseTime" -v s="$size" -v bs="$baseSize" \
    'BEGIN { printf "change: start-up %+.1f %%, memory %+.1f %%\n", 100 * (t - bt) / bt, 100 * (s - bs) / bs }'
fi
