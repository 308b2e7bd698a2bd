#!/usr/bin/env python3
"""Runs vesgen with a seeded random fleet to one kind of output, reads the output the way a
fast consumer does, decodes it with gpsd's gpsdecode and checks that every vessel arrived
as often as the AIS reporting rules require, in whole sentences.

    check_delivery.py --vesgen build/bin/vesgen --vessels 10000 --output tcp --seconds 20 --ignore-timings
    check_delivery.py --vesgen build/bin/vesgen --vessels 1000 --output udp --seconds 190

Outputs: file (a regular file), pipe (vesgen's standard output, read in 1 MiB pieces),
pty (a pseudo-terminal in raw mode, drained from its master), tcp (a client of TCP*0 at
full speed), udp (a receiver with the system's default socket buffer; --udp-drain-ms makes
it drain only every so many milliseconds, as a busy event loop does).

Prints one summary; exit status 0 when every vessel is complete and no line is cut, 1 when
sentences were lost (the summary says whether vesgen told it), 2 on a usage or run fault.
Each run gets its own TMPDIR, so several checks may run at once.
"""

import argparse
import collections
import json
import math
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import tty

CHUNK = 1 << 20
SENTENCE = re.compile(rb"^!AIVD[MO],[12],[12],\d?,[AB],[0-9:;<=>?@A-W`a-w]*,[0-5]\*[0-9A-Fa-f]{2}$")
STATIC_INTERVAL_S = 360.0


def class_a_interval_s(status, speed_tenths):
    """Message 1 interval of a vessel that does not turn (random fleets never turn)."""
    knots = speed_tenths / 10.0
    if status in (1, 5):
        return 180.0 if knots <= 3.0 else 10.0
    if knots <= 14.0:
        return 10.0
    return 6.0 if knots <= 23.0 else 2.0


def class_b_interval_s(speed_tenths):
    """Message 18 interval: due once the interval is exceeded, so one step (second) more."""
    knots = speed_tenths / 10.0
    for bound, interval in ((2.0, 180.0), (14.0, 30.0), (23.0, 15.0)):
        if knots < bound:
            return interval + 1
    return 5.0 + 1


class Sink:
    """Collects what a reader thread receives into a file."""

    def __init__(self, path):
        self.path = path
        self.file = open(path, "wb")
        self.bytes = 0
        self.datagrams = 0
        self.done = threading.Event()

        self.arrivals = []  # (monotonic time, bytes so far)
        self.rss_kb = []    # vesgen's resident memory, once a second
        self.ending = None  # how a stream ended, when it did
        self.hurry = threading.Event()  # a slow reader takes the rest at full speed

    def add(self, data):
        self.file.write(data)
        self.bytes += len(data)
        self.arrivals.append((time.monotonic(), self.bytes))

    def close(self):
        self.file.close()


def read_stream(fd_read, sink, stop):
    try:
        while not stop.is_set():
            try:
                data = fd_read()
            except (BlockingIOError, InterruptedError):
                continue
            except OSError as error:
                sink.ending = "an error (%s)" % error.strerror
                break
            if not data:
                sink.ending = "a clean end"
                break
            sink.add(data)
    finally:
        sink.done.set()


def read_udp(sock, sink, stop, drain_ms):
    sock.settimeout(0.2)
    while not stop.is_set():
        if drain_ms:
            time.sleep(drain_ms / 1000.0)
            sock.setblocking(False)
            try:
                while True:
                    data = sock.recv(65536)
                    sink.add(data)
                    sink.datagrams += 1
            except BlockingIOError:
                pass
            sock.settimeout(0.2)
            continue
        try:
            data = sock.recv(65536)
        except socket.timeout:
            continue
        sink.add(data)
        sink.datagrams += 1
    sink.done.set()


def watch_file(path, sink, stop):
    """Notes when a file grows, for the spacing of steps written to a regular file."""
    last = 0
    while not stop.is_set():
        try:
            size = os.stat(path).st_size
        except FileNotFoundError:
            size = 0
        if size != last:
            sink.arrivals.append((time.monotonic(), size))
            last = size
        time.sleep(0.005)


def step_spacing(arrivals, gap_s=0.25):
    """Starts of the bursts of arrivals (one per step) and the spacing between them."""
    starts = []
    previous = None
    for moment, _ in arrivals:
        if previous is None or moment - previous > gap_s:
            starts.append(moment)
        previous = moment
    spacing = [b - a for a, b in zip(starts, starts[1:])]
    return starts, spacing


