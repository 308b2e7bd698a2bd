#!/usr/bin/env python3
"""Makes geo/gshhg-land.bin, the land and sea data that vesgen and the panel compile in.

Source: GSHHG 2.3.7 (Global Self-consistent, Hierarchical, High-resolution Geography,
Wessel and Smith, LGPL), as Debian's GMT reads it from its binned shoreline files
(packages gmt, gmt-gshhg-high, gmt-gshhg-low). `gmt coast -M -W` dumps every shoreline
piece of every GMT bin (pieces end on the bin's border) with its level (1 land,
2 lake, 3 island in a lake, 4 pond), and `gmt select` gives the level at a reference
point half a coordinate step inside each bin's south-west corner. Both are kept per bin,
the way GMT itself keeps them, so that a point test needs only the pieces of one bin and
the level at its reference point; a walk along each row checks that the two agree.

Two levels of detail: 'h' (high, 2-degree bins, used for the point test and close-up
charts) and 'l' (low, 10-degree bins, for overview charts).

GSHHG's high level leaves out small islands (tens of thousands of skerries, a few hundred
metres across, in archipelagos such as Stockholm's), so 'h' also carries the islets of the
full level: every closed land shoreline (levels 1 and 3) of 'f' whose points all lie in
water of 'h' by `gmt select`, or a point inside it does (an island that 'h' merged into a
neighbour's simplified shoreline). They are kept apart from the high shorelines (their level
byte has ISLET_FLAG set): a point is land when it is land at the high level or inside an
islet, so an islet that touches a high shoreline after rounding does no harm.

File layout (little-endian), read by geo/LandData.cpp:
  magic "KVLGSHG1", u32 dataset count, then per dataset:
    u8 resolution letter, u8 bin size in degrees, u16 reserved,
    u32 coordinate steps per bin side, u32 columns, u32 rows,
    u32 piece count, u32 point count, u32 payload bytes,
    u8 level at each bin's reference point, half a step north-east of its south-west
    corner (rows from the south, columns from 180 W),
    u32 payload offset of each bin, then the payload: per bin a varint piece count; per
    piece one level byte, a varint point count, the first point as two varints (x, y in
    steps from the bin's south-west corner) and each further point as zig-zag varint
    differences.

    python3 scripts/generate-land-data.py [--output geo/gshhg-land.bin]
        [--sample tests/geo/gmt-levels.txt]   (points with gmt select's levels, for the tests)

The GMT packages are installed only for this script (it passes them to install-deps.sh).
Running it again on the same GSHHG release writes the same file byte for byte.
"""

import argparse
import atexit
import collections
import functools
import math
import pathlib
import random
import shutil
import struct
import subprocess
import sys
import tempfile

GMT_PACKAGES = ["gmt", "gmt-gshhg-low", "gmt-gshhg-high", "gmt-gshhg-full"]
# Resolution letter, bin size in degrees (GMT's), coordinate steps per bin side, level
# whose islets it also carries.
DATASETS = [("h", 2, 16384, "f"), ("l", 10, 16384, None)]
MAGIC = b"KVLGSHG1"
ISLET_FLAG = 0x80


WORK_DIR = tempfile.mkdtemp(prefix="kvl-land-")  # gmt leaves its history file where it runs
atexit.register(shutil.rmtree, WORK_DIR, True)
SAMPLE_SEED = 20260601
SAMPLE_NEAR_COAST = 3000
SAMPLE_ANYWHERE = 500
SAMPLE_NEAR_ISLETS = 1000
SAMPLE_JITTER_DEG = 0.02


def run(args, stdin=None):
    return subprocess.run(args, check=True, capture_output=True, text=True, input=stdin, cwd=WORK_DIR).stdout


