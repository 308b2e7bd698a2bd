#!/usr/bin/env bash
# Checks that random fleets stay at sea, independently of vesgen's own land data: a seeded
# random fleet sails for simulated time (build/tests/simulate_fleet steps the fleet engine
# through simulated seconds as fast as it can), gpsd's gpsdecode decodes every position
# report, and GMT's `gmt select` looks each position up in GSHHG at full resolution.
# Positions on land are listed with their distance to the full-resolution coastline.
#
#   bash scripts/check-land.sh [AREA] [VESSELS] [SECONDS] [SEED] [RESOLUTION]
#   bash scripts/check-land.sh 51.5,3.0,52.5,4.8 10000 3600 1 f
#   bash scripts/check-land.sh 59.0,17.5,60.0,19.5 10000 3600 1 f
#
# Needs the build (build/tests/simulate_fleet) and the GMT packages, which it installs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
area="${1:-51.5,3.0,52.5,4.8}"
vessels="${2:-10000}"
seconds="${3:-3600}"
seed="${4:-1}"
resolution="${5:-f}"
simulate="${SIMULATE_FLEET:-$root/build/tests/simulate_fleet}"

bash "$here/install-deps.sh" gmt gmt-gshhg-low gmt-gshhg-high gmt-gshhg-full gpsd-clients >/dev/null
[ -x "$simulate" ] || cmake --build "$root/build" --target simulate_fleet >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"  # gmt writes its history file here

"$simulate" "$area" "$vessels" "$seconds" "$seed" > sentences.nmea
gpsdecode < sentences.nmea | python3 -c '
import json, sys
seen = set()
vessels = set()
reports = 0
for line in sys.stdin:
    m = json.loads(line)
    if m.get("type") not in (1, 18, 19):
        continue
    reports += 1
    vessels.add(m["mmsi"])
    point = (round(m["lon"], 6), round(m["lat"], 6))
    if point not in seen:
        seen.add(point)
        print(point[0], point[1], m["mmsi"])
print(f"{reports} position reports of {len(vessels)} vessels, {len(seen)} distinct positions", file=sys.stderr)
' > positions.txt

IFS=, read -r south west north east <<< "$area"
# Land (level 1) and islands in lakes (level 3); ocean, lakes and ponds are water.
gmt select positions.txt -D"$resolution" -Ns/k/s/k/s > on_land.txt
landed=$(wc -l < on_land.txt)
echo "positions on land by GSHHG ($resolution): $landed, of $(awk '{print $3}' on_land.txt | sort -u | wc -l) vessels"
if [ "$landed" -gt 0 ]; then
  margin=0.2
  gmt coast -M -W -D"$resolution" -R"$(python3 -c "print(f'{$west-$margin}/{$east+$margin}/{$south-$margin}/{$north+$margin}')")" \
    > coast.txt
  cut -f1,2 on_land.txt | gmt mapproject -Lcoast.txt+uk > distances.txt
  awk '{ d = $3 * 1000; if (d <= 50) a++; else if (d <= 200) b++; else if (d <= 1000) c++; else e++ }
       END { printf "  metres from the coastline: <=50: %d, 50-200: %d, 200-1000: %d, >1000: %d\n", a, b, c, e }' distances.txt
  sort -g -k3 -r distances.txt | head -5 | awk '{ printf "  farthest: %s %s (%.0f m)\n", $1, $2, $3 * 1000 }'
fi
