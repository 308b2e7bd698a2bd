#!/usr/bin/env python3
"""Checks a scenario run from what vesgen sends, independently of vesgen's own code.

usage: check-encounters.py [--vesgen PROGRAM] [--time-factor X] [--minutes M]
                           [--record FILE | --keep FILE] SCENARIO.json [-- VESGEN OPTIONS...]
       check-encounters.py [...] --route FILE.gpx [--route-end END] [-- VESGEN OPTIONS...]

Runs `vesgen --scenario SCENARIO --nmea-own-ship --ignore-timings --time-factor X` for M
simulated minutes (by default the longest TCPA plus three minutes), or reads a recording
of such a run (--record). The step times come from the own ship's $GPRMC sentences; its
track (from !AIVDO, $GPRMC where it sends none) and every target's positions, speeds and
statuses from gpsd's gpsdecode. Distances
are taken in a local flat projection on the WGS-84 ellipsoid.

It prints and checks:
  - each encounter: the closest approach as sailed (CPA within 0.05 NM and TCPA within
    15 s of the file's), the relative bearing at the start against the kind, and the
    CPA/TCPA a plotter computes from the first reports' courses and speeds;
  - each route given by waypoints or a GPX file: every pass of a waypoint (loops and
    reversals included) within 50 m, at the time the leg speeds give (2 s per leg), and
    each leg's speed as sent against its length over that time (0.1 knot);
  - each event: the step that first shows it (set fields seen in the reports, a station
    that falls silent or sends again) within one step of its time.
With --route, the command-line vessel sails the GPX file (`vesgen --route`) as own ship,
and its waypoint passes are checked from its track.
Exit status 0 when every check holds, 1 when one fails, 2 when the run cannot be read.
"""

import argparse
import datetime
import json
import math
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

A = 6378137.0                   # WGS-84
F = 1 / 298.257223563
E2 = F * (2 - F)
NM = 1852.0
KNOT = NM / 3600.0
CPA_TOLERANCE_NM = 0.05
TCPA_TOLERANCE_S = 15.0
WAYPOINT_PASS_M = 50.0
SECONDS_PER_LEG = 2.0
LEG_SPEED_TOLERANCE_KN = 0.1   # speed over ground is sent in tenths of a knot
EVENT_SLACK_S = 0.5             # the step times read from the stream are this close to simulated time
MOTION_FIELDS = {"vessel-lat", "vessel-lon", "vessel-sog", "vessel-cog", "vessel-rot"}
POSITION_TYPES = "123BC"        # first payload character of messages 1, 2, 3, 18, 19

# Relative bearing of the target from the own ship at the start (degrees, clockwise from
# the bow) that each kind allows.
BEARINGS = {
    "head-on": lambda b: min(b, 360 - b) <= 5.0,
    "crossing-starboard": lambda b: 5.0 <= b <= 112.5,
    "crossing-port": lambda b: 247.5 <= b <= 355.0,
    "overtaking": lambda b: 112.5 <= b <= 247.5,
    "overtaken": lambda b: min(b, 360 - b) <= 67.5,
}


# ---------------------------------------------------------------- geometry

def flat(lat0, lon0, lat, lon):
    """East and north metres of (lat, lon) from (lat0, lon0), on the ellipsoid's radii at their middle."""
    mid = math.radians((lat0 + lat) / 2)
    w = math.sqrt(1 - E2 * math.sin(mid) ** 2)
    meridian = A * (1 - E2) / w ** 3
    normal = A / w
    dlon = (lon - lon0 + 540.0) % 360.0 - 180.0
    return math.radians(dlon) * normal * math.cos(mid), math.radians(lat - lat0) * meridian


def distance_m(a, b):
    x, y = flat(a[0], a[1], b[0], b[1])
    return math.hypot(x, y)


def bearing_deg(a, b):
    x, y = flat(a[0], a[1], b[0], b[1])
    return math.degrees(math.atan2(x, y)) % 360.0


