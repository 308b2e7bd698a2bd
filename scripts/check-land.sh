#!/usr/bin/env bash
# Checks that random fleets stay at sea, independently of vesgen's own land data: a seeded
# random fleet sails for simulated time (build/tests/simulate_fleet steps the fleet engine
# through simulated seconds as fast as it can), gpsd's gpsdecode decodes every position
# report, and GMT's `gmt select` looks each distinct position up in GSHHG at full
# resolution. Positions on land are listed with their distance to the full-resolution
# coastline.
#
#   bash scripts/check-land.sh [AREA] [VESSELS] [SECONDS] [SEED] [RESOLUTION]
#   bash scripts/check-land.sh 51.5,3.0,52.5,4.8 10000 3600 1 f
#   bash scripts/check-land.sh 59.0,17.5,60.0,19.5 10000 3600 1 f
#   SENTENCES=run.nmea bash scripts/check-land.sh AREA   # checks a recorded run instead
#
# gmt select assembles the shoreline polygons of a bin each time the next point lies in
# another bin, so the positions go to it sorted by whole degrees, in two halves, one per
# core. Builds simulate_fleet (in build/) and installs the GMT packages it needs.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
area="${1:-51.5,3.0,52.5,4.8}"
vessels="${2:-10000}"
seconds="${3:-3600}"
seed="${4:-1}"
resolution="${5:-f}"
build="${BUILD_DIR:-$root/build}"

bash "$here/install-deps.sh" gmt gmt-gshhg-low gmt-gshhg-high gmt-gshhg-full gpsd-clients >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"  # gmt writes its history file where it runs

if [ -n "${SENTENCES:-}" ]; then
  sentences="$SENTENCES"
else
  [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DKVL_BUILD_PANEL=OFF >/dev/null
  cmake --build "$build" --target simulate_fleet -j2 >/dev/null  # never a stale driver
  start=$SECONDS
  "$build/tests/simulate_fleet" "$area" "$vessels" "$seconds" "$seed" > sentences.nmea
  echo "simulated $vessels vessels for $seconds s in $((SECONDS - start)) s"
  sentences=sentences.nmea
fi

# Each distinct position once, sorted by whole degrees; the region: the positions' degrees.
gpsdecode < "$sentences" | python3 -c '
import json, math, sys
seen = {}
vessels = set()
reports = 0
for line in sys.stdin:
    m = json.loads(line)
    if m.get("type") not in (1, 18, 19) or m.get("lat", 91) > 90:
        continue
    reports += 1
    vessels.add(m["mmsi"])
    point = (round(m["lon"], 6), round(m["lat"], 6))
    if point not in seen:
        seen[point] = m["mmsi"]
print(f"{reports} position reports of {len(vessels)} vessels, {len(seen)} distinct positions", file=sys.stderr)
if not seen:
    sys.exit("no positions decoded")
cell = lambda p: (math.floor(p[1]), math.floor(p[0]), p[1], p[0])
with open("positions.txt", "w") as out:
    for point in sorted(seen, key=cell):
        out.write(f"{point[0]}\t{point[1]}\t{seen[point]}\n")
lons = [p[0] for p in seen]
lats = [p[1] for p in seen]
with open("region.txt", "w") as out:
    out.write(f"{math.floor(min(lons))}/{math.ceil(max(lons)) + 1}/{max(-90, math.floor(min(lats)))}/"
              f"{min(90, math.ceil(max(lats)) + 1)}\n")
'
region="$(cat region.txt)"

# Land (level 1) and islands in lakes (level 3); ocean, lakes and ponds are water.
start=$SECONDS
split -n l/2 positions.txt part.
for part in part.aa part.ab; do
  mkdir "$part.d"
  (cd "$part.d" && gmt select "../$part" -R"$region" -D"$resolution" -Ns/k/s/k/s > ../"$part.land") &
done
wait
cat part.aa.land part.ab.land > on_land.txt
landed=$(wc -l < on_land.txt)
echo "positions on land by GSHHG ($resolution): $landed, of $(cut -f3 on_land.txt | sort -u | wc -l) vessels" \
     "(looked up in $((SECONDS - start)) s)"
if [ "$landed" -gt 0 ]; then
  # Distances to the coastline near each position: a tenth of a degree at a time, so that
  # each look-up has only a few shorelines to measure.
  python3 - "$resolution" <<'PY' > distances.txt
import collections, math, subprocess, sys
resolution = sys.argv[1]
margin = 0.03  # degrees: about 2 km of latitude
cells = collections.defaultdict(list)
for line in open("on_land.txt"):
    lon, lat = map(float, line.split()[:2])
    cells[(math.floor(lat * 10), math.floor(lon * 10))].append((lon, lat))
for (row, column), points in sorted(cells.items()):
    region = f"{column / 10 - margin}/{(column + 1) / 10 + margin}/{row / 10 - margin}/{(row + 1) / 10 + margin}"
    coast = subprocess.run(["gmt", "coast", "-M", "-W", f"-D{resolution}", f"-R{region}"],
                           capture_output=True, text=True, check=True).stdout
    if not any(line and not line.startswith(">") for line in coast.splitlines()):
        for lon, lat in points:
            print(lon, lat, "inf")  # no coastline within the margin
        continue
    with open("coast.txt", "w") as out:
        out.write(coast)
    text = "".join(f"{lon} {lat}\n" for lon, lat in points)
    print(subprocess.run(["gmt", "mapproject", "-Lcoast.txt+uk"], input=text, capture_output=True, text=True,
                         check=True).stdout, end="")
PY
  awk '{ d = $3 * 1000; if (d <= 50) a++; else if (d <= 200) b++; else if (d <= 1000) c++; else e++ }
       END { printf "  metres from the coastline: <=50: %d, 50-200: %d, 200-1000: %d, >1000: %d\n", a, b, c, e }' distances.txt
  sort -g -k3 -r distances.txt | head -5 |
    awk '{ if ($3 == "inf") printf "  farthest: %s %s (over 2 km)\n", $1, $2; else printf "  farthest: %s %s (%.0f m)\n", $1, $2, $3 * 1000 }'
fi
