#!/usr/bin/env bash
# Builds the Debian package of Lucidra LED with CPack (Release, in build/ or
# $LUCIDRA_BUILD_DIR; dependencies derived by dpkg-shlibdeps) and checks it
# with lintian; any lintian error or warning fails. The last line printed is
# the path of the package.
#
#   scripts/package.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LUCIDRA_BUILD_DIR:-$root/build}

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}
missing=()
for p in lintian dpkg-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "package.sh: installing ${missing[*]}" >&2
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

LUCIDRA_BUILD_DIR=$build bash "$root/scripts/build.sh"
rm -f "$build"/package/lucidra_*.deb
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >&2)
deb=$(ls "$build"/package/lucidra_*.deb)

# lintian runs as an ordinary check; overrides shipped in the package
# (packaging/lintian-overrides) explain every tag that stays.
echo "package.sh: lintian $deb" >&2
lintian --fail-on error,warning --display-info "$deb" >&2
echo "package.sh: $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version), $(stat -c %s "$deb") bytes" >&2
echo "$deb"