def run(args):
    work = tempfile.mkdtemp(prefix="check-delivery-")
    env = dict(os.environ, TMPDIR=work)
    raw = os.path.join(work, "stream.txt")
    command = [args.vesgen, "--fleet-random", str(args.vessels), "--fleet-seed", str(args.seed),
               "--fleet-area", args.area]
    if args.ignore_timings:
        command.append("--ignore-timings")
    command += args.extra

    sink = Sink(raw)
    stop = threading.Event()
    stdout = subprocess.DEVNULL
    threads = []
    keep = []  # descriptors that must stay open during the run
    if args.output == "file":
        sink.close()
        command += ["--output", raw]
        threads.append(threading.Thread(target=watch_file, args=(raw, sink, stop)))
    elif args.output == "pipe":
        command += ["--output", "CON"]
        stdout = subprocess.PIPE
    elif args.output == "pty":
        master, slave = os.openpty()
        tty.setraw(slave)
        tty.setraw(master)
        keep += [master, slave]
        command += ["--output", os.ttyname(slave)]
        threads.append(threading.Thread(target=read_stream, args=(lambda: os.read(master, CHUNK), sink, stop)))
    elif args.output == "tcp":
        command += ["--output", "TCP*0"]
    elif args.output == "udp":
        receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        receiver.bind(("127.0.0.1", 0))
        keep.append(receiver)
        command += ["--output", "UDP*127.0.0.1:%d" % receiver.getsockname()[1]]
        threads.append(threading.Thread(target=read_udp, args=(receiver, sink, stop, args.udp_drain_ms)))

    started = time.monotonic()
    vesgen = subprocess.Popen(command, stdout=stdout, stderr=subprocess.PIPE, env=env)
    err_lines = []

    def read_errors():
        for line in vesgen.stderr:
            err_lines.append(line.decode(errors="replace").rstrip("\n"))

    err_thread = threading.Thread(target=read_errors)
    err_thread.start()
    if args.output == "pipe":
        pipe = vesgen.stdout
        threads.append(threading.Thread(target=read_stream, args=(lambda: pipe.read1(CHUNK), sink, stop)))
    if args.output == "tcp":
        port = None
        while port is None and time.monotonic() - started < 30 and vesgen.poll() is None:
            for line in list(err_lines):
                found = re.search(r"listening on port (\d+)", line)
                if found:
                    port = int(found.group(1))
            time.sleep(0.01)
        if port is None:
            vesgen.kill()
            print("vesgen did not say its port: %s" % err_lines, file=sys.stderr)
            return 2
        client = socket.create_connection(("127.0.0.1", port))
        keep.append(client)
        receive = lambda: client.recv(CHUNK)
        if args.tcp_read_rate:
            # A slow consumer: a small piece at a time, at the given bytes per second.
            piece = max(1, int(args.tcp_read_rate / 10))

            def receive():
                if sink.hurry.is_set():
                    return client.recv(CHUNK)
                time.sleep(0.1)
                return client.recv(piece)
        threads.append(threading.Thread(target=read_stream, args=(receive, sink, stop)))
    for thread in threads:
        thread.start()

    deadline = started + args.seconds
    next_sample = time.monotonic()
    while time.monotonic() < deadline and vesgen.poll() is None:
        if time.monotonic() >= next_sample:
            next_sample += 1
            try:
                with open("/proc/%d/status" % vesgen.pid) as status:
                    sink.rss_kb += [int(l.split()[1]) for l in status if l.startswith("VmRSS:")]
            except OSError:
                pass
        time.sleep(0.1)
    # Stopped between steps: vesgen ends at once on SIGTERM, and a stop in the middle of
    # a step's writing (or of a paced UDP step) would cut it short.
    quiet_until = time.monotonic() + 3
    while time.monotonic() < quiet_until and (not sink.arrivals or time.monotonic() - sink.arrivals[-1][0] < 0.1):
        time.sleep(0.01)
    ran_s = time.monotonic() - started
    if vesgen.poll() is None:
        # SIGTERM: a shell's background job ignores SIGINT, and so would vesgen.
        vesgen.send_signal(signal.SIGTERM)
    try:
        vesgen.wait(timeout=30)
    except subprocess.TimeoutExpired:
        vesgen.kill()
        vesgen.wait()
    # What was on its way is read before the readers stop.
    sink.hurry.set()
    if args.output in ("pipe", "tcp"):
        sink.done.wait(10)
    else:
        # A terminal or datagrams have no end of stream: until nothing came for a second.
        while sink.arrivals and time.monotonic() - sink.arrivals[-1][0] < 1.0:
            time.sleep(0.1)
    stop.set()
    for thread in threads:
        thread.join(5)
    err_thread.join(5)
    for item in keep:
        item.close() if hasattr(item, "close") else os.close(item)
    if args.output != "file":
        sink.close()
    try:
        return summarize(args, raw, ran_s, vesgen.returncode, err_lines, sink)
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


