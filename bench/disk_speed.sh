#!/usr/bin/env bash
# A ray file written to the disk against the two limits it cannot beat: the
# same run to /dev/null (the drawing) and dd writing the same number of bytes
# to the same folder (the disk). Five pairs per row, medians; each timing
# starts from a written-back page cache.
#
#   bench/disk_speed.sh [N] [PAIRS]   (build directory: build/, or $LUCIDRA_BUILD_DIR;
#                                      scratch files: $BENCH_DIR, default the build directory)
# Prints one table row per format:
#   null s | file s (page cache) | file + fdatasync s | dd + fdatasync s | ratio
# where ratio = (file + fdatasync) / max(dd + fdatasync, null); the aim is at most 1.25.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
n=${1:-10000000}
pairs=${2:-5}
cli=$build/src/cli/lucidra-cli
[[ -x $cli ]] || { echo "disk_speed.sh: $cli is missing (build first)" >&2; exit 1; }
work=$(mktemp -d -p "${BENCH_DIR:-$build}" disk.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$root/examples/narrow.txt" "$root/examples/lambertian.txt" .

seconds() {  # wall-clock seconds of the command
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
median() { printf "%s\n" "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
run() { "$cli" generate --quiet --clock-seed 1700000000 -n "$n" -L lambertian.txt -T narrow.txt -f "$1" -o "$2" > /dev/null; }
durable() { run "$1" "$2" && sync -d "$2"; }

printf "N = %d rays, %d cores, %d pairs, medians, scratch on %s\n\n" "$n" "$(nproc)" "$pairs" "$(df --output=source . | tail -1)"
printf "| format | MB | /dev/null s | file s | file + fdatasync s | dd + fdatasync s | ratio |\n|---|---|---|---|---|---|---|\n"
for format in zemax zemax-binary; do
  run "$format" size.dat
  bytes=$(stat -c %s size.dat)
  rm -f size.dat
  blocks=$(( (bytes + 1048575) / 1048576 ))
  nulls=() files=() durables=() dds=()
  for ((p = 0; p < pairs; p++)); do
    nulls+=("$(seconds run "$format" /dev/null)")
    sync; files+=("$(seconds run "$format" out.dat)"); rm -f out.dat
    sync; durables+=("$(seconds durable "$format" out.dat)"); rm -f out.dat
    sync; dds+=("$(seconds dd if=/dev/zero of=dd.bin bs=1M count="$blocks" conv=fdatasync)"); rm -f dd.bin
  done
  mn=$(median "${nulls[@]}"); mf=$(median "${files[@]}"); md=$(median "${durables[@]}"); mdd=$(median "${dds[@]}")
  printf "| %s | %.0f | %s | %s | %s | %s | %.2f |\n" "$format" "$(awk -v b="$bytes" 'BEGIN { print b / 1e6 }')" \
    "$mn" "$mf" "$md" "$mdd" "$(awk -v d="$md" -v a="$mdd" -v b="$mn" 'BEGIN { m = a > b ? a : b; print d / m }')"
done
