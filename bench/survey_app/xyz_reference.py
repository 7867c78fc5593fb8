#!/usr/bin/env python3
"""Reference for the XYZ benchmark: the same job done the usual way with NumPy and pandas.

Reads the fixed-column dumps of a folder, splits them into base sessions and field lines,
matches each line with the base session that overlaps it most, interpolates base values
with numpy.interp and writes line, X, Y, raw, base, corrected, date and time as text.

    xyz_reference.py DIR OUT
"""
import glob
import io
import os
import sys
import time

import numpy as np
import pandas as pd


def seconds(t):
    return pd.to_timedelta(pd.Series(t)).dt.total_seconds().to_numpy()


def read_file(path):
    with open(path, "r", encoding="latin-1") as f:
        text = f.read()
    bases, fields = [], []
    for chunk in text.split("SCINTREX")[1:]:
        lines = chunk.splitlines()[1:]
        head_a, head_b = lines[0], lines[1]
        data = [l for l in lines[2:] if l.strip() and "STAT" not in l.upper() and "TIME" not in l.upper()]
        date = head_b[head_b.upper().index("DATE") + 6:][:8]
        day = pd.Timestamp(pd.to_datetime(date, format="%m/%d/%y")).value / 1e9
        if "UNCORR" in head_a.upper():
            df = pd.read_fwf(io.StringIO("\n".join(data)), colspecs=[(0, 6), (6, 7), (8, 15), (24, 32)],
                             header=None, names=["st", "dir", "mag", "time"])
            st = df["st"].to_numpy(dtype=float) * np.where(df["dir"].isin(["S", "W"]), -1, 1)
            t = day + seconds(df["time"])
            order = np.argsort(st, kind="stable")
            line = head_b[5:head_b.index("GRID") - 2].strip()
            fields.append((line, st[order], df["mag"].to_numpy(dtype=float)[order], t[order]))
        else:
            cycle = float(head_a[head_a.upper().index("TIME") + 5:][:10].split()[0])
            times, values = [], []
            for l in data:
                t0 = day + seconds([l[:8]])[0]
                v = [float(l[8:16])] + [float(l[16 + 7 * i:23 + 7 * i]) for i in range((len(l) - 16) // 7)]
                vals = np.cumsum(v)
                times.extend(t0 + cycle * np.arange(len(vals)))
                values.extend(vals)
            bases.append((np.array(times), np.array(values, dtype=np.float32)))
    return bases, fields


def main(folder, out):
    start = time.perf_counter()
    frames = []
    for path in sorted(glob.glob(os.path.join(folder, "*"))):
        bases, fields = read_file(path)
        for line, st, mag, t in fields:
            best, cover = None, 0.0
            for bt, bv in bases:
                overlap = min(t.max(), bt[-1]) - max(t.min(), bt[0])
                span = max(t.max() - t.min(), 1e-9)
                if overlap / span > cover:
                    best, cover = (bt, bv), overlap / span
            if best is None:
                continue
            base = np.interp(t, best[0], best[1], left=np.nan, right=np.nan)
            coord = float(line[:-1] or 0)
            stamp = pd.to_datetime(t, unit="s")
            frames.append(pd.DataFrame({
                "line": coord, "x": st, "y": coord, "raw": mag, "base": base,
                "corr": mag - base + 57500.0,
                "date": stamp.strftime("%Y/%m/%d"), "time": stamp.strftime("%H:%M:%S")}))
    table = pd.concat(frames, ignore_index=True)
    table.to_csv(out, sep=" ", header=False, index=False, float_format="%.1f", na_rep="*")
    print(f"{time.perf_counter() - start:.3f} {len(table)}")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
