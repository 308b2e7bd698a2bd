#!/usr/bin/env python3
"""Runs vesgen for a while, stamps every sentence as it arrives, decodes each message with
gpsd's gpsdecode and prints, per station and message type, how often it came.

usage: station-intervals.py SECONDS VESGEN [VESGEN OPTIONS...]

vesgen writes to its standard output (leave --output out). Transmissions of one station
and type that arrive within a second of each other count as one burst."""
import json
import signal
import statistics
import subprocess
import sys
import time

KINDS = [("970", "SART"), ("972", "MOB"), ("974", "EPIRB"), ("111", "SAR aircraft"), ("99", "AtoN"), ("00", "base")]


def kind_of(mmsi):
    text = "%09d" % mmsi
    return next((name for prefix, name in KINDS if text.startswith(prefix)), "vessel")


def read_stream(seconds, argv):
    process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=sys.stderr, text=True, bufsize=1)
    start = time.monotonic()
    groups, pending = [], []
    signal.signal(signal.SIGALRM, lambda *_: process.terminate())
    signal.alarm(seconds)
    for line in process.stdout:
        fields = line.split(",")
        if len(fields) < 7 or not fields[0].endswith(("VDM", "VDO")):
            continue
        pending.append(line)
        if fields[1] == fields[2]:  # the last sentence of a message
            groups.append((time.monotonic() - start, fields[4], "".join(pending)))
            pending = []
    process.wait()
    return groups


def decode(groups):
    records = []
    for arrived, channel, text in groups:
        out = subprocess.run(["gpsdecode"], input=text, capture_output=True, text=True).stdout
        for line in out.splitlines():
            if line.startswith("{"):
                records.append((arrived, channel, json.loads(line)))
    return records


def main():
    seconds, argv = int(sys.argv[1]), sys.argv[2:]
    records = decode(read_stream(seconds, argv))
    series = {}
    for arrived, channel, r in records:
        series.setdefault((r["mmsi"], r["type"]), []).append((arrived, channel, r))
    print("%-9s %-12s %4s %5s %6s %9s %9s %9s  %s" % ("mmsi", "kind", "type", "count", "burst",
                                                     "median s", "min s", "max s", "channels / status / text"))
    for (mmsi, kind), items in sorted(series.items()):
        bursts = []
        for arrived, channel, r in items:
            if bursts and arrived - bursts[-1][-1][0] < 1.0:
                bursts[-1].append((arrived, channel, r))
            else:
                bursts.append([(arrived, channel, r)])
        gaps = [b[0][0] - a[0][0] for a, b in zip(bursts, bursts[1:])]
        sizes = sorted({len(b) for b in bursts})
        channels = "".join(channel for _, channel, _ in bursts[0])
        statuses = sorted({str(r.get("status")) for _, _, r in items if "status" in r})
        texts = sorted({r["text"] for _, _, r in items if "text" in r})
        detail = " ".join([channels] + (["status " + ",".join(statuses)] if statuses else []) + texts)
        if gaps:
            print("%9d %-12s %4d %5d %6s %9.1f %9.1f %9.1f  %s" % (mmsi, kind_of(mmsi), kind, len(items),
                  "/".join(map(str, sizes)), statistics.median(gaps), min(gaps), max(gaps), detail))
        else:
            print("%9d %-12s %4d %5d %6s %9s %9s %9s  %s" % (mmsi, kind_of(mmsi), kind, len(items),
                  "/".join(map(str, sizes)), "-", "-", "-", detail))


if __name__ == "__main__":
    main()