def gmt_levels(res, points):
    """GMT's level (0 ocean .. 4 pond) of each (lon, lat) point, by `gmt select`."""
    # In whole degrees' order: gmt select assembles a bin's polygons again for each change of bin.
    ordered = sorted(points, key=lambda p: (math.floor(p[1]), math.floor(p[0])))
    text = "".join(f"{lon:.7f} {lat:.7f}\n" for lon, lat in ordered)
    levels = {}
    for level in range(5):
        # gmt select keeps the points of one level per pass: k(eep) at its place, s(kip) elsewhere.
        keep = "/".join("k" if i == level else "s" for i in range(5))
        for line in run(["gmt", "select", f"-D{res}", f"-N{keep}"], text).splitlines():
            lon, lat = line.split()[:2]
            levels[(round(float(lon), 7), round(float(lat), 7))] = level
    return [levels.get((round(lon, 7), round(lat, 7))) for lon, lat in points]


def gmt_pieces(res):
    """Yields (gmt bin number, level, [(lon, lat), ...]) for every shoreline piece."""
    text = run(["gmt", "coast", "-M", "-W", f"-D{res}", "-Rd"])
    piece = None
    for line in text.splitlines():
        if line.startswith(">"):
            if piece and piece[2]:
                yield piece
            words = line.replace(",", " ").split()
            # "> Shore Bin # 675, Level 1"
            piece = (int(words[4]), int(words[6]), [])
        elif line.strip():
            lon, lat = line.split()[:2]
            piece[2].append((float(lon), float(lat)))
    if piece and piece[2]:
        yield piece


def interior_point(points):
    """A point inside a closed shoreline: the middle of the first stretch inside it along the
    parallel through the middle of its latitudes."""
    lats = [lat for _, lat in points]
    mid = (min(lats) + max(lats)) / 2
    crossings = sorted(a[0] + (mid - a[1]) * (b[0] - a[0]) / (b[1] - a[1])
                       for a, b in zip(points, points[1:]) if (a[1] > mid) != (b[1] > mid))
    return ((crossings[0] + crossings[1]) / 2, mid) if len(crossings) >= 2 else points[0]


@functools.cache
def islets(res, fine):
    """(level, [(lon, lat), ...]) of every closed land shoreline of the level `fine` that `res`
    leaves out: all its points, or a point inside it, lie in the water around it at the level
    `res`. The second kind are islands that `res` merged into a neighbour's simplified
    shoreline, which may run hundreds of metres inside them."""
    candidates = [(level, points) for _, level, points in gmt_pieces(fine)
                  if level % 2 == 1 and len(points) >= 4 and points[0] == points[-1]]
    found = []
    for level in (1, 3):
        chosen = [i for i, (piece_level, _) in enumerate(candidates) if piece_level == level]
        keep = "/".join("k" if i == level - 1 else "s" for i in range(5))
        text = "".join(f"{lon:.7f} {lat:.7f} {i}\n" for i in chosen for lon, lat in candidates[i][1])
        text += "".join("{:.7f} {:.7f} {}\n".format(*interior_point(candidates[i][1]), -1 - i) for i in chosen)
        in_water = collections.Counter(int(float(line.split()[2]))
                                       for line in run(["gmt", "select", f"-D{res}", f"-N{keep}"], text).splitlines())
        found += [candidates[i] for i in chosen
                  if in_water[i] == len(candidates[i][1]) or in_water[-1 - i] > 0]
    return found


