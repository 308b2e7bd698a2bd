#!/usr/bin/env bash
# Sets everything up, builds, and streams a demo vessel's AIS sentences to the console.
# Extra arguments replace the demo vessel's options.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The first build takes a few minutes on two cores; its progress goes to standard error.
echo "Building into ${BUILD_DIR:-build}/ (the first build takes several minutes) ..." >&2
scripts/build.sh >&2
bin=${BUILD_DIR:-build}/bin
if (($#)); then exec "$bin/vesgen" "$@"; fi
# Every message type, once a second, until Ctrl+C.
exec "$bin/vesgen" --vessel-name "DEMO VESSEL" --vessel-call "DEMO1" --vessel-mmsi 338272001 \
  --vessel-imo 9074729 --vessel-lat 46.48 --vessel-lon 30.75 --vessel-sog 12.5 --vessel-cog 135 \
  --vessel-rot 2 --vessel-type 70 --port-dest "ISTANBUL" --port-origin "ODESSA" \
  --nmea-domsg1 --nmea-domsg5 --nmea-domsg18 --nmea-domsg19 --nmea-domsg24 --ignore-timings --output CON