def scan_lines(raw):
    """Lines and cut or malformed ones, read in pieces so that gigabytes fit."""
    lines = malformed = received = 0
    rest = b""
    with open(raw, "rb") as stream:
        while True:
            piece = stream.read(CHUNK * 16)
            if not piece:
                break
            received += len(piece)
            parts = (rest + piece).split(b"\r\n")
            rest = parts.pop()
            lines += len(parts)
            malformed += sum(1 for line in parts if not SENTENCE.match(line))
    return received, lines, malformed, rest


def decode(raw):
    """Messages per vessel and kind, the last position report's kinematics, gpsdecode's complaints."""
    counts = collections.defaultdict(collections.Counter)  # mmsi -> kind -> messages
    kinematics = {}
    with open(raw, "rb") as stream, tempfile.TemporaryFile() as errors:
        decoder = subprocess.Popen(["gpsdecode", "-u"], stdin=stream, stdout=subprocess.PIPE, stderr=errors)
        for line in decoder.stdout:
            if not line.startswith(b"{"):
                continue
            record = json.loads(line)
            kind = str(record["type"])
            mmsi = record["mmsi"]
            if kind == "24":
                # gpsdecode joins the parts: one record after part B, named when part A came first.
                kind = "24B"
                if "shipname" in record:
                    counts[mmsi]["24A"] += 1
            counts[mmsi][kind] += 1
            if kind in ("1", "18"):
                kinematics[mmsi] = (kind, record.get("status", 0), record.get("speed", 0))
        decoder.wait()
        errors.seek(0)
        complaints = [l for l in errors.read().decode(errors="replace").splitlines() if l.strip()]
    return counts, kinematics, complaints


