#!/usr/bin/env bash
# Checks that the README's two commands work on a fresh Debian 12 machine:
# builds a minimal bookworm root with mmdebstrap from this machine's Debian
# mirror, puts a clean clone of HEAD (committed work only, not the working
# tree) in it, and runs there, as root in a chroot:
#
#   1. bash scripts/run.sh   - on a virtual display; passes when the lucidra
#                              window process starts and is still alive 5 s later
#   2. bash scripts/test.sh  - the whole suite, exactly as CI runs it
#
# The display is an Xvfb server started on this machine, its socket shared
# with the chroot, so that nothing X-related is installed in the fresh root
# before run.sh installs it itself.
#
# Too slow for CI (a full install, two builds and two test runs); run it by
# hand, as root, before closing a dependency issue:
#
#   sudo bash scripts/fresh-machine-check.sh [WORK_DIR]    (default /var/tmp/lucidra-fresh)
#
# The root is rebuilt from scratch every time. The last line says PASS or FAIL
# with the date, the commit and the duration; the log of each step is kept in
# WORK_DIR/logs/.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(realpath -m "${1:-/var/tmp/lucidra-fresh}")
chroot_dir=$work/root
logs=$work/logs
start_seconds=$SECONDS
started=$(date -u '+%Y-%m-%d %H:%M UTC')

if [[ $(id -u) -ne 0 ]]; then
  echo "fresh-machine-check: must run as root (mmdebstrap, chroot and mounts)" >&2
  exit 1
fi
commit=$(git -C "$root" rev-parse HEAD)
if [[ -n $(git -C "$root" status --porcelain --untracked-files=no) ]]; then
  echo "fresh-machine-check: note: uncommitted changes are not checked (clone of $commit)" >&2
fi

# mmdebstrap and Xvfb on this machine (the fresh root gets nothing from here).
command -v mmdebstrap >/dev/null && command -v Xvfb >/dev/null ||
  bash "$root/scripts/install-deps.sh" fresh

