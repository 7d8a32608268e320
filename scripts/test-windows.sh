#!/usr/bin/env bash
# Builds the Windows command line and the core's tests (scripts/build-windows.sh)
# and runs them under Wine: the test binaries, then lucidra-cli.exe against the
# Linux lucidra-cli (build/, or $LUCIDRA_BUILD_DIR, built beforehand):
#   - ray files byte-identical to Linux for the shipped example and other
#     settings (CR LF line ends, never CR CR LF),
#   - the default decimal separator taken from the user's regional settings,
#   - file and folder names outside ASCII,
#   - Ctrl-C (delivered as a console control event) stopping a run cleanly,
#     the previous file unchanged.
# The Wine prefix is kept in build-windows/wine so that later runs skip its
# setup.
#
#   scripts/test-windows.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
wbuild=${LUCIDRA_WINDOWS_BUILD_DIR:-$root/build-windows}
started=$SECONDS

LUCIDRA_WINDOWS_BUILD_DIR=$wbuild bash "$root/scripts/build-windows.sh" >/dev/null
linux_cli=$build/src/cli/lucidra-cli
windows_cli=$wbuild/src/cli/lucidra-cli.exe
[[ -x $linux_cli ]] || { echo "test-windows.sh: $linux_cli missing; build the Linux program first" >&2; exit 1; }
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)

export WINEPREFIX=$wbuild/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine turns the UTF-8 command line and names into Windows' wide characters.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  echo "test-windows.sh: setting up the Wine prefix $WINEPREFIX" >&2
  "$wine" wineboot --init >/dev/null 2>&1
  "$(dirname "$wine")/wineserver" -w 2>/dev/null || wineserver -w 2>/dev/null || true
fi
echo "test-windows.sh: build and Wine ready after $((SECONDS - started)) s" >&2

step=$SECONDS
ctest --test-dir "$wbuild" --output-on-failure -j "$(nproc)" --timeout 900 >&2
echo "test-windows.sh: the core's test binaries passed under Wine in $((SECONDS - step)) s" >&2

step=$SECONDS
tmp=$(mktemp -d)
set_decimal() { "$wine" reg add 'HKCU\Control Panel\International' /v sDecimal /t REG_SZ /d "$1" /f >/dev/null 2>&1; }
cleanup() {
  set_decimal . || true
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "test-windows.sh: FAIL: $*" >&2; failures=$((failures + 1)); }

