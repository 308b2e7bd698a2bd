#!/usr/bin/env bash
# The panel under a real X server (Xvfb), checked from outside:
#  1. the dialog runs a seeded random fleet with a SART from a fleet file (panel_check fills it in
#     as a person would); a screenshot of the whole screen; a click on the SART and on a vessel
#     must show their MMSIs; the chart's station count must equal the distinct MMSIs gpsdecode
#     finds in the run's file output;
#  2. SIGKILL to the panel leaves no vesgen of its run within 2 s (that run's file is then read);
#  3. vespanel itself, its form typed into with xdotool and run, then its X server killed: no
#     vesgen of that run within 2 s; the same with SIGKILL to vespanel.
# Prints one line per check, "ok ..." or "FAILED ...", and exits with 1 when any failed.
#
#   bash scripts/check-panel.sh [FOLDER]     (FOLDER: where the screenshots, logs and runs go,
#                                             panel-check/ by default; BIN=build/bin, COUNT=1000,
#                                             SEED=7, SCENARIO=file for the scenario control)
set -uo pipefail

BIN=$(cd "${BIN:-build/bin}" && pwd)
COUNT=${COUNT:-1000}
SEED=${SEED:-7}
OUT=${1:-panel-check}
mkdir -p "$OUT" && OUT=$(cd "$OUT" && pwd)
export TMPDIR=${TMPDIR:-/tmp}
failed=0
ok() { echo "ok     $*"; }
bad() { echo "FAILED $*"; failed=1; }

# Xvfb writes its screen to $OUT/Xvfb_screen0 (XWD); this turns it into a PNG without ImageMagick.
screenshot() {
    python3 - "$OUT/Xvfb_screen0" "$1" <<'EOF'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
size, width, height, order, bpp, stride, ncolors = h[0], h[4], h[5], h[7], h[11], h[12], h[19]
pixels = data[size + 12 * ncolors:]
assert bpp == 32, "expected a 32-bit screen"
rows = bytearray()
for y in range(height):
    line = pixels[y * stride:y * stride + width * 4]
    rgb = bytearray(width * 3)
    if order == 0:   # LSB first: B G R x
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
    else:
        rgb[0::3], rgb[1::3], rgb[2::3] = line[1::4], line[2::4], line[3::4]
    rows += b"\0" + rgb
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
open(sys.argv[2], "wb").write(png + chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b""))
EOF
}

