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

bash "$root/scripts/install-deps.sh" packaging
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