def quantised_islet(points, size, steps):
    """(col, row, points in steps) of an islet wholly inside one bin, at least a step from
    its border (so that it holds no bin's reference point), or None; islets under a step
    across vanish."""
    col, row = int((points[0][0] + 180) // size), int((points[0][1] + 90) // size)
    west, south = col * size - 180, row * size - 90
    quantised = []
    for lon, lat in points:
        q = (round((lon - west) / size * steps), round((lat - south) / size * steps))
        if not (1 <= q[0] < steps and 1 <= q[1] < steps):
            return None
        if not quantised or quantised[-1] != q:
            quantised.append(q)
    if len(quantised) < 4 or len(set(quantised)) < 3 or quantised[0] != quantised[-1]:
        return None
    return col, row, quantised


def corner_levels(res, size, steps):
    """Level (0 ocean .. 4 pond) at the reference point of every bin, half a coordinate step
    north-east of its south-west corner (where no shoreline point can lie), keyed by the
    corner (lon, lat)."""
    half = 0.5 * size / steps
    corners = [(lon, lat) for lat in range(-90, 90, size) for lon in range(-180, 180, size)]
    levels = gmt_levels(res, [(lon + half, lat + half) for lon, lat in corners])
    if None in levels:
        raise RuntimeError("gmt select left reference points unclassified")
    nodes = dict(zip(corners, levels))
    return nodes


def varint(value, out):
    while value >= 0x80:
        out.append((value & 0x7F) | 0x80)
        value >>= 7
    out.append(value)


def zigzag(value):
    return value * 2 if value >= 0 else -value * 2 - 1


def quantise(value, origin, size, steps):
    q = round((value - origin) / size * steps)
    if q < -1 or q > steps + 1:
        raise ValueError(f"point {value} outside its bin starting at {origin}")
    return min(max(q, 0), steps)


def crossings_of_reference_line(pieces, low, high):
    """(x, level) of every edge crossing the line y = 0.5 with low <= x < high, in steps."""
    found = []
    for level, points in pieces:
        if level & ISLET_FLAG:
            continue  # closed, and clear of the reference line's ends: no change of level
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            if (y0 < 0.5) != (y1 < 0.5):
                x = x0 + (0.5 - y0) * (x1 - x0) / (y1 - y0)
                if low <= x < high:
                    found.append((x, level))
    return found


def border_walk_mismatches(bins, nodes, size, steps, columns, rows):
    """Counts bins whose reference level GMT gives differently from a walk eastwards from
    the reference point of the bin to their west: zero for consistent data."""
    mismatches = 0
    for row in range(rows):
        for col in range(columns):
            level = nodes[(col * size - 180, row * size - 90)]
            east = (col + 1) % columns
            events = crossings_of_reference_line(bins.get((col, row), []), 0.5, steps)
            events += [(x + steps, lvl) for x, lvl in crossings_of_reference_line(bins.get((east, row), []), 0, 0.5)]
            for _, piece_level in sorted(events):
                level = piece_level - 1 if level == piece_level else piece_level
            if level != nodes[(east * size - 180, row * size - 90)]:
                mismatches += 1
                print(f"  bin {col * size - 180},{row * size - 90}: walk gives {level} to the east", file=sys.stderr)
    return mismatches


def build_dataset(res, size, steps, fine):
    columns, rows = 360 // size, 180 // size
    gmt_columns = columns
    bins = {}
    piece_count = point_count = 0
    for number, level, points in gmt_pieces(res):
        gmt_row, gmt_col = divmod(number, gmt_columns)
        west = (gmt_col * size + 180) % 360 - 180
        south = 90 - (gmt_row + 1) * size
        col, row = (west + 180) // size, (south + 90) // size
        quantised = []
        for lon, lat in points:
            if lon < west - 1e-6:
                lon += 360
            elif lon > west + size + 1e-6:
                lon -= 360
            q = (quantise(lon, west, size, steps), quantise(lat, south, size, steps))
            if not quantised or quantised[-1] != q:
                quantised.append(q)
        if len(quantised) < 2:
            continue
        bins.setdefault((col, row), []).append((level, quantised))
        piece_count += 1
        point_count += len(quantised)

    islet_count = 0
    if fine:
        for level, points in islets(res, fine):
            placed = quantised_islet(points, size, steps)
            if placed:
                col, row, quantised = placed
                bins.setdefault((col, row), []).append((level | ISLET_FLAG, quantised))
                islet_count += 1
                piece_count += 1
                point_count += len(quantised)

    nodes = corner_levels(res, size, steps)
    mismatches = border_walk_mismatches(bins, nodes, size, steps, columns, rows)

    corner = bytearray()
    offsets = []
    payload = bytearray()
    for row in range(rows):
        for col in range(columns):
            corner.append(nodes[(col * size - 180, row * size - 90)])
            offsets.append(len(payload))
            pieces = bins.get((col, row), [])
            varint(len(pieces), payload)
            for level, points in pieces:
                payload.append(level)
                varint(len(points), payload)
                varint(points[0][0], payload)
                varint(points[0][1], payload)
                for (x0, y0), (x1, y1) in zip(points, points[1:]):
                    varint(zigzag(x1 - x0), payload)
                    varint(zigzag(y1 - y0), payload)
    header = struct.pack("<BBHIIIIII", ord(res), size, 0, steps, columns, rows, piece_count, point_count,
                         len(payload))
    blob = header + bytes(corner) + struct.pack(f"<{len(offsets)}I", *offsets) + bytes(payload)
    print(f"{res}: {piece_count} pieces ({islet_count} islets of {fine}), {point_count} points, {len(blob)} bytes",
          file=sys.stderr)
    if mismatches:
        raise RuntimeError(f"{mismatches} reference levels disagree with the shoreline pieces")
    return blob


def write_sample(path, islet_pieces):
    """Points near shorelines, anywhere and amid islets (the mean of an islet's points), with
    GMT's high and full levels at each: the reference the point test is checked against."""
    rng = random.Random(SAMPLE_SEED)
    shore = [p for _, _, points in gmt_pieces("h") for p in points]

    def jittered(lon, lat, jitter):
        return (max(-180.0, min(179.9999999, lon + rng.uniform(-jitter, jitter))),
                max(-89.9999999, min(89.9999999, lat + rng.uniform(-jitter, jitter))))

    points = [jittered(lon, lat, SAMPLE_JITTER_DEG) for lon, lat in rng.sample(shore, SAMPLE_NEAR_COAST)]
    points += [(rng.uniform(-180, 180), rng.uniform(-90, 90)) for _ in range(SAMPLE_ANYWHERE)]
    for _, outline in rng.sample(islet_pieces, SAMPLE_NEAR_ISLETS):
        corners = outline[:-1]
        points.append((sum(p[0] for p in corners) / len(corners), sum(p[1] for p in corners) / len(corners)))
    high = gmt_levels("h", points)
    full = gmt_levels("f", points)
    islets_from = len(points) - SAMPLE_NEAR_ISLETS
    with open(path, "w") as out:
        out.write("# lat lon high full: GMT's gmt select -Dh and -Df (GSHHG high and full levels) at points\n"
                  "# near shorelines and anywhere, then amid islets that the high level leaves out\n")
        for i, ((lon, lat), level, full_level) in enumerate(zip(points, high, full)):
            if i == islets_from:
                out.write("# amid islets\n")
            if level is not None and full_level is not None:
                out.write(f"{lat:.7f} {lon:.7f} {level} {full_level}\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=str(pathlib.Path(__file__).resolve().parent.parent / "geo" /
                                                "gshhg-land.bin"))
    parser.add_argument("--no-install", action="store_true", help="do not install the GMT packages")
    parser.add_argument("--sample", help="also write points with GMT's levels to this file (for the tests)")
    args = parser.parse_args()
    if not args.no_install:
        subprocess.run(["bash", str(pathlib.Path(__file__).resolve().parent / "install-deps.sh"), *GMT_PACKAGES],
                       check=True)
    blob = bytearray(MAGIC)
    blob += struct.pack("<I", len(DATASETS))
    for res, size, steps, fine in DATASETS:
        blob += build_dataset(res, size, steps, fine)
    pathlib.Path(args.output).write_bytes(bytes(blob))
    print(f"wrote {args.output}: {len(blob)} bytes", file=sys.stderr)
    if args.sample:
        write_sample(args.sample, islets("h", "f"))
        print(f"wrote {args.sample}", file=sys.stderr)


if __name__ == "__main__":
    main()
