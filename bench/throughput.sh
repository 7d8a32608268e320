#!/usr/bin/env bash
# Throughput of the ray file writer, in one run: four representative settings
# at N rays (default 10^7), each written by the engine with legacy, the
# default (equal-flux) and the weighted sampling to /dev/null and to a file with one thread
# and with every core, beside a deliberately straightforward reference
# writer (fprintf per line, linear scans, legacy sampling) and dd writing the
# same number of bytes to the same disk; then the far-field check reading the
# file back; then the same for the binary formats (Zemax binary, TM-25,
# LightTools, ASAP), also on
# the disk itself (the run and dd each followed by fdatasync); last, the text
# and Zemax binary runs to a file with and without fdatasync paired with dd
# (bench/disk_speed.sh, medians of $BENCH_PAIRS pairs, default 5). Checks
# that every legacy file is byte-identical to the reference's and that the
# equal-flux, weighted and binary files are the same on every thread count.
#
# Rows to /dev/null show the fastest of $BENCH_REPS runs (default 3); the
# binary formats' speed targets are judged on $BENCH_ROUNDS rounds (default 5).
#
#   bench/throughput.sh [N]        (build directory: build/, or $LUCIDRA_BUILD_DIR;
#                                   scratch files: $BENCH_DIR, default the build directory)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
n=${1:-10000000}
reps=${BENCH_REPS:-3}
rounds=${BENCH_ROUNDS:-5}
cli=$build/src/cli/lucidra-cli
ref=$build/bench/reference_writer
for tool in "$cli" "$ref" /usr/bin/time; do
  [[ -x $tool ]] || { echo "throughput.sh: $tool is missing (build first; /usr/bin/time is Debian's 'time')" >&2; exit 1; }
done
work=$(mktemp -d -p "${BENCH_DIR:-$build}" bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cores=$(nproc)

# Two 181-point tables over 0..90 degrees, and two for the arc (R 0.5 mm, L 2 mm).
table() {  # name last-abscissa shape
  awk -v last="$2" -v shape="$3" 'BEGIN {
    for (i = 0; i <= 180; i++) printf "%g ", last * i / 180; printf "\r\n\r\n";
    for (i = 0; i <= 180; i++) {
      t = i / 180;
      if (shape == "cos") v = 100 * cos(t * 1.5707963); else v = 100 * exp(-4 * t * t);
      printf "%.3f ", v } printf "\r\n" }' > "$work/$1"
}
table wide.txt 90 cos
table narrow.txt 90 gauss
table arc_l.txt 2 gauss
table arc_r.txt 0.5 cos

names=("Sobol + User Defined, 181-point tables"
       "Uniform + Lambertian, elliptical, double side"
       "Sobol + Lambertian, flux phase on"
       "arc mode, Sobol")
cli_args=("-L wide.txt -T narrow.txt --size-x 2 --size-y 2"
          "-L wide.txt -T narrow.txt --algorithm uniform --angular lambertian --na 1 --shape elliptical --size-x 2 --size-y 1 --double-side"
          "-L wide.txt -T narrow.txt --angular lambertian --na 0.9 --consider-flux --size-x 1 --size-y 1"
          "-L arc_l.txt -T arc_r.txt --arc")
ref_args=("L=wide.txt T=narrow.txt sx=2 sy=2"
          "L=wide.txt T=narrow.txt algorithm=uniform angular=lambertian na=1 shape=ellipse sx=2 sy=1 double"
          "L=wide.txt T=narrow.txt angular=lambertian na=0.9 consider sx=1 sy=1"
          "L=arc_l.txt T=arc_r.txt arc")

# The law each setting's rays follow, for the check (arc mode has none).
check_args=("-L wide.txt -T narrow.txt"
            "--angular lambertian --na 1 --double-side"
            "--angular lambertian --na 0.9"
            "")

cd "$work"
timed() {  # prints "seconds peak-KB" of the command; exit 5 (obtained flux below 1) still wrote the file
  local code=0 start=$EPOCHREALTIME end
  /usr/bin/time -f "%M" -o "$work/time.txt" "$@" > /dev/null 2>&1 || code=$?
  end=$EPOCHREALTIME
  if [[ $code -ne 0 && $code -ne 5 ]]; then cat "$work/time.txt" >&2; return 1; fi
  # Milliseconds: a binary run of 10^7 rays takes a fifth of a second.
  awk -v a="$start" -v b="$end" -v k="$(tail -n 1 "$work/time.txt")" 'BEGIN { printf "%.3f %s\n", b - a, k }'
}
# The rows to /dev/null time the engine alone: the fastest of $reps runs,
# as other programs on the machine can only add to a run's time.
best() {  # prints "seconds peak-KB" of the fastest run
  local s k bs="" bk="" r
  for ((r = 0; r < reps; r++)); do
    read -r s k < <(timed "$@")
    if [[ -z $bs ]] || awk -v a="$s" -v b="$bs" 'BEGIN { exit !(a < b) }'; then bs=$s; bk=$k; fi
  done
  echo "$bs $bk"
}
rate() { awk -v r="$n" -v s="$1" 'BEGIN { printf "%.2f", (r + 1) / s / 1e6 }'; }

