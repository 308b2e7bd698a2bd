"""Random AIS sentences of every type vesgen sends, packed from field tables of
ITU-R M.1371-5 (Annex 8) written here independently of the project's encoder and
decoder. Usage: ais_random.py SEED ROWS [upper|lower|none]. Prints ROWS messages of
each type, one message's sentences after another, with random fragment lengths."""
import random
import sys

TEXT = "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_ !\"#$%&'()*+,-./0123456789:;<=>?"

# (name, width, kind): u unsigned, s signed, t text of width/6 characters,
# lon/lat 1/10000 minute, lon10/lat10 1/10 minute.
HEAD = [("type", 6, "id"), ("repeat", 2, "u"), ("mmsi", 30, "mmsi")]
POSITION_A = HEAD + [
    ("status", 4, "u"), ("turn", 8, "s"), ("speed", 10, "u"), ("accuracy", 1, "u"),
    ("lon", 28, "lon"), ("lat", 27, "lat"), ("course", 12, "u"), ("heading", 9, "u"),
    ("second", 6, "u"), ("maneuver", 2, "u"), ("spare", 3, "u"), ("raim", 1, "u"), ("radio", 19, "u")]
LAYOUTS = {
    1: POSITION_A, 2: POSITION_A, 3: POSITION_A,
    4: HEAD + [("year", 14, "u"), ("month", 4, "u"), ("day", 5, "u"), ("hour", 5, "u"),
               ("minute", 6, "u"), ("second", 6, "u"), ("accuracy", 1, "u"), ("lon", 28, "lon"),
               ("lat", 27, "lat"), ("epfd", 4, "u"), ("spare", 10, "u"), ("raim", 1, "u"),
               ("radio", 19, "u")],
    5: HEAD + [("ais_version", 2, "u"), ("imo", 30, "u"), ("callsign", 42, "t"), ("shipname", 120, "t"),
               ("shiptype", 8, "u"), ("to_bow", 9, "u"), ("to_stern", 9, "u"), ("to_port", 6, "u"),
               ("to_starboard", 6, "u"), ("epfd", 4, "u"), ("month", 4, "u"), ("day", 5, "u"),
               ("hour", 5, "u"), ("minute", 6, "u"), ("draught", 8, "u"), ("destination", 120, "t"),
               ("dte", 1, "u"), ("spare", 1, "u")],
    9: HEAD + [("alt", 12, "u"), ("speed", 10, "u"), ("accuracy", 1, "u"), ("lon", 28, "lon"),
               ("lat", 27, "lat"), ("course", 12, "u"), ("second", 6, "u"), ("regional", 8, "u"),
               ("dte", 1, "u"), ("spare", 3, "u"), ("assigned", 1, "u"), ("raim", 1, "u"),
               ("radio", 20, "u")],
    14: HEAD + [("spare", 2, "u"), ("text", -1, "t")],
    18: HEAD + [("reserved", 8, "u"), ("speed", 10, "u"), ("accuracy", 1, "u"), ("lon", 28, "lon"),
                ("lat", 27, "lat"), ("course", 12, "u"), ("heading", 9, "u"), ("second", 6, "u"),
                ("regional", 2, "u"), ("cs", 1, "u"), ("display", 1, "u"), ("dsc", 1, "u"),
                ("band", 1, "u"), ("msg22", 1, "u"), ("assigned", 1, "u"), ("raim", 1, "u"),
                ("radio", 20, "u")],
    19: HEAD + [("reserved", 8, "u"), ("speed", 10, "u"), ("accuracy", 1, "u"), ("lon", 28, "lon"),
                ("lat", 27, "lat"), ("course", 12, "u"), ("heading", 9, "u"), ("second", 6, "u"),
                ("regional", 4, "u"), ("shipname", 120, "t"), ("shiptype", 8, "u"), ("to_bow", 9, "u"),
                ("to_stern", 9, "u"), ("to_port", 6, "u"), ("to_starboard", 6, "u"), ("epfd", 4, "u"),
                ("raim", 1, "u"), ("dte", 1, "u"), ("assigned", 1, "u"), ("spare", 4, "u")],
    21: HEAD + [("aid_type", 5, "u"), ("name", 120, "t"), ("accuracy", 1, "u"), ("lon", 28, "lon"),
                ("lat", 27, "lat"), ("to_bow", 9, "u"), ("to_stern", 9, "u"), ("to_port", 6, "u"),
                ("to_starboard", 6, "u"), ("epfd", 4, "u"), ("second", 6, "u"), ("off_position", 1, "u"),
                ("regional", 8, "u"), ("raim", 1, "u"), ("virtual_aid", 1, "u"), ("assigned", 1, "u"),
                ("spare", 1, "u"), ("name_extension", -1, "t")],
    "24A": HEAD + [("partno", 2, "zero"), ("shipname", 120, "t")],
    "24B": HEAD + [("partno", 2, "one"), ("shiptype", 8, "u"), ("vendorid", 18, "t"), ("model", 4, "u"),
                   ("serial", 20, "u"), ("callsign", 42, "t"), ("to_bow", 9, "u"), ("to_stern", 9, "u"),
                   ("to_port", 6, "u"), ("to_starboard", 6, "u"), ("epfd", 4, "u"), ("spare", 2, "u")],
    27: HEAD + [("accuracy", 1, "u"), ("raim", 1, "u"), ("status", 4, "u"), ("lon", 18, "lon10"),
                ("lat", 17, "lat10"), ("speed", 6, "u"), ("course", 9, "u"), ("gnss", 1, "u"),
                ("spare", 1, "u")],
}
# Free text lengths in characters: message 14 up to its five slots, 21's name extension.
TEXT_CHARS = {14: (0, 161), 21: (0, 14)}
POSITION = {"lon": (28, 180 * 600000), "lat": (27, 90 * 600000), "lon10": (18, 180 * 600), "lat10": (17, 90 * 600)}