def minimum(samples, window_s=5.0):
    """(time, value) of the smallest value: a parabola fitted by least squares to the squares
    of the values within `window_s` of the smallest sample (straight relative motion makes
    the squared distance a parabola in time, so a wide window evens out the rounding of
    the reported positions where the approach is slow)."""
    t_min, d_min = min(samples, key=lambda s: s[1])
    near = [(t - t_min, d * d) for t, d in samples if abs(t - t_min) <= window_s]
    if len(near) < 3:
        return t_min, d_min
    sums = [sum(x ** k for x, _ in near) for k in range(5)]
    rhs = [sum(y * x ** k for x, y in near) for k in range(3)]
    # Normal equations of y = c0 + c1 x + c2 x^2, solved by Cramer's rule.
    m = [[sums[0], sums[1], sums[2]], [sums[1], sums[2], sums[3]], [sums[2], sums[3], sums[4]]]

    def det(a):
        return (a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0])
                + a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]))

    whole = det(m)
    if whole == 0:
        return t_min, d_min
    c = [det([[rhs[r] if k == col else m[r][k] for k in range(3)] for r in range(3)]) / whole for col in range(3)]
    if c[2] <= 0:
        return t_min, d_min
    x = -c[1] / (2 * c[2])
    if abs(x) > window_s:
        return t_min, d_min
    return t_min + x, math.sqrt(max(0.0, c[0] + c[1] * x + c[2] * x * x))


# ---------------------------------------------------------------- the run

def record(args, path):
    scenario_minutes = args.minutes
    seconds = scenario_minutes * 60.0 / args.time_factor + 2.0
    what = ["--route", args.route, "--route-end", args.route_end] if args.route else ["--scenario", args.scenario]
    argv = [args.vesgen] + what + ["--nmea-own-ship", "--ignore-timings",
                                   "--time-factor", str(args.time_factor), "--output", path] + args.vesgen_options
    print(f"running {' '.join(argv)} for {seconds:.0f} s ({scenario_minutes:.1f} simulated minutes)")
    process = subprocess.Popen(argv, stderr=subprocess.PIPE, text=True)
    try:
        _, err = process.communicate(timeout=seconds)
    except subprocess.TimeoutExpired:
        process.terminate()
        _, err = process.communicate()
    if process.returncode != 0:
        sys.exit(f"vesgen ended with {process.returncode}: {err.strip()}")


def rmc_time(fields):
    hhmmss, ddmmyy = fields[1], fields[9]
    day = datetime.datetime.strptime(ddmmyy + hhmmss.split(".")[0], "%d%m%y%H%M%S")
    fraction = float("0." + hhmmss.split(".")[1]) if "." in hhmmss else 0.0
    return day.replace(tzinfo=datetime.timezone.utc).timestamp() + fraction


def rmc_degrees(value, hemisphere, width):
    degrees = int(value[:width]) + float(value[width:]) / 60.0
    return -degrees if hemisphere in "SW" else degrees


def read_run(path):
    """The steps (time, own position, speed, course) and the targets' reports by MMSI."""
    steps, lines = [], []
    with open(path, errors="replace") as stream:
        for line in stream:
            line = line.strip()
            if line.startswith("$GPRMC"):
                f = line.split("*")[0].split(",")
                steps.append((rmc_time(f), (rmc_degrees(f[3], f[4], 2), rmc_degrees(f[5], f[6], 3)),
                              float(f[7]), float(f[8])))
            elif line.startswith(("!AIVDM", "!AIVDO")) and steps:
                f = line.split(",")
                if len(f) > 5 and f[1] == "1" and f[5][:1] in POSITION_TYPES:
                    lines.append((len(steps) - 1, line))
    if not steps:
        sys.exit(f"{path}: no $GPRMC sentences: was the run made with --nmea-own-ship?")
    decoded = subprocess.run(["gpsdecode"], input="\n".join(l for _, l in lines) + "\n",
                             capture_output=True, text=True, check=True).stdout.splitlines()
    if len(decoded) != len(lines):
        sys.exit(f"{path}: gpsdecode decoded {len(decoded)} of {len(lines)} position reports")
    start = steps[0][0] - 1.0  # the first step is one simulated second after the start
    times = [s[0] - start for s in steps]
    own = [(t, s[1], s[2], s[3]) for t, s in zip(times, steps)]
    targets = {}
    for (step, line), text in zip(lines, decoded):
        m = json.loads(text)
        if line.startswith("!AIVDO"):
            # The own ship's position as gpsdecode reads it; $GPRMC gives the step's time.
            own[step] = (own[step][0], (m["lat"], m["lon"]), m.get("speed", own[step][2]), own[step][3])
            continue
        targets.setdefault(m["mmsi"], []).append(
            {"t": times[step], "step": step, "pos": (m["lat"], m["lon"]), "speed": m.get("speed"),
             "course": m.get("course"), "status": m.get("status")})
    return own, targets