printf "N = %d rays, %d cores\n\n" "$n" "$cores"
printf "| setting | writer | sampling | target | threads | s | M rays/s | MB/s | x reference | peak MB | identical |\n"
printf "|---|---|---|---|---|---|---|---|---|---|---|\n"
status=0
declare -A devnull  # "setting format sampling threads" -> seconds of the /dev/null row
for i in "${!names[@]}"; do
  read -r rs rk < <(timed "$ref" out=ref.dat n="$n" clock=1700000000 ${ref_args[$i]})
  bytes=$(stat -c %s ref.dat)
  refrate=$(rate "$rs")
  printf "| %s | reference | legacy | file | 1 | %s | %s | %.0f | 1.0 | %.0f | - |\n" "${names[$i]}" "$rs" "$refrate" \
    "$(awk -v b="$bytes" -v s="$rs" 'BEGIN { print b / s / 1e6 }')" "$(awk -v k="$rk" 'BEGIN { print k / 1024 }')"
  # Legacy sampling must give the reference's bytes; the equal-flux and
  # weighted samplings must give the same bytes on every thread count.
  for sampling in legacy equal-flux weighted; do
    flag=""; [[ $sampling == legacy ]] && flag=--legacy-sampling; [[ $sampling == weighted ]] && flag=--weighted
    for threads in 1 "$cores"; do
      for target in /dev/null file; do
        out=/dev/null; [[ $target == file ]] && out=engine.dat
        # Every row starts with the page cache written back, so that an
        # earlier row's gigabytes do not throttle this one (their writeback
        # takes a core from a run to /dev/null as much as from a file).
        sync
        timer=timed; [[ $target == /dev/null ]] && timer=best
        read -r es ek < <($timer "$cli" generate --quiet --clock-seed 1700000000 -n "$n" -o "$out" --threads "$threads" $flag ${cli_args[$i]})
        [[ $target == /dev/null ]] && devnull["$i text $sampling $threads"]=$es
        same="-"
        if [[ $target == file ]]; then
          if [[ $sampling == legacy ]]; then
            if cmp -s ref.dat engine.dat; then same=yes; else same=NO; status=1; fi
            rm -f engine.dat
          elif [[ $threads == 1 ]]; then
            mv engine.dat "$sampling"1.dat
          else
            if cmp -s "$sampling"1.dat engine.dat; then same=yes; else same=NO; status=1; fi
            rm -f engine.dat
          fi
        fi
        printf "| | engine | %s | %s | %s | %s | %s | %.0f | %.1f | %.0f | %s |\n" "$sampling" "$target" "$threads" "$es" \
          "$(rate "$es")" "$(awk -v b="$bytes" -v s="$es" 'BEGIN { print b / s / 1e6 }')" \
          "$(awk -v a="$rs" -v b="$es" 'BEGIN { print a / b }')" "$(awk -v k="$ek" 'BEGIN { print k / 1024 }')" "$same"
      done
    done
  done
  # The far-field check reading the equal-flux file back from the page cache.
  if [[ ${names[$i]} != arc* ]]; then
    cat equal-flux1.dat > /dev/null
    read -r cs ck < <(timed "$cli" check equal-flux1.dat --threads "$cores" ${check_args[$i]})
    printf "| | check (reads the file) | equal-flux | file | %s | %s | %s | %.0f | - | %.0f | - |\n" "$cores" "$cs" "$(rate "$cs")" \
      "$(awk -v b="$bytes" -v s="$cs" 'BEGIN { print b / s / 1e6 }')" "$(awk -v k="$ck" 'BEGIN { print k / 1024 }')"
  fi
  sync
  read -r ds _ < <(timed dd if=/dev/zero of=dd.bin bs=1M count=$(( (bytes + 1048575) / 1048576 )))
  printf "| | dd, same bytes | - | file | - | %s | - | %.0f | - | - | - |\n" "$ds" "$(awk -v b="$bytes" -v s="$ds" 'BEGIN { print b / s / 1e6 }')"
  rm -f dd.bin ref.dat equal-flux1.dat weighted1.dat
  # The binary formats (28 bytes a ray, no number formatting): the default
  # sampling to /dev/null and to a file on one thread and on every core (the
  # files must be the same), the check reading them back, and dd writing
  # the same number of bytes to the same disk.
  for format in zemax-binary tm25 lighttools asap; do
    for sampling in weighted equal-flux; do
    flag=""; [[ $sampling == weighted ]] && flag=--weighted
    for threads in 1 "$cores"; do
      for target in /dev/null file; do
        out=/dev/null; [[ $target == file ]] && out=binary$threads.out
        sync
        timer=timed; [[ $target == /dev/null ]] && timer=best
        read -r es ek < <($timer "$cli" generate --quiet --clock-seed 1700000000 -n "$n" -f "$format" -o "$out" --threads "$threads" $flag ${cli_args[$i]})
        [[ $target == /dev/null ]] && devnull["$i $format $sampling $threads"]=$es
        same="-"
        if [[ $target == file ]]; then
          bbytes=$(stat -c %s "$out")
          if [[ $threads != 1 ]]; then
            if cmp -s binary1.out "$out"; then same=yes; else same=NO; status=1; fi
          fi
        fi
        printf "| | engine, %s | %s | %s | %s | %s | %s | %.0f | %.1f | %.0f | %s |\n" "$format" "$sampling" "$target" "$threads" "$es" \
          "$(rate "$es")" "$(awk -v b="$(( 28 * (n + 1) ))" -v s="$es" 'BEGIN { print b / s / 1e6 }')" \
          "$(awk -v a="$rs" -v b="$es" 'BEGIN { print a / b }')" "$(awk -v k="$ek" 'BEGIN { print k / 1024 }')" "$same"
      done
    done
    done
    if [[ ${names[$i]} != arc* ]]; then
      cat binary1.out > /dev/null
      read -r cs ck < <(timed "$cli" check binary1.out --threads "$cores" ${check_args[$i]})
      printf "| | check (reads the file) | %s | file | %s | %s | %s | %.0f | - | %.0f | - |\n" "$format" "$cores" "$cs" "$(rate "$cs")" \
        "$(awk -v b="$bbytes" -v s="$cs" 'BEGIN { print b / s / 1e6 }')" "$(awk -v k="$ck" 'BEGIN { print k / 1024 }')"
    fi
    rm -f binary*.out
    sync
    read -r ds _ < <(timed dd if=/dev/zero of=dd.bin bs=1M count=$(( (bbytes + 1048575) / 1048576 )))
    printf "| | dd, same bytes as %s | - | file | - | %s | - | %.0f | - | - | - |\n" "$format" "$ds" "$(awk -v b="$bbytes" -v s="$ds" 'BEGIN { print b / s / 1e6 }')"
    rm -f dd.bin
    # The same on the disk itself: the run followed by fdatasync of its file,
    # against dd with conv=fdatasync, each from a written-back page cache.
    sync
    read -r ws _ < <(timed sh -c '"$0" "$@"; code=$?; sync -d durable.out; exit $code' \
      "$cli" generate --quiet --clock-seed 1700000000 -n "$n" -f "$format" -o durable.out --threads "$cores" ${cli_args[$i]})
    printf "| | engine, %s, on the disk (+ fdatasync) | equal-flux | file | %s | %s | %s | %.0f | %.1f | - | - |\n" "$format" "$cores" "$ws" \
      "$(rate "$ws")" "$(awk -v b="$bbytes" -v s="$ws" 'BEGIN { print b / s / 1e6 }')" "$(awk -v a="$rs" -v b="$ws" 'BEGIN { print a / b }')"
    rm -f durable.out
    sync
    read -r ds _ < <(timed dd if=/dev/zero of=dd.bin bs=1M count=$(( (bbytes + 1048575) / 1048576 )) conv=fdatasync)
    printf "| | dd, same bytes as %s, on the disk (conv=fdatasync) | - | file | - | %s | - | %.0f | - | - | - |\n" "$format" "$ds" \
      "$(awk -v b="$bbytes" -v s="$ds" 'BEGIN { print b / s / 1e6 }')"
    rm -f dd.bin
  done
