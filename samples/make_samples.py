#!/usr/bin/env python3
"""Writes the bundled sample dumps: one survey day in each of the two dump layouts.

The readings are synthetic but shaped like a real day: a diurnal drift of some tens of
nanotesla recorded by the base station, and field lines across a buried dipole. Run it
again to rebuild the files; the random seed is fixed, so the output does not change.
"""
import math
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
rng = random.Random(1996)


def diurnal(seconds):
    """Base-station field at a time of day (seconds)."""
    h = seconds / 3600.0
    return 57500.0 - 18.0 * math.sin((h - 7.0) / 12.0 * math.pi) + 2.5 * math.sin(h * 2.1)


def anomaly(x, y):
    """A buried dipole near (250, 150)."""
    dx, dy = x - 250.0, y - 150.0
    r2 = dx * dx + dy * dy + 60.0 ** 2
    return 900.0 * (2 * 60.0 ** 2 - dx * dx - dy * dy) / r2 ** 1.5 * 60.0


def hms(s):
    s = int(s) % 86400
    return f"{s // 3600:02d}:{s // 60 % 60:02d}:{s % 60:02d}"


def base_session(start, end, cycle):
    """Readings (t, value) at the cycle, values to 0.1 nT."""
    out = []
    t = start
    while t <= end:
        out.append((t, round(diurnal(t) + rng.gauss(0, 0.15), 1)))
        t += cycle
    return out


def field_line(line_coord, direction, stations, start, pace):
    """Readings (station, t, value) walking the stations in order."""
    out = []
    t = start
    for st in stations:
        if direction in "NS":
            x, y = st, line_coord
        else:
            x, y = line_coord, st
        value = round(57500.0 + anomaly(x, y) + (diurnal(t) - 57500.0) + rng.gauss(0, 0.3), 1)
        out.append((st, int(t), value))
        t += pace + rng.randint(-4, 6)
    return out


def keyword_day():
    date = "07/09/96"
    lines = ["ENVI-MAG memory dump, 9600 baud, 8N1", "Unit 9305212", ""]

    def head(kind_lines):
        lines.append("S C I N T R E X   ENVI-MAG  MAGNETOMETER   VER 3.21")
        lines.append("ENVI MAG     SERIAL 9305212")
        lines.extend(kind_lines)
        lines.append("/" + "-" * 62)

    # Base station, 30-second cycle, eight readings a dump line.
    base = base_session(8 * 3600, 16 * 3600 + 30 * 60, 30)
    head([f"DATE____: {date}", "LINE____: BS 1", "CYC_TIME: 30 SEC", "BASEFLD_: 57500.0 NT", "STATION_: 0"])
    lines.append("   TIME       MAG    DIFFERENCES")
    for i in range(0, len(base), 8):
        chunk = base[i:i + 8]
        parts = [hms(chunk[0][0]), f"{chunk[0][1]:.1f}"]
        for prev, cur in zip(chunk, chunk[1:]):
            parts.append(f"{cur[1] - prev[1]:.1f}")
        lines.append(" ".join(parts))
    lines.append("")

    # Field lines: north-south lines walked up and down, one east-west tie line.
    t = 8 * 3600 + 25 * 60
    plan = [("100", "N", range(0, 301, 25)), ("150", "N", range(300, -101, -25)),
            ("200", "N", range(-100, 301, 25)), ("250", "N", range(300, -1, -25)),
            ("300", "E", range(-50, 501, 50)), ("350", "N", range(0, 301, 25))]
    for coord, direction, stations in plan:
        readings = field_line(float(coord), direction, list(stations), t, 95)
        t = readings[-1][1] + 900
        head([f"DATE____: {date}", f"LINE____: {coord} {direction}", "GRID____: SOUTH BLOCK",
              "STATION_: 0", "BASEFLD_: 57500.0"])
        lines.append("STATION       MAG      SD     TIME")
        for st, when, value in readings:
            if direction == "N":
                letter = "N" if st >= 0 else "S"
            else:
                letter = "E" if st >= 0 else "W"
            lines.append(f"{abs(st):5d} {letter:<2} {value:9.1f}  {rng.uniform(0.02, 0.2):5.2f}  {hms(when)}")
        lines.append("")

    # A test reading taken in the yard before packing up: one reading, no line name.
    head([f"DATE____: {date}", "STATION_: 0", "BASEFLD_: 57500.0"])
    lines.append(f"    0 N   {round(diurnal(t), 1):9.1f}   0.05  {hms(t)}")
    return lines


def fixed_day():
    date = "07/10/96"
    lines = ["MP-2 DUMP", ""]

    def base_block(start, end, cycle):
        lines.append("SCINTREX   MP-2   PROTON PRECESSION MAGNETOMETER")
        lines.append(f"MP-2  BASE STATION  BASE FIELD: 57500.0C  CYCLE TIME: {cycle} SEC")
        lines.append(f"LINE BS1     GRID  01      DATE: {date}")
        lines.append("  TIME     BASE   DIFFERENCES")
        readings = base_session(start, end, cycle)
        for i in range(0, len(readings), 6):
            chunk = readings[i:i + 6]
            row = f"{hms(chunk[0][0])}{chunk[0][1]:8.1f}"
            for prev, cur in zip(chunk, chunk[1:]):
                row += f"{cur[1] - prev[1]:7.1f}"
            lines.append(row)
        lines.append("")

    def field_block(coord, direction, stations, start):
        readings = field_line(float(coord), direction, list(stations), start, 80)
        lines.append("SCINTREX   MP-2   PROTON PRECESSION MAGNETOMETER")
        lines.append("MP-2  UNCORRECTED DATA   BASE FIELD: 57500.0*")
        name = f"{coord}{direction}"
        lines.append(f"LINE {name:<8}GRID  01      DATE: {date}")
        lines.append("STATION  MAG       SD    TIME")
        for st, when, value in readings:
            letter = direction if st >= 0 else {"N": "S", "E": "W"}[direction]
            lines.append(f"{abs(st):06d}{letter} {value:7.1f} {rng.uniform(0.02, 0.2):8.2f}{hms(when)}")
        lines.append("")
        return readings[-1][1]

    # Morning base session, a gap at lunch when the base was moved, afternoon session.
    base_block(7 * 3600 + 50 * 60, 12 * 3600, 20)
    t = 8 * 3600
    for coord in ("400", "450", "500"):
        t = field_block(coord, "N", range(0, 301, 25), t) + 600
    # This line runs across the lunch gap: the base covers only part of it.
    t = field_block("550", "N", range(300, -1, -25), 11 * 3600 + 45 * 60) + 3600
    base_block(13 * 3600, 16 * 3600, 20)
    for coord in ("600", "650"):
        t = field_block(coord, "N", range(0, 301, 25), t) + 600
    # An east-west line walked after the base station was packed away.
    field_block("100", "E", range(350, 601, 50), 16 * 3600 + 20 * 60)
    return lines


def write(name, lines):
    with open(os.path.join(HERE, name), "w", newline="\r\n") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    write("envimag_0709.dat", keyword_day())
    write("mp2_0710.dat", fixed_day())
