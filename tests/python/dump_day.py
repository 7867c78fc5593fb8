"""A survey day in both dump layouts, made up from a seed: a base session with a gap, data
lines walked both ways (north and east lines, stations south or west of zero), a line
running across the gap, one after the base is packed away, and a one-reading block."""

import math
import random


def _hms(s):
    s = int(s) % 86400
    return f"{s // 3600:02d}:{s // 60 % 60:02d}:{s % 60:02d}"


def _field(rng, t):
    return 57500.0 - 20.0 * math.sin(t / 20000.0) + rng.gauss(0, 0.2)


def _plan(rng, lines, stations):
    """(coordinate, direction, stations, start second) of each line, in walking order."""
    out, t = [], 8 * 3600 + 600
    for i in range(lines):
        direction = "N" if i % 4 else "E"
        walk = [(k - 2) * 25 for k in range(stations)]
        out.append((100 + 50 * i, direction, walk if i % 2 else walk[::-1], t))
        t += stations * 70 + 300
    return out


def keyword_layout(seed, lines=8, stations=40, date="07/11/96"):
    rng = random.Random(seed)
    text = ["ENVI-MAG memory dump", ""]

    def head(fields):
        text.extend(["S C I N T R E X   ENVI-MAG  MAGNETOMETER   VER 3.21", "ENVI MAG     SERIAL 1"])
        text.extend(f"{k}: {v}" for k, v in fields)
        text.append("/" + "-" * 62)

    base = [(t, round(_field(rng, t), 1)) for t in range(7 * 3600, 17 * 3600, 30)]
    head([("DATE____", date), ("LINE____", "BS 1"), ("CYC_TIME", "30 SEC"), ("BASEFLD_", "57500.0 NT")])
    text.append("   TIME       MAG    DIFFERENCES")
    for i in range(0, len(base), 8):
        chunk = base[i:i + 8]
        text.append(" ".join([_hms(chunk[0][0]), f"{chunk[0][1]:.1f}"] +
                             [f"{b[1] - a[1]:.1f}" for a, b in zip(chunk, chunk[1:])]))
    text.append("")
    for coord, direction, walk, t in _plan(rng, lines, stations) + [(900, "E", [0], 18 * 3600)]:
        head([("DATE____", date), ("LINE____", f"{coord} {direction}"), ("STATION_", "0")])
        text.append("STATION       MAG      SD     TIME")
        for k, st in enumerate(walk):
            letter = direction if st >= 0 else {"N": "S", "E": "W"}[direction]
            when = t + 70 * k
            text.append(f"{abs(st):5d} {letter:<2} {_field(rng, when) + rng.uniform(-90, 90):9.2f}  0.05  {_hms(when)}")
        text.append("")
    return "\r\n".join(text) + "\r\n"


def fixed_layout(seed, lines=8, stations=40, date="07/12/96"):
    rng = random.Random(seed)
    text = ["MP-2 DUMP", ""]

    def base_block(start, end):
        text.append("SCINTREX   MP-2   PROTON PRECESSION MAGNETOMETER")
        text.append("MP-2  BASE STATION  BASE FIELD: 57500.0C  CYCLE TIME: 20 SEC")
        text.append(f"LINE BS1     GRID  01      DATE: {date}")
        text.append("  TIME     BASE   DIFFERENCES")
        readings = [(t, round(_field(rng, t), 1)) for t in range(start, end, 20)]
        for i in range(0, len(readings), 6):
            chunk = readings[i:i + 6]
            text.append(f"{_hms(chunk[0][0])}{chunk[0][1]:8.1f}" +
                        "".join(f"{b[1] - a[1]:7.1f}" for a, b in zip(chunk, chunk[1:])))
        text.append("")

    base_block(7 * 3600, 11 * 3600)
    base_block(12 * 3600, 16 * 3600)
    for coord, direction, walk, t in _plan(rng, lines, stations) + [(950, "N", [0], 17 * 3600)]:
        text.append("SCINTREX   MP-2   PROTON PRECESSION MAGNETOMETER")
        text.append("MP-2  UNCORRECTED DATA   BASE FIELD: 57500.0*")
        text.append(f"LINE {str(coord) + direction:<8}GRID  01      DATE: {date}")
        text.append("STATION  MAG       SD    TIME")
        for k, st in enumerate(walk):
            letter = direction if st >= 0 else {"N": "S", "E": "W"}[direction]
            when = t + 70 * k
            text.append(f"{abs(st):06d}{letter} {_field(rng, when) + rng.uniform(-90, 90):7.1f} {0.05:8.2f}{_hms(when)}")
        text.append("")
    return "\r\n".join(text) + "\r\n"
