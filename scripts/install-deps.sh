#!/usr/bin/env bash
# Installs what building, testing and running Lucidra LED needs on Debian 12,
# skipping everything already present. Safe to run again.
#
#   scripts/install-deps.sh [GROUP...]
#
# Groups beyond the default set, for the scripts that need them:
#   windows     the MinGW-w64 cross compiler, GoogleTest's sources and Wine
#               (scripts/build-windows.sh, scripts/test-windows.sh)
#   packaging   lintian (scripts/package.sh)
#   fresh       mmdebstrap and Xvfb (scripts/fresh-machine-check.sh)
set -euo pipefail

packages=(
  build-essential cmake git pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libxkbcommon-dev libgl-dev
  xvfb xauth xdotool imagemagick x11-utils
  locales time
  clang libclang-rt-14-dev
  dpkg-dev binutils file
  help2man clang-format
)
for group in "$@"; do
  case $group in
    windows) packages+=(g++-mingw-w64-x86-64-posix googletest wine64) ;;
    packaging) packages+=(lintian) ;;
    fresh) packages+=(mmdebstrap xvfb) ;;
    *) echo "install-deps: unknown group '$group' (windows, packaging, fresh)" >&2; exit 2 ;;
  esac
done

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}" >&2
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# The tests run under a decimal-comma locale as well as a decimal-point one.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  echo "install-deps: generating the de_DE.UTF-8 locale" >&2
  as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >&2
fi
