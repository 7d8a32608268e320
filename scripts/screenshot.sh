#!/usr/bin/env bash
# Takes docs/window.png: the window on the shipped example after a run, with
# the chart shown, on a 1280x900 virtual display. Needs xvfb (xvfb-run), xdotool and imagemagick
# (import), and a built program (build/, or $LUCIDRA_BUILD_DIR).
#
#   scripts/screenshot.sh [output.png]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}
program=$build/src/app/lucidra
output=$(realpath -m "${1:-$root/docs/window.png}")

for tool in xvfb-run xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "screenshot.sh: '$tool' is missing (Debian packages: xvfb xauth xdotool imagemagick)" >&2
    exit 1
  fi
done
if [[ ! -x "$program" ]]; then
  echo "screenshot.sh: $program not found; build it first (cmake --build build --target lucidra)" >&2
  exit 1
fi
mkdir -p "$(dirname "$output")"

# The notice's title is the product's name and version, as project() states it.
version=$(sed -n 's/^project(LucidraLED VERSION \([0-9]*\.[0-9]*\).*/\1/p' "$root/CMakeLists.txt")

# Everything below runs inside the virtual display.
export LUCIDRA_PROGRAM=$program LUCIDRA_EXAMPLES=$root/examples LUCIDRA_SHOT=$output LUCIDRA_VERSION=$version
xvfb-run --auto-servernum --server-args="-screen 0 1280x900x24" bash -euo pipefail -c '
  # A copy of the example, so that the run writes its ray file elsewhere.
  work=$(mktemp -d)
  cp "$LUCIDRA_EXAMPLES"/* "$work"/
  cd "$work"
  "$LUCIDRA_PROGRAM" &
  program_pid=$!
  trap "kill $program_pid 2>/dev/null || true; rm -rf \"$work\"" EXIT

  # The freeware notice comes first; OK is its default button.
  notice=$(timeout 20 xdotool search --sync --onlyvisible --name "^Lucidra LED $LUCIDRA_VERSION\$" | head -n 1)
  xdotool windowfocus --sync "$notice" key Return

  # Then the main window: press "Plot >>" (panel at 1,90; button at 312,35,
  # 81x25), below the menu bar, and hover over the first curve for the
  # read-out.
  window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Lucidra LED\$" | head -n 1)
  sleep 1
  # A run first, so that the summary under the settings shows: Ctrl+G, the
  # confirmation (Yes is its default), the notice at the end.
  xdotool windowfocus --sync "$window" key ctrl+g
  question=$(timeout 20 xdotool search --sync --onlyvisible --name "^Lucidra\$" | head -n 1)
  xdotool windowfocus --sync "$question" key Return
  sleep 2
  done_notice=$(timeout 20 xdotool search --sync --onlyvisible --name "^Lucidra LED $LUCIDRA_VERSION\$" | head -n 1)
  xdotool windowfocus --sync "$done_notice" key Return
  sleep 1
  menu_height=${LUCIDRA_MENU_HEIGHT:-22}
  xdotool mousemove --window "$window" 353 $((menu_height + 137)) click 1
  sleep 2
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove $((X + 408 + 120)) $((Y + 150))
  sleep 1

  eval "$(xdotool getwindowgeometry --shell "$window")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$LUCIDRA_SHOT"
'
echo "screenshot.sh: wrote $output"
