#!/usr/bin/env bash
# Unpacks the .deb into a temporary root (dpkg -x, no installation) and checks
# what a user gets: the files in their places, dependencies derived from the
# binaries, and the packaged lucidra-cli writing the same bytes as the build's.
#
#   deb_smoke.sh PACKAGE_DIR VERSION BUILD_LUCIDRA_CLI WITH_APP(0|1)
set -euo pipefail
package_dir=$1 version=$2 build_cli=$3 with_app=$4

fail() { echo "deb_smoke: FAIL: $*" >&2; exit 1; }

shopt -s nullglob
debs=("$package_dir"/lucidra_"$version"_*.deb)
((${#debs[@]} == 1)) || fail "expected one lucidra_${version}_*.deb in $package_dir, found ${#debs[@]}"
deb=${debs[0]}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
root=$tmp/root

[[ $(dpkg-deb -f "$deb" Package) == lucidra ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version $(dpkg-deb -f "$deb" Version) != $version"

expected=(
  usr/bin/lucidra-cli
  usr/share/man/man1/lucidra-cli.1.gz
  usr/share/doc/lucidra/copyright
  usr/share/doc/lucidra/changelog.gz
  usr/share/lucidra/examples/lucidra.cfg
  usr/share/lucidra/examples/lambertian.txt
  usr/share/lucidra/examples/narrow.txt
  usr/share/lucidra/examples/three_point.txt
  usr/share/lucidra/examples/lambertian_led.ies
  usr/share/doc/lucidra/user-guide.html
)
depends_on=(libc6 libstdc++6)
if ((with_app)); then
  expected+=(
    usr/bin/lucidra
    usr/share/man/man1/lucidra.1.gz
    usr/share/applications/lucidra.desktop
    usr/share/icons/hicolor/scalable/apps/lucidra.svg
    usr/share/metainfo/lucidra.metainfo.xml
  )
  depends_on+=(libqt6widgets6 libqt6charts6)
fi
for f in "${expected[@]}"; do
  [[ -f $root/$f ]] || fail "missing /$f"
done
for gz in "$root"/usr/share/man/man1/*.gz "$root"/usr/share/doc/lucidra/changelog.gz; do
  gzip -t "$gz" || fail "corrupt $gz"
done
if ((with_app)); then
  grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/lucidra.metainfo.xml" ||
    fail "metainfo does not carry version $version"
fi

# dpkg-shlibdeps derived the dependencies from the binaries' libraries.
depends=$(dpkg-deb -f "$deb" Depends)
for d in "${depends_on[@]}"; do
  [[ ", $depends," =~ ,\ "$d"[\ ,] ]] || fail "Depends lacks $d: $depends"
done

# Installed binaries carry no run path into the build tree.
for b in "$root"/usr/bin/*; do
  if LC_ALL=C readelf -d "$b" 2>/dev/null | grep -Eq 'RPATH|RUNPATH'; then fail "$b has a run path"; fi
done

cli=$root/usr/bin/lucidra-cli
out=$("$cli" --version)
[[ $out == "lucidra-cli (Lucidra LED) $version" ]] || fail "--version printed '$out'"

# A short run on the packaged examples, compared byte for byte with the build's.
examples=$root/usr/share/lucidra/examples
args=(generate -f zemax -n 100 --angular uniform --na 1 --size-x 2 --size-y 2
  -L "$examples/lambertian.txt" -T "$examples/narrow.txt" --clock-seed 1700000000 --quiet)
"$cli" "${args[@]}" -o "$tmp/packaged.dat" >"$tmp/packaged.out"
"$build_cli" "${args[@]}" -o "$tmp/build.dat" >"$tmp/build.out"
cmp "$tmp/packaged.dat" "$tmp/build.dat" || fail "the packaged program wrote other bytes than the build's"
cmp "$tmp/packaged.out" "$tmp/build.out" || fail "the packaged program reported otherwise than the build's"
lines=$(wc -l <"$tmp/packaged.dat")
((lines == 102)) || fail "ray file has $lines lines, not 1 header + 101 rays"
[[ $(head -n 1 "$tmp/packaged.dat") == $'100 4 \r' ]] || fail "Zemax header is '$(head -n 1 "$tmp/packaged.dat")'"
crlf=$(grep -c $'\r$' "$tmp/packaged.dat")
((crlf == 102)) || fail "only $crlf of 102 lines end with CR LF"
# The packaged example LED, sampled from its IES file and checked against it.
"$cli" generate --photometric "$examples/lambertian_led.ies" -n 100000 --size-x 1 --size-y 1 \
  -o "$tmp/led.dat" --clock-seed 1700000000 --quiet --check >"$tmp/led.out" ||
  fail "generate --photometric --check on the packaged example failed: $(tail -n 2 "$tmp/led.out")"
echo "deb_smoke: $(basename "$deb") ($(stat -c %s "$deb") bytes) unpacks and runs; Depends: $depends"