# ---------------------------------------------------------------- checks

class Verdicts:
    def __init__(self):
        self.failed = 0

    def line(self, ok, text):
        self.failed += 0 if ok else 1
        print(("  ok    " if ok else "  FAIL  ") + text)


def check_encounter(name, ask, own, reports, own_course, verdicts):
    by_time = {r["step"]: r for r in reports}
    samples = [(t, distance_m(pos, by_time[k]["pos"]) / NM) for k, (t, pos, _, _) in enumerate(own) if k in by_time]
    if len(samples) < 3:
        verdicts.line(False, f"{name}: too few reports")
        return
    # The time from ten minutes either side (straight relative motion keeps the squared
    # range a parabola), the range from the seconds around it.
    tcpa_s = minimum(samples, 600.0)[0]
    cpa_nm = minimum(samples)[1]
    first = reports[0]
    own_first = own[first["step"]]
    relative = (bearing_deg(own_first[1], first["pos"]) - own_course) % 360.0
    range_nm = distance_m(own_first[1], first["pos"]) / NM
    # What a plotter shows at the start: straight lines from the reported courses and speeds.
    x, y = flat(own_first[1][0], own_first[1][1], first["pos"][0], first["pos"][1])
    vx = first["speed"] * KNOT * math.sin(math.radians(first["course"])) - own_first[2] * KNOT * math.sin(
        math.radians(own_first[3]))
    vy = first["speed"] * KNOT * math.cos(math.radians(first["course"])) - own_first[2] * KNOT * math.cos(
        math.radians(own_first[3]))
    v2 = vx * vx + vy * vy
    plot_t = -(x * vx + y * vy) / v2 if v2 > 0 else 0.0
    plot_cpa = math.hypot(x + vx * plot_t, y + vy * plot_t) / NM
    plot_tcpa = (plot_t + first["t"]) / 60.0
    kind = ask["kind"]
    print(f"  {name}: {kind}, start bearing {relative:05.1f} relative, range {range_nm:.2f} NM, "
          f"course {first['course']:05.1f}, {first['speed']:.1f} kn; plotter at start: CPA {plot_cpa:.2f} NM, "
          f"TCPA {plot_tcpa:.1f} min")
    verdicts.line(abs(cpa_nm - ask["cpa-nm"]) <= CPA_TOLERANCE_NM and abs(tcpa_s - ask["tcpa-min"] * 60) <= TCPA_TOLERANCE_S,
                  f"{name}: CPA {cpa_nm:.3f} NM at {tcpa_s / 60:.2f} min as sailed; asked {ask['cpa-nm']} NM at "
                  f"{ask['tcpa-min']} min (off by {abs(cpa_nm - ask['cpa-nm']):.3f} NM, "
                  f"{abs(tcpa_s - ask['tcpa-min'] * 60):.1f} s)")
    verdicts.line(BEARINGS[kind](relative), f"{name}: start bearing {relative:.1f} fits {kind}")
    if kind == "overtaken":
        back = (bearing_deg(first["pos"], own_first[1]) - first["course"]) % 360.0
        verdicts.line(112.5 <= back <= 247.5, f"{name}: the own ship is abaft its beam ({back:.1f} relative)")