# The Debian mirrors this machine's apt uses (only those may be reachable):
# the first URI serving bookworm and the first serving bookworm-security, from
# one-line (sources.list) or deb822 (*.sources) entries.
mirror_for() { # suite-pattern
  local pattern=$1
  {
    grep -hE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      awk -v p="$pattern" '{ for (i = 2; i <= NF; i++) if ($i !~ /^\[/) { if ($(i + 1) ~ p) print $i; break } }'
    for f in /etc/apt/sources.list.d/*.sources; do
      [[ -f $f ]] || continue
      awk -v p="$pattern" '
        /^URIs:/ { uri = $2 }
        /^Suites:/ { for (i = 2; i <= NF; i++) if ($i ~ p) found = 1 }
        /^[[:space:]]*$/ { if (found && uri != "") print uri; uri = ""; found = 0 }
        END { if (found && uri != "") print uri }' "$f"
    done
  } | head -n 1
}
main_mirror=$(mirror_for '^bookworm$')
security_mirror=$(mirror_for '^bookworm-security$')
main_mirror=${main_mirror:-http://deb.debian.org/debian}
sources=("deb $main_mirror bookworm main" "deb $main_mirror bookworm-updates main")
[[ -n $security_mirror ]] && sources+=("deb $security_mirror bookworm-security main")

mounted=()
xvfb_pid=
cleanup() {
  local m
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    m=${mounted[i]}
    umount -R "$m" 2>/dev/null || umount -R -l "$m" 2>/dev/null || true
  done
}
trap cleanup EXIT

mkdir -p "$work"
rm -rf "$chroot_dir" "$logs"
mkdir -p "$logs"
echo "fresh-machine-check: building a minimal bookworm root in $chroot_dir from $main_mirror" >&2
step_start=$SECONDS
mmdebstrap --variant=minbase --mode=root bookworm "$chroot_dir" "${sources[@]}" >"$logs/mmdebstrap.log" 2>&1 || {
  tail -n 20 "$logs/mmdebstrap.log" >&2
  echo "fresh-machine-check: FAIL: mmdebstrap" >&2
  exit 1
}
echo "fresh-machine-check: root ready in $((SECONDS - step_start)) s ($(du -sh "$chroot_dir" | cut -f1))" >&2

# Pseudo file systems; rslave so that unmounting them here never reaches the
# host's own mounts below /dev and /sys.
mount -t proc proc "$chroot_dir/proc" && mounted+=("$chroot_dir/proc")
for fs in dev sys; do
  mount --rbind "/$fs" "$chroot_dir/$fs"
  mount --make-rslave "$chroot_dir/$fs"
  mounted+=("$chroot_dir/$fs")
done
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf" 2>/dev/null || true

# A clean clone of the committed HEAD, as a new machine would get it.
git clone -q --no-local "$root" "$chroot_dir/root/lucidra"
git -C "$chroot_dir/root/lucidra" checkout -q --detach "$commit"

# The virtual display, shared through its socket.
display_number=$((90 + RANDOM % 100))
while [[ -e /tmp/.X11-unix/X$display_number ]]; do display_number=$((display_number + 1)); done
Xvfb ":$display_number" -screen 0 1280x720x24 -nolisten tcp -ac >"$logs/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [[ -S /tmp/.X11-unix/X$display_number ]] && break; sleep 0.1; done
mkdir -p "$chroot_dir/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$chroot_dir/tmp/.X11-unix" && mounted+=("$chroot_dir/tmp/.X11-unix")

in_chroot() {
  chroot "$chroot_dir" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

result=PASS
failures=()

# 1. run.sh: installs, builds and execs into the window (run.sh -> run-window.sh
# -> lucidra all exec, so the background job's pid becomes the window's).
echo "fresh-machine-check: bash scripts/run.sh (display :$display_number)" >&2
step_start=$SECONDS
in_chroot DISPLAY=":$display_number" bash -c '
  cd /root/lucidra
  bash scripts/run.sh &
  pid=$!
  while kill -0 $pid 2>/dev/null; do
    case $(readlink /proc/$pid/exe) in */build/src/app/lucidra) break ;; esac
    sleep 1
  done
  if ! kill -0 $pid 2>/dev/null; then
    wait $pid; echo "run.sh ended (exit $?) before the window opened"; exit 1
  fi
  echo "window process $pid started; checking it stays up"
  sleep 5
  if ! kill -0 $pid 2>/dev/null; then
    wait $pid; echo "the window process ended within 5 s (exit $?)"; exit 1
  fi
  echo "window still running after 5 s"
  kill $pid; wait $pid 2>/dev/null || true
' >"$logs/run.log" 2>&1 || { result=FAIL; failures+=(run.sh); }
run_seconds=$((SECONDS - step_start))
tail -n 3 "$logs/run.log" >&2
echo "fresh-machine-check: run.sh step: $run_seconds s" >&2

# 2. test.sh: exactly what CI runs.
echo "fresh-machine-check: bash scripts/test.sh" >&2
step_start=$SECONDS
in_chroot bash -c 'cd /root/lucidra && bash scripts/test.sh' >"$logs/test.log" 2>&1 ||
  { result=FAIL; failures+=(test.sh); }
test_seconds=$((SECONDS - step_start))
grep -E 'tests passed|tests failed' "$logs/test.log" >&2 || tail -n 20 "$logs/test.log" >&2
echo "fresh-machine-check: test.sh step: $test_seconds s" >&2

total=$((SECONDS - start_seconds))
printf 'fresh-machine-check: %s %s commit %s, %d min %02d s (run.sh %d s, test.sh %d s)%s\n' \
  "$result" "$started" "${commit:0:10}" $((total / 60)) $((total % 60)) "$run_seconds" "$test_seconds" \
  "${failures[*]:+, failed: ${failures[*]}}" | tee "$logs/result.txt"
[[ $result == PASS ]]