done

# The two speed targets of the equal-flux sampling: never slower than the
# weighted sampling it replaced as the default (every row to /dev/null
# above), and every binary format at 40 M rays/s or more to /dev/null on
# every core. For the second, rounds: each round runs every setting's
# binary formats once, equal-flux and weighted, and a row shows its fastest
# of $rounds rounds, so a minute in which other programs take a core costs
# one round of every row rather than every run of a few rows. Printed, not
# enforced: a busy machine misses them without any fault of the program.
declare -A fastest  # "setting format sampling" -> seconds, fastest round
for ((round = 0; round < rounds; round++)); do
  for i in "${!names[@]}"; do
    for format in zemax-binary tm25 lighttools asap; do
      for sampling in equal-flux weighted; do
        flag=""; [[ $sampling == weighted ]] && flag=--weighted
        read -r es _ < <(timed "$cli" generate --quiet --clock-seed 1700000000 -n "$n" -f "$format" -o /dev/null --threads "$cores" $flag ${cli_args[$i]})
        key="$i $format $sampling"
        if [[ -z ${fastest[$key]:-} ]] || awk -v a="$es" -v b="${fastest[$key]}" 'BEGIN { exit !(a < b) }'; then fastest[$key]=$es; fi
      done
    done
  done
done
printf "\nBinary formats to /dev/null on %d cores, fastest of %d rounds:\n\n" "$cores" "$rounds"
printf "| setting | format | equal-flux s | M rays/s | weighted s | M rays/s |\n|---|---|---|---|---|---|\n"
fast=0 binary=0 slowest=""
for i in "${!names[@]}"; do
  for format in zemax-binary tm25 lighttools asap; do
    e=${fastest["$i $format equal-flux"]} w=${fastest["$i $format weighted"]}
    r=$(rate "$e")
    printf "| %s | %s | %s | %s | %s | %s |\n" "${names[$i]}" "$format" "$e" "$r" "$w" "$(rate "$w")"
    binary=$((binary + 1))
    awk -v r="$r" 'BEGIN { exit !(r >= 40) }' && fast=$((fast + 1))
    if [[ -z $slowest ]] || awk -v a="$r" -v b="$slowest" 'BEGIN { exit !(a < b) }'; then slowest=$r; fi
    devnull["$i $format-rounds equal-flux $cores"]=$e devnull["$i $format-rounds weighted $cores"]=$w
  done