def gpx_points(path, name):
    root = ElementTree.parse(path).getroot()
    uri = root.tag[:root.tag.index("}") + 1] if root.tag.startswith("{") else ""
    q = lambda tag: uri + tag  # noqa: E731
    lists = [(r, r.findall(q("rtept"))) for r in root.findall(q("rte"))]
    lists += [(t, [p for s in t.findall(q("trkseg")) for p in s.findall(q("trkpt"))]) for t in root.findall(q("trk"))]
    for owner, points in lists:
        label = owner.find(q("name"))
        if not name or (label is not None and label.text == name):
            out = []
            for p in points:
                stamp = p.find(q("time"))
                when = None
                if stamp is not None:
                    when = datetime.datetime.fromisoformat(stamp.text.replace("Z", "+00:00")).timestamp()
                point = {"lat": float(p.get("lat")), "lon": float(p.get("lon")), "t": when}
                # A logger at rest: points within a metre of the one before are one point.
                if out and owner.tag.endswith("trk") and distance_m((out[-1]["lat"], out[-1]["lon"]),
                                                                    (point["lat"], point["lon"])) < 1.0:
                    continue
                out.append(point)
            return out
    sys.exit(f"{path}: no route or track {name!r}")


def route_waypoints(route, folder):
    if "gpx" in route:
        return gpx_points(os.path.join(folder, route["gpx"]), route.get("name", ""))
    return [{"lat": w["lat"], "lon": w["lon"], "sog": w.get("sog"),
             "t": datetime.datetime.fromisoformat(w["time"].replace("Z", "+00:00")).timestamp() if "time" in w
             else None} for w in route["waypoints"]]


def expected_visits(points, end, fallback_knots, horizon_s):
    """(waypoint index, time, legs sailed) of every pass the route's leg speeds give."""
    speeds, previous = [], fallback_knots
    for i in range(len(points) - 1):
        a, b = points[i], points[i + 1]
        speed = previous
        if a.get("sog"):
            speed = a["sog"]
        elif a.get("t") is not None and b.get("t") is not None:
            speed = distance_m((a["lat"], a["lon"]), (b["lat"], b["lon"])) / (b["t"] - a["t"]) / KNOT
        speeds.append(speed)
        previous = speed
    legs = [(i, i + 1, speeds[i]) for i in range(len(points) - 1)]
    if end == "loop":
        if distance_m((points[-1]["lat"], points[-1]["lon"]), (points[0]["lat"], points[0]["lon"])) < 1.0:
            legs = legs[:-1] + [(legs[-1][0], 0, legs[-1][2])]
        else:
            legs.append((len(points) - 1, 0, points[-1].get("sog") or speeds[-1]))
    elif end == "reverse":
        legs += [(i + 1, i, speeds[i]) for i in reversed(range(len(points) - 1))]
    visits, t, count = [(0, 0.0, 0)], 0.0, 0
    while t <= horizon_s:
        for a, b, knots in legs:
            t += distance_m((points[a]["lat"], points[a]["lon"]), (points[b]["lat"], points[b]["lon"])) / (knots * KNOT)
            count += 1
            visits.append((b, t, count))
        if end == "stop":
            break
    # Each pass with the waypoints sailed from and to next (None at the end of a `stop` route).
    return [(index, when, legs, visits[k - 1][0], visits[k + 1][0] if k + 1 < len(visits) else None)
            for k, (index, when, legs) in enumerate(visits) if 0 < k and when <= horizon_s]


def pass_time(track, here, came_from, going_to):
    """When the vessel is abeam of a waypoint: where a turn's arc crosses the bisector of its
    two legs (the middle of the arc), or where it arrives when it turns back or stops there.
    Linear between reports: within a step the vessel sails nearly straight."""
    def unit(a, b):
        x, y = flat(a[0], a[1], b[0], b[1])
        n = math.hypot(x, y)
        return x / n, y / n

    u_in = unit(came_from, here)
    u_out = unit(here, going_to) if going_to is not None else None
    if u_out is not None and u_in[0] * u_out[0] + u_in[1] * u_out[1] > -0.98:
        n = math.hypot(u_in[0] + u_out[0], u_in[1] + u_out[1])
        u = ((u_in[0] + u_out[0]) / n, (u_in[1] + u_out[1]) / n)
        limit = 0.0
    else:
        u, limit = u_in, None  # it turns back or stops there
    along = []
    for r in track:
        x, y = flat(here[0], here[1], r["pos"][0], r["pos"][1])
        along.append((r["t"], x * u[0] + y * u[1]))
    if limit is None:
        # Arrival: on from the last report of the approach at the approach's speed.
        top = max(range(len(along)), key=lambda k: along[k][1])
        approach = [k for k in range(1, top) if along[k][1] < -0.5]
        if not approach:
            return None
        k = approach[-1]
        (t0, a0), (t1, a1) = along[k - 1], along[k]
        return t1 - a1 * (t1 - t0) / (a1 - a0) if a1 > a0 else None
    for (t0, a0), (t1, a1) in zip(along, along[1:]):
        if a0 < 0.0 <= a1 and t1 - t0 <= 2.0:
            return t0 + (t1 - t0) * (0.0 - a0) / (a1 - a0)
    return None