def summarize(args, raw, ran_s, exit_code, err_lines, sink):
    received, line_count, malformed, tail = scan_lines(raw)
    # Text after the last line end is a cut sentence, unless the stream ended with a
    # reset: that is how a dropped client is told that its last sentence is not whole.
    reset_after_cut = bool(tail) and sink.ending is not None and "reset" in sink.ending
    if tail and not reset_after_cut:
        malformed += 1
    counts, kinematics, decode_errors = decode(raw)

    # The first step comes a second after the fleet is built, which takes a while at a
    # million vessels: the run is counted from the first arrival.
    if sink.arrivals:
        ran_s = min(ran_s, sink.arrivals[-1][0] - sink.arrivals[0][0] + 1.0)
    complete = 0
    incomplete = []
    steps = max((c.get("1", 0) + c.get("18", 0) for c in counts.values()), default=0)
    for mmsi, kinds in counts.items():
        ok = True
        if args.ignore_timings:
            position = "1" if "1" in kinds else "18"
            wanted = ["1", "5"] if position == "1" else ["18", "24A", "24B"]
            ok = all(kinds.get(k, 0) >= steps - 1 for k in wanted)
        elif mmsi in kinematics:
            kind, status, speed = kinematics[mmsi]
            interval = class_a_interval_s(status, speed) if kind == "1" else class_b_interval_s(speed)
            low = max(0, math.floor((ran_s - 2) / interval))
            high = math.ceil(ran_s / interval) + 1
            ok = low <= kinds.get(kind, 0) <= high
            static = ["5"] if kind == "1" else ["24A", "24B"]
            ok = ok and all(kinds.get(k, 0) <= math.ceil(ran_s / STATIC_INTERVAL_S) + 1 for k in static)
        if ok:
            complete += 1
        else:
            incomplete.append((mmsi, dict(kinds)))

    spacing_text = None
    starts, spacing = step_spacing(sink.arrivals)
    inner = spacing[1:-1] or spacing  # the first and last may be cut by start and stop
    # Paced datagrams fill the gaps between steps: their steps cannot be told apart.
    if args.step_times and inner and args.output != "udp":
        spacing_text = "  steps arrived: %d; spacing mean %.3f s, min %.3f s, max %.3f s" % (
            len(starts), sum(inner) / len(inner), min(inner), max(inner))
        long_gaps = ["%.1f s after %.0f s" % (b - a, a - sink.arrivals[0][0]) for a, b in zip(starts, starts[1:])
                     if b - a > 2.5]
        if long_gaps:
            spacing_text += "\n  long pauses: " + ", ".join(long_gaps[:8])
    told = [l for l in err_lines if "sentences dropped" in l or "sentence dropped" in l]
    behind = [l for l in err_lines if "behind real time" in l]
    decoded = sum(sum(c.values()) for c in counts.values())
    print("output %s, %d vessels, seed %d, %s, sending for %.1f s, vesgen exit %s" % (
        args.output, args.vessels, args.seed, "every step" if args.ignore_timings else "reporting intervals",
        ran_s, exit_code))
    print("  received %d bytes, %d lines%s; %d cut or malformed" % (
        received, line_count, (", %d datagrams" % sink.datagrams) if args.output == "udp" else "", malformed))
    if sink.ending:
        print("  the stream ended with %s%s" % (sink.ending, " after a part sentence" if reset_after_cut else ""))
    if sink.rss_kb:
        print("  vesgen resident memory: max %d MB, at the end %d MB" % (max(sink.rss_kb) // 1024, sink.rss_kb[-1] // 1024))
    print("  decoded %d messages: %s" % (decoded, dict(sorted(collections.Counter(
        k for c in counts.values() for k in c.elements()).items()))))
    print("  MMSIs %d of %d; complete as the rules require: %d%s" % (
        len(counts), args.vessels, complete, (" (steps seen: %d)" % steps) if args.ignore_timings else ""))
    if spacing_text:
        print(spacing_text)
    for mmsi, kinds in incomplete[:5]:
        print("    incomplete: %s %s %s" % (mmsi, kinds, kinematics.get(mmsi)))
    if decode_errors:
        print("  gpsdecode complained %d times, first: %s" % (len(decode_errors), decode_errors[0]))
    for line in (told + behind)[:6]:
        print("  vesgen: %s" % line)
    others = [l for l in err_lines if l not in told and l not in behind]
    for line in others[:6]:
        print("  vesgen stderr: %s" % line)

    whole = malformed == 0 and not decode_errors
    # Anchored ships report every 3 minutes: only a longer run must show every vessel.
    every_vessel_due = args.ignore_timings or ran_s >= 185
    if not every_vessel_due:
        print("  (a run shorter than 185 s on the reporting intervals need not show every MMSI)")
    lossless = whole and (len(counts) == args.vessels or not every_vessel_due) and not incomplete
    if any("client disconnected" in l for l in err_lines):
        print("  RESULT: the client was dropped (told by the disconnect line); what it got is %s" % (
            "whole sentences" if whole else "CUT OR BROKEN"))
        return 1
    if lossless:
        print("  RESULT: every sentence arrived")
        return 0
    print("  RESULT: %s; %s" % ("loss in whole sentences" if whole else "CUT OR BROKEN SENTENCES",
                                "vesgen told the loss" if told else "vesgen said nothing about a loss"))
    return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--vesgen", required=True)
    parser.add_argument("--vessels", type=int, required=True)
    parser.add_argument("--seed", type=int, default=7)
    parser.add_argument("--area", default="50,-5,60,10")
    parser.add_argument("--output", choices=["file", "pipe", "pty", "tcp", "udp"], required=True)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--ignore-timings", action="store_true")
    parser.add_argument("--udp-drain-ms", type=float, default=0)
    parser.add_argument("--step-times", action="store_true", help="print how far apart the steps arrived")
    parser.add_argument("--keep", action="store_true", help="keep the received stream in its temporary folder")
    parser.add_argument("--tcp-read-rate", type=float, default=0, help="a TCP client reading only this many bytes/s")
    parser.add_argument("extra", nargs="*", help="more vesgen options, after --")
    args = parser.parse_args()
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