def signed_bits(value, width):
    return format(value & ((1 << width) - 1), "0%db" % width)


def number(rng, width, signed):
    low, high = (-(1 << (width - 1)), (1 << (width - 1)) - 1) if signed else (0, (1 << width) - 1)
    if rng.random() < 0.25:
        return rng.choice([low, high, 0, high - 1, low + 1])
    return rng.randint(low, high)


def position(rng, kind):
    width, limit = POSITION[kind]
    unavailable = limit // 90 * 91 if kind.startswith("lat") else limit // 180 * 181
    roll = rng.random()
    if roll < 0.1:
        return unavailable
    if roll < 0.2:
        return rng.choice([limit, -limit, 0, 1, -1])
    if roll < 0.3:
        return number(rng, width, True)  # off the earth: a decoder calls it not available
    return rng.randint(-limit, limit)


def text(rng, chars):
    body = "".join(rng.choice(TEXT) for _ in range(rng.randint(0, chars)))
    if rng.random() < 0.2:
        body = body.rstrip("@") + " " * (chars - len(body))
    return body + "@" * (chars - len(body))


def mmsi(rng):
    # Some of the prefixes that name a kind of station: SART, MOB, EPIRB, SAR aircraft, auxiliary craft.
    prefix = rng.choice(["", "", "", "970", "972", "974", "111", "98"])
    digits = "".join(rng.choice("0123456789") for _ in range(9 - len(prefix)))
    return int(prefix + digits) if rng.random() < 0.9 else number(rng, 30, False)


def payload_bits(rng, key):
    bits = ""
    for name, width, kind in LAYOUTS[key]:
        if kind == "id":
            bits += format(key if isinstance(key, int) else 24, "06b")
        elif kind in ("zero", "one"):
            bits += format(0 if kind == "zero" else 1, "02b")
        elif kind == "mmsi":
            bits += format(mmsi(rng), "030b")
        elif kind in POSITION:
            bits += signed_bits(position(rng, kind), width)
        elif kind == "t":
            chars = width // 6 if width > 0 else rng.randint(*TEXT_CHARS[key])
            bits += "".join(format(TEXT.index(c), "06b") for c in text(rng, chars))
        else:
            bits += signed_bits(number(rng, width, kind == "s"), width)
    if key == 21:  # spare bits up to a byte boundary
        bits += "0" * (-len(bits) % 8)
    return bits


def sentences(rng, bits, sequence, checksum):
    fill = -len(bits) % 6
    bits += "0" * fill
    payload = "".join(chr(v + 48 if v < 40 else v + 56) for v in (int(bits[i:i + 6], 2) for i in range(0, len(bits), 6)))
    size = max(rng.choice([60, 60, rng.randint(1, 60)]), -(-len(payload) // 9))  # at most nine sentences
    pieces = [payload[i:i + size] for i in range(0, len(payload), size)] or [""]
    kind = rng.choice(["AIVDM", "AIVDM", "AIVDO"])
    channel = rng.choice("AB")
    lines = []
    for number_, piece in enumerate(pieces, 1):
        seq = str(sequence) if len(pieces) > 1 else ""
        body = "%s,%d,%d,%s,%s,%s,%d" % (kind, len(pieces), number_, seq, channel, piece,
                                          fill if number_ == len(pieces) else 0)
        total = 0
        for c in body:
            total ^= ord(c)
        tail = {"upper": "*%02X" % total, "lower": "*%02x" % total, "none": ""}[checksum]
        lines.append("!" + body + tail + "\r\n")
    return lines


def main():
    seed, rows = int(sys.argv[1]), int(sys.argv[2])
    checksum = sys.argv[3] if len(sys.argv) > 3 else "upper"
    rng = random.Random(seed)
    out = []
    for row in range(rows):
        for key in LAYOUTS:
            out += sentences(rng, payload_bits(rng, key), row % 10, checksum)
    sys.stdout.write("".join(out))


if __name__ == "__main__":
    main()