def check_route(name, station, folder, reports, horizon_s, verdicts):
    route = station["route"]
    points = route_waypoints(route, folder)
    visits = expected_visits(points, route.get("end", "stop"), station.get("vessel-sog", 0), horizon_s - 60)
    worst_m, worst_s, failed = 0.0, 0.0, []
    where = [(p["lat"], p["lon"]) for p in points]
    for index, when, legs, came_from, going_to in visits:
        near = [r for r in reports if abs(r["t"] - when) <= 120]
        if len(near) < 3:
            continue
        target = where[index]
        d = min(distance_m(r["pos"], target) for r in near)
        t = pass_time(near, target, where[came_from], where[going_to] if going_to is not None else None)
        if t is None:
            failed.append(f"waypoint {index} due at {when:.1f} s never passed")
            continue
        worst_m, worst_s = max(worst_m, d), max(worst_s, abs(t - when) / max(legs, 1))
        if d > WAYPOINT_PASS_M or abs(t - when) > SECONDS_PER_LEG * legs:
            failed.append(f"waypoint {index} due at {when:.1f} s passed {d:.1f} m off at {t:.1f} s")
    verdicts.line(not failed and len(visits) > 0,
                  f"{name}: {len(visits)} waypoint passes ({route.get('end', 'stop')}), within {worst_m:.1f} m, "
                  f"{worst_s:.2f} s per leg" + ("; " + "; ".join(failed[:3]) if failed else ""))
    # Each leg's speed as sent, from the reports of its middle third (clear of the turns),
    # against the leg's length over the time its speeds give.
    legs, since = [], 0.0
    for index, when, _, came_from, _ in visits:
        third = (when - since) / 3
        sent = sorted(r["speed"] for r in reports if r.get("speed") is not None and since + third <= r["t"] <= when - third)
        if sent and when > since:
            legs.append((distance_m(where[came_from], where[index]) / (when - since) / KNOT, sent[len(sent) // 2]))
        since = when
    if legs:
        worst = max(abs(a - b) for a, b in legs)
        verdicts.line(worst <= LEG_SPEED_TOLERANCE_KN,
                      f"{name}: leg speeds sent (asked) " + ", ".join(f"{b:.1f} ({a:.2f})" for a, b in legs[:8])
                      + (" ..." if len(legs) > 8 else "") + f" kn, off by at most {worst:.2f} kn")


def check_event(event, reports, horizon_s, verdicts):
    at = event["at-s"]
    label = f"event at {at} s for {event['mmsi']}"
    if at <= 0:
        return
    if at > horizon_s - 2:
        print(f"  --    {label}: after the end of the run ({horizon_s:.0f} s)")
        return
    after = [r for r in reports if r["t"] >= at - EVENT_SLACK_S]
    if event.get("send") is False:
        last = max((r["t"] for r in reports if r["t"] < at + 2), default=None)
        later = [r for r in reports if r["t"] > at + 1 + EVENT_SLACK_S and r["t"] < at + 30]
        verdicts.line(last is not None and at - 1 - EVENT_SLACK_S <= last <= at + EVENT_SLACK_S and not later,
                      f"{label}: last report at {last:.1f} s, then silent")
    if event.get("send") is True:
        first = after[0]["t"] if after else None
        verdicts.line(first is not None and first - at <= 1 + EVENT_SLACK_S, f"{label}: sends again at {first:.1f} s")
    fields = {"vessel-sog": ("speed", 0.05), "vessel-cog": ("course", 0.05), "vessel-status": ("status", 0)}
    for field, value in event.get("set", {}).items():
        if field not in fields:
            continue
        key, tolerance = fields[field]
        if all(r[key] is None for r in reports):
            print(f"  --    {label}: {field} is not carried by its position reports")
            continue
        seen = next((r["t"] for r in after if r[key] is not None and abs(r[key] - value) <= tolerance), None)
        verdicts.line(seen is not None and -EVENT_SLACK_S <= seen - at <= 1 + EVENT_SLACK_S,
                      f"{label}: {field} {value} first reported at " + (f"{seen:.1f} s" if seen is not None else "no time"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("scenario", nargs="?")
    parser.add_argument("--route", help="a GPX file for vesgen --route instead of a scenario")
    parser.add_argument("--route-end", default="stop")
    parser.add_argument("--vesgen", default="build/bin/vesgen")
    parser.add_argument("--time-factor", type=float, default=60.0)
    parser.add_argument("--minutes", type=float)
    parser.add_argument("--record", help="read this recording instead of running vesgen")
    parser.add_argument("--keep", help="keep the recording in this file")
    argv = sys.argv[1:]
    split = argv.index("--") if "--" in argv else len(argv)
    args = parser.parse_args(argv[:split])
    args.vesgen_options = argv[split + 1:]  # after --: more options for vesgen
    if (args.scenario is None) == (args.route is None):
        parser.error("give a scenario or --route")
    if args.route:
        # The command-line vessel's route, as a scenario's own ship.
        sog = next((float(v) for o, v in zip(args.vesgen_options, args.vesgen_options[1:]) if o == "--vessel-sog"), 0)
        scenario = {"own-ship": {"route": {"gpx": os.path.abspath(args.route), "end": args.route_end},
                                 "vessel-sog": sog}}
    else:
        with open(args.scenario) as f:
            scenario = json.load(f)
    folder = os.path.dirname(os.path.abspath(args.scenario or args.route))
    targets = scenario.get("targets", [])
    if args.minutes is None:
        args.minutes = max([t["encounter"]["tcpa-min"] for t in targets if "encounter" in t] + [10]) + 3
    with tempfile.TemporaryDirectory() as work:
        path = args.record or args.keep or os.path.join(work, "run.nmea")
        if not args.record:
            record(args, path)
        own, reports = read_run(path)
    print(f"{len(own)} steps, {own[-1][0] / 60:.1f} simulated minutes, {len(reports)} targets reporting")
    own_ship = scenario["own-ship"]
    verdicts = Verdicts()
    horizon = own[-1][0]
    if "route" in own_ship:
        track = [{"t": t, "step": k, "pos": pos, "speed": sog} for k, (t, pos, sog, _) in enumerate(own)]
        check_route("own ship", own_ship, folder, track, horizon, verdicts)
    for i, target in enumerate(targets):
        mmsi = target.get("vessel-mmsi")
        name = f"targets[{i}] {target.get('vessel-name', mmsi)}"
        if mmsi not in reports:
            if "encounter" in target or "route" in target:
                verdicts.line(False, f"{name}: no position reports")
            continue
        if "encounter" in target:
            check_encounter(name, target["encounter"], own, reports[mmsi], own_ship.get("vessel-cog", 0.0), verdicts)
        elif "route" in target:
            # An event that sets its motion takes it off its route.
            left = [e["at-s"] for e in scenario.get("events", [])
                    if e["mmsi"] == mmsi and MOTION_FIELDS & set(e.get("set", {}))]
            check_route(name, target, folder, reports[mmsi], min([horizon] + left), verdicts)
    for event in scenario.get("events", []):
        check_event(event, reports.get(event["mmsi"], []), horizon, verdicts)
    print("all checks hold" if verdicts.failed == 0 else f"{verdicts.failed} checks failed")
    return 0 if verdicts.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