start_x() {
    rm -f "$OUT/display"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1400x900x24 -fbdir "$OUT" 3>"$OUT/display" 2>"$OUT/xvfb.err" &
    XPID=$!
    for _ in $(seq 100); do [ -s "$OUT/display" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$OUT/display")"
}

# Waits up to $2 s for a line matching $1 in the panel's log; prints it.
await() {
    for _ in $(seq $(($2 * 10))); do
        grep -m1 -E "$1" "$OUT/panel.log" && return 0
        sleep 0.1
    done
    return 1
}

# Whether the vesgen writing to $1 is gone within 2 s (pgrep by its output file, so that other
# users' vesgen runs do not count).
gone_within_2s() {
    for _ in $(seq 20); do
        pgrep -f -- "vesgen.*$1" >/dev/null || return 0
        sleep 0.1
    done
    return 1
}

distinct_mmsis() { gpsdecode <"$1" | grep -o '"mmsi":[0-9]*' | sort -u | wc -l; }

echo "sart.csv: one AIS-SART beside the fleet"
printf 'station-kind,vessel-mmsi,vessel-name,vessel-lat,vessel-lon,vessel-sog\nsart,970012345,,51.93,3.62,0.5\n' >"$OUT/sart.csv"

# --- 1 and 2: the dialog with a fleet, screenshot, clicks, count, SIGKILL
start_x
rm -f "$OUT/run1.nmea"
"$BIN/panel_check" "$OUT/run1.nmea" "$COUNT" "$SEED" "$OUT/sart.csv" ${SCENARIO:+"$SCENARIO"} >"$OUT/panel.log" 2>"$OUT/panel.err" &
PANEL=$!
if ! await '^target mmsi=970' 90 >/dev/null; then
    bad "the chart did not settle on a SART within 90 s (see $OUT/panel.log, panel.err)"
fi
screenshot "$OUT/screen.png" && ok "screenshot $OUT/screen.png"
read -r sartX sartY < <(sed -n 's/^target mmsi=970[0-9]* x=\([0-9]*\) y=\([0-9]*\)/\1 \2/p' "$OUT/panel.log" | head -n1)
read -r vesselMmsi vesselX vesselY < <(grep '^target mmsi=' "$OUT/panel.log" | grep -v 'mmsi=970' | head -n1 |
    sed 's/target mmsi=\([0-9]*\) x=\([0-9]*\) y=\([0-9]*\)/\1 \2 \3/')
for pick in "970012345 $sartX $sartY" "$vesselMmsi $vesselX $vesselY"; do
    read -r mmsi x y <<<"$pick"
    xdotool mousemove "$x" "$y" click 1
    if await "^details MMSI: $mmsi\$" 5 >/dev/null; then ok "a click at $x,$y shows MMSI: $mmsi"
    else bad "a click at $x,$y did not show MMSI $mmsi: $(grep '^details' "$OUT/panel.log" | tail -n1)"; fi
done
sleep 0.5
screenshot "$OUT/screen-clicked.png" && ok "screenshot after the clicks $OUT/screen-clicked.png"
count=$(grep '^stations=' "$OUT/panel.log" | tail -n1 | cut -d= -f2)
kill -KILL "$PANEL"
if gone_within_2s "$OUT/run1.nmea"; then ok "SIGKILL to the panel: no vesgen of its run after 2 s"
else bad "SIGKILL to the panel: vesgen $(pgrep -f -- "vesgen.*$OUT/run1.nmea") still runs"; fi
wait "$PANEL" 2>/dev/null
decoded=$(distinct_mmsis "$OUT/run1.nmea")
if [ "$count" = "$decoded" ]; then ok "the chart counted $count stations, gpsdecode finds $decoded MMSIs in run1.nmea"
else bad "the chart counted $count stations, gpsdecode finds $decoded MMSIs in run1.nmea"; fi
kill "$XPID"; wait "$XPID" 2>/dev/null

# --- 3: vespanel itself, typed into; its X server killed, then SIGKILL
for ending in "X server killed" "SIGKILL to vespanel"; do
    start_x
    file="$OUT/run-vespanel-${ending// /-}.nmea"
    rm -f "$file"
    (cd "$OUT" && exec "$BIN/vespanel" >"$OUT/vespanel.log" 2>&1) &
    VESPANEL=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^KVL AIS Emulator$' | head -n1)
    at() { grep "^control $1 " "$OUT/panel.log" | sed 's/.* x=\([0-9]*\) y=\([0-9]*\)/\1 \2/'; }
    type_into() {
        xdotool mousemove --window "$window" $(at "$1") click 1
        xdotool key --window "$window" ctrl+a BackSpace
        xdotool type --window "$window" "$2"
    }
    type_into mmsi 244000202   # Random Ship, done at start, leaves it empty
    xdotool mousemove --window "$window" $(at file-radio) click 1
    type_into file-name "$file"
    type_into fleet-count "$COUNT"
    type_into fleet-seed "$SEED"
    xdotool mousemove --window "$window" $(at run) click 1
    for _ in $(seq 100); do pgrep -f -- "vesgen.*$file" >/dev/null && break; sleep 0.1; done
    if ! pgrep -f -- "vesgen.*$file" >/dev/null; then
        bad "$ending: vespanel did not start vesgen (see $OUT/vespanel.log)"
    else
        pgrep -a -f -- "vesgen.*$file" >"$file.command"
        ok "vespanel runs vesgen (its command line in $file.command)"
        sleep 2
        if [ "$ending" = "X server killed" ]; then kill -KILL "$XPID"; else kill -KILL "$VESPANEL"; fi
        if gone_within_2s "$file"; then ok "$ending: no vesgen of its run after 2 s"
        else bad "$ending: vesgen $(pgrep -f -- "vesgen.*$file") still runs"; fi
    fi
    kill -KILL "$VESPANEL" 2>/dev/null; wait "$VESPANEL" 2>/dev/null
    kill "$XPID" 2>/dev/null; wait "$XPID" 2>/dev/null
done
exit "$failed"