win() { "$wine" "$windows_cli" "$@"; }
# Same run on both systems in $tmp/linux and $tmp/windows (each a copy of
# examples/); the ray files and the reports must be the same bytes (the
# Windows console's text mode turns report lines into CR LF; that is all).
compare_run() { # name output args...
  local name=$1 out=$2
  shift 2
  local status_linux=0 status_windows=0
  (cd "$tmp/linux" && "$linux_cli" "$@" >"$tmp/$name.linux.out" 2>&1) || status_linux=$?
  (cd "$tmp/windows" && win "$@" >"$tmp/$name.windows.out" 2>&1) || status_windows=$?
  ((status_linux == status_windows)) || fail "$name: exit $status_windows on Windows, $status_linux on Linux"
  # Lines starting "wine:" are Wine's own (once, a helper of Wine's faulted
  # while the program itself ran and exited normally); the exit status above
  # catches a fault of the program.
  tr -d '\r' <"$tmp/$name.windows.out" | { grep -v '^wine: ' || true; } | cmp -s - "$tmp/$name.linux.out" ||
    fail "$name: reports differ: $(tr -d '\r' <"$tmp/$name.windows.out" | head -c 300)"
  [[ $out == - ]] && return  # a run that writes no file
  cmp -s "$tmp/windows/$out" "$tmp/linux/$out" || fail "$name: ray files differ"
  ! grep -q $'\r\r' "$tmp/windows/$out" || fail "$name: CR CR LF in the Windows ray file"
  [[ $(grep -c $'\r$' "$tmp/windows/$out") == $(wc -l <"$tmp/windows/$out") ]] || fail "$name: a line without CR LF"
}
mkdir "$tmp/linux" "$tmp/windows"
cp "$root"/examples/* "$tmp/linux/"
cp "$root"/examples/* "$tmp/windows/"

seed=(--clock-seed 1700000000 --quiet --threads 2)
compare_run example zemax_rays.dat generate --config lucidra.cfg --format zemax "${seed[@]}"
compare_run example-tracepro tracepro_rays.dat generate --config lucidra.cfg --format tracepro -n 5000 "${seed[@]}"
compare_run uniform-lambertian a.dat generate -f zemax -o a.dat -n 20000 --angular uniform --na 1 \
  --size-x 2 --size-y 2 -L lambertian.txt -T narrow.txt "${seed[@]}"
compare_run elliptical-double b.dat generate -f tracepro -o b.dat -n 20000 --algorithm uniform \
  --angular lambertian --shape elliptical --size-x 1.5 --size-y 0.5 --double-side --balance 30 \
  -L lambertian.txt -T narrow.txt "${seed[@]}"
compare_run flux-square c.dat generate -f zemax -o c.dat -n 20000 --consider-flux --square --extent 180 \
  --source-flux 1200 -L lambertian.txt -T three_point.txt "${seed[@]}"
compare_run arc d.dat generate -f zemax -o d.dat -n 20000 --arc --arc-margins 5,10 \
  -L lambertian.txt -T narrow.txt "${seed[@]}"
compare_run legacy-sampling g.dat generate -f zemax -o g.dat -n 20000 --legacy-sampling --double-side \
  -L lambertian.txt -T narrow.txt "${seed[@]}"
compare_run far-field-check - check a.dat --angular uniform --na 1 --threads 2
compare_run refused - generate -f lighttools -o e.dat -L lambertian.txt -T narrow.txt "${seed[@]}"
compare_run missing-file - generate -o f.dat -L none.txt -T narrow.txt "${seed[@]}"

# The default decimal separator follows the regional settings: a decimal-comma
# file reads with no option when the user's separator is a comma, and a
# decimal-point file is then refused; back to a point, the reverse.
printf '0 22,5 45 67,5 90 \r\n\r\n100 92,4 70,7 38,3 0 \r\n' >"$tmp/windows/comma.txt"
printf '0 22.5 45 67.5 90 \r\n\r\n100 92.4 70.7 38.3 0 \r\n' >"$tmp/windows/point.txt"
cp "$tmp/windows/comma.txt" "$tmp/windows/point.txt" "$tmp/linux/"
(cd "$tmp/linux" && "$linux_cli" generate -o comma.dat -n 3000 -L comma.txt -T comma.txt --decimal-separator , \
  "${seed[@]}" >/dev/null)
set_decimal ,
status=0
(cd "$tmp/windows" && win generate -o comma.dat -n 3000 -L comma.txt -T comma.txt "${seed[@]}" >/dev/null 2>&1) ||
  status=$?
((status == 0)) && cmp -s "$tmp/windows/comma.dat" "$tmp/linux/comma.dat" ||
  fail "regional decimal comma: exit $status or other bytes than Linux with --decimal-separator ,"
status=0
(cd "$tmp/windows" && win generate -o x.dat -n 10 -L point.txt -T point.txt "${seed[@]}" >"$tmp/point.out" 2>&1) ||
  status=$?
((status == 1)) && grep -q "'22.5' is not a valid floating point value" "$tmp/point.out" ||
  fail "regional decimal comma: a decimal-point file was not refused (exit $status)"
set_decimal .
status=0
(cd "$tmp/windows" && win generate -o x.dat -n 10 -L comma.txt -T comma.txt "${seed[@]}" >"$tmp/comma.out" 2>&1) ||
  status=$?
((status == 1)) || fail "regional decimal point: a decimal-comma file was not refused (exit $status)"

# Names outside ASCII, for the folder, both distribution files and the output.
folder="Messreihe ä ö ü ß 光源 Ωμ"
mkdir "$tmp/linux/$folder" "$tmp/windows/$folder"
for side in linux windows; do
  cp "$root/examples/lambertian.txt" "$tmp/$side/$folder/längs-Ø.txt"
  cp "$root/examples/narrow.txt" "$tmp/$side/$folder/quer-光.txt"
done
compare_run unicode-names "$folder/strahlen-π.dat" generate -o "$folder/strahlen-π.dat" -n 5000 \
  -L "$folder/längs-Ø.txt" -T "$folder/quer-光.txt" "${seed[@]}"
status=0
(cd "$tmp/windows" && win generate -o "$folder/x.dat" -L "$folder/fehlt-ä.txt" -T "$folder/quer-光.txt" \
  "${seed[@]}" >"$tmp/missing.out" 2>&1) || status=$?
((status == 1)) && grep -q "fehlt-ä.txt" "$tmp/missing.out" ||
  fail "a missing non-ASCII file is not reported by its name (exit $status): $(head -c 200 "$tmp/missing.out")"

# Ctrl-C: Wine delivers SIGINT to a console program as CTRL_C_EVENT, to the
# console control handler. The run stops, exits 130, says the previous file
# is unchanged, and leaves it and nothing else behind.
printf 'previous rays\r\n' >"$tmp/windows/big.dat"
(cd "$tmp/windows" && exec "$wine" "$windows_cli" generate -o big.dat -n 1000000000 \
  -L lambertian.txt -T narrow.txt "${seed[@]}" >"$tmp/interrupt.out" 2>&1) &
pid=$!
for _ in $(seq 100); do
  compgen -G "$tmp/windows/.~big.dat.lucidra-*" >/dev/null && break
  sleep 0.1
done
sleep 0.3  # well into the run
kill -INT "$pid" 2>/dev/null || true
status=0
for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$pid" 2>/dev/null || true
  fail "Ctrl-C: the run did not stop within 30 s"
fi
wait "$pid" || status=$?
if ((status == 130)) && [[ $(cat "$tmp/windows/big.dat") == $'previous rays\r' ]] &&
  ! compgen -G "$tmp/windows/.~big.dat.lucidra-*" >/dev/null && grep -q "big.dat is unchanged" "$tmp/interrupt.out"; then
  echo "test-windows.sh: Ctrl-C stopped the run cleanly (exit 130, the previous file unchanged)" >&2
else
  fail "Ctrl-C: exit $status, $(head -c 200 "$tmp/interrupt.out"), files: $(ls -a "$tmp/windows" | tr '\n' ' ')"
fi
rm -f "$tmp/windows/big.dat"

echo "test-windows.sh: command-line checks under Wine took $((SECONDS - step)) s; all took $((SECONDS - started)) s" >&2
if ((failures)); then
  echo "test-windows.sh: $failures check(s) failed" >&2
  exit 1
fi
echo "test-windows.sh: all Windows checks passed" >&2