done
faster=0 rows=0
for key in "${!devnull[@]}"; do
  read -r i format sampling threads <<< "$key"
  [[ $sampling == equal-flux ]] || continue
  rows=$((rows + 1))
  awk -v e="${devnull[$key]}" -v w="${devnull["$i $format weighted $threads"]}" 'BEGIN { exit !(e <= w) }' && faster=$((faster + 1))
done
printf "\nEqual-flux as fast as weighted or faster in %d of %d rows to /dev/null; " "$faster" "$rows"
printf "binary formats, equal-flux, %d cores: %d of %d at 40 M rays/s or more (slowest %s).\n" "$cores" "$fast" "$binary" "$slowest"

# A photometric run: an asymmetric luminaire (a road light, 24 C-planes by
# 19 gamma angles) from its whole solid, against the same file reduced to
# its two planes (imported as tables) and legacy's two planes, Zemax binary
# to /dev/null on every core.
awk 'BEGIN {
  pi = 3.14159265358979;
  printf "IESNA:LM-63-2002\r\nTILT=NONE\r\n1 -1 1 19 24 1 2 0 0 0\r\n1 1 10\r\n";
  for (g = 0; g <= 90; g += 5) printf "%g ", g; printf "\r\n";
  for (c = 0; c < 360; c += 15) printf "%g ", c; printf "\r\n";
  for (c = 0; c < 360; c += 15) {
    for (g = 0; g <= 90; g += 5) {
      street = 0.5 + 0.5 * cos(c * pi / 180); cg = cos(g * pi / 180); if (cg < 0) cg = 0;
      printf "%.3f ", 1000 * sqrt(cg) * (0.1 + 0.9 * street * street) * (1 + 2 * sin(g * pi / 180) * street) }
    printf "\r\n" } }' > road.ies
"$cli" import road.ies --force > /dev/null
printf "\n| photometric setting | sampling | target | threads | s | M rays/s | peak MB |\n|---|---|---|---|---|---|---|\n"
for variant in "whole solid|--photometric road.ies" "two planes as tables|-L road_C0-C180.txt -T road_C90-C270.txt" \
               "whole solid, weighted|--photometric road.ies --weighted" "two planes, legacy|--photometric road.ies --legacy-sampling"; do
  label=${variant%%|*}; args=${variant#*|}
  read -r ps pk < <(best "$cli" generate --quiet --clock-seed 1700000000 -n "$n" -f zemax-binary -o /dev/null --threads "$cores" $args)
  printf "| %s | %s | /dev/null | %s | %s | %s | %.0f |\n" "$label" "$(case $args in *weighted*) echo weighted;; *legacy*) echo legacy;; *) echo equal-flux;; esac)" \
    "$cores" "$ps" "$(rate "$ps")" "$(awk -v k="$pk" 'BEGIN { print k / 1024 }')"
done

# A file on the disk against its two limits (the drawing, to /dev/null, and
# dd of the same bytes on the same folder), five pairs, medians.
printf "\n"
"$root/bench/disk_speed.sh" "$n" "${BENCH_PAIRS:-5}"
# A spectral run against the same run without (bench/spectral.sh).
printf "\n"
"$root/bench/spectral.sh" "$n" || status=1
exit $status
