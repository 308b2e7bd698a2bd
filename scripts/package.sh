#!/usr/bin/env bash
# Builds the two Debian packages from an existing build, checks them with lintian, and runs the
# unpacked vesgen: --version and a two-second run whose sentences gpsdecode must accept.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
build_dir=$(realpath "${BUILD_DIR:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rm -f "$build_dir"/vesgen_*.deb "$build_dir"/vespanel_*.deb
(cd "$build_dir" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
debs=("$build_dir"/vesgen_*.deb "$build_dir"/vespanel_*.deb)
lintian --fail-on error "${debs[@]}"

for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$work/root"; done
vesgen=$work/root/usr/bin/vesgen
"$vesgen" --version

# A private temp folder: the single-instance lock of another vesgen on the machine does not matter.
mkdir "$work/tmp"
set +e
TMPDIR=$work/tmp timeout -s INT 2 "$vesgen" --output "$work/run.nmea" --ignore-timings \
  --nmea-domsg1 --nmea-domsg5 --nmea-domsg18 --vessel-name "PACKAGE CHECK"
set -e
sentences=$(grep -c '^!AIVDM' "$work/run.nmea" || true)
decoded=$(gpsdecode <"$work/run.nmea" | grep -c '"class":"AIS"' || true)
if [ "$sentences" -lt 3 ] || [ "$decoded" -lt 3 ] || ! gpsdecode <"$work/run.nmea" | grep -q '"shipname":"PACKAGE CHECK"'; then
  echo "package check: $sentences sentences, $decoded decoded by gpsdecode" >&2
  exit 1
fi

for page in "$work"/root/usr/share/man/man1/*.1.gz; do
  lint=$(zcat "$page" | mandoc -T lint -W warning 2>&1)
  [ -z "$lint" ] || { echo "$page: $lint" >&2; exit 1; }
done
desktop-file-validate "$work"/root/usr/share/applications/*.desktop
echo "Packages ${debs[*]##*/}: lintian clean, $sentences sentences decoded, man pages clean ($((SECONDS - start)) s)"
