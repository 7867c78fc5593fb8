#!/usr/bin/env python3
"""Dump files -> a pandas DataFrame of corrected readings: corvane.read(DIR).readings() against
the other ways to get the same table, in one run (see run_python_bench.sh).

    readings_bench.py DIR BUILD_DIR

Every figure but the pandas pipeline's is the best of three runs, each in a fresh process.
The Python figures are the seconds inside the process after its imports, as in a notebook
whose imports are done; the tools' figures are their whole process.
"""
import io
import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

BASE_FIELD = 57500.0
REFERENCE = Path(__file__).resolve().parents[1] / "survey_app" / "xyz_reference.py"
XYZ_NAMES = ["line", "x", "y", "raw", "base", "corrected", "date", "time"]
XYZ_WIDTHS = [11, 11, 11, 11, 11, 11, 11, 9]


def read_readings(folder):
    """In a fresh process: seconds to a Survey, seconds to its DataFrame, rows, peak bytes per row."""
    import corvane

    start = time.perf_counter()
    survey = corvane.read(folder, date_order="mdy")
    matched = time.perf_counter()
    table = survey.readings(base_field=BASE_FIELD)
    ready = time.perf_counter()
    # ru_maxrss is in kilobytes on Linux; the imports' share is part of it, as in any session.
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
    print(f"{matched - start:.6f} {ready - start:.6f} {len(table)} {peak / max(len(table), 1):.1f}")


def read_xyz(path):
    """In a fresh process: seconds for pandas.read_fwf of an XYZ file without its '/' lines, rows."""
    import pandas as pd

    start = time.perf_counter()
    with open(path, encoding="latin-1") as f:
        rows = "".join(line for line in f if not line.startswith("/"))
    table = pd.read_fwf(io.StringIO(rows), widths=XYZ_WIDTHS, names=XYZ_NAMES, header=None, na_values="*")
    print(f"{time.perf_counter() - start:.6f} {len(table)}")


def run(command, stdout):
    """Runs a command to its end; its messages are kept and shown only when it fails."""
    done = subprocess.run(command, stdout=stdout, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed with exit code {done.returncode}:\n{done.stderr}")
    return done.stdout


def best_seconds(command):
    """The fewest wall seconds of three runs of a command."""
    runs = []
    for _ in range(3):
        start = time.perf_counter()
        run(command, subprocess.DEVNULL)
        runs.append(time.perf_counter() - start)
    return min(runs)


def best_output(command):
    """Of three runs of a command that prints one line of numbers, the line whose first number is least."""
    return min((run(command, subprocess.PIPE).split() for _ in range(3)), key=lambda words: float(words[0]))


def compare(folder, build):
    batch = str(Path(build) / "survey_app" / "batch" / "corvane-batch")
    dumps = sorted(str(p) for p in Path(folder).iterdir() if p.is_file())
    me = [sys.executable, __file__]
    with tempfile.TemporaryDirectory() as work:
        xyz = os.path.join(work, "batch.xyz")
        ours = best_output(me + ["--read", folder])
        survey_seconds, frame_seconds, readings, per_reading = float(ours[0]), float(ours[1]), int(ours[2]), ours[3]
        blocks_seconds = best_seconds([batch, "--date-order", "mdy", "--blocks"] + dumps)
        export_seconds = best_seconds([batch, "--date-order", "mdy", "--xyz", xyz, "--base-field", f"{BASE_FIELD}",
                                       "--overwrite"] + dumps)
        fwf = best_output(me + ["--fwf", xyz])
        fwf_seconds, fwf_rows = float(fwf[0]), int(fwf[1])
        # Run once, as the XYZ bench runs it: it takes minutes, not seconds.
        reference = run([sys.executable, str(REFERENCE), folder, os.path.join(work, "ref.txt")], subprocess.PIPE)
        reference_seconds, reference_rows = float(reference.split()[0]), int(reference.split()[1])
    via_file = export_seconds + fwf_seconds
    rows = [
        ("readings", f"{readings} (read_fwf: {fwf_rows}, pandas pipeline: {reference_rows})"),
        ("corvane.read", f"{survey_seconds:8.3f} s"),
        ("corvane.read(...).readings()", f"{frame_seconds:8.3f} s"),
        ("corvane-batch --blocks", f"{blocks_seconds:8.3f} s  (read and match)"),
        ("corvane-batch --xyz + read_fwf", f"{via_file:8.3f} s  ({export_seconds:.3f} + {fwf_seconds:.3f})"),
        ("pandas pipeline", f"{reference_seconds:8.3f} s  (xyz_reference.py)"),
        ("DataFrame / batch read+match", f"{frame_seconds / blocks_seconds:8.2f} x"),
        ("read / batch read+match", f"{survey_seconds / blocks_seconds:8.2f} x"),
        ("(--xyz + read_fwf) / DataFrame", f"{via_file / frame_seconds:8.1f} x"),
        ("pandas pipeline / DataFrame", f"{reference_seconds / frame_seconds:8.1f} x"),
        ("peak memory of the Python read", f"{float(per_reading):8.1f} bytes per reading"),
    ]
    for name, figure in rows:
        print(f"{name:<32}{figure}")


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--read":
        read_readings(sys.argv[2])
    elif len(sys.argv) == 3 and sys.argv[1] == "--fwf":
        read_xyz(sys.argv[2])
    elif len(sys.argv) == 3:
        compare(sys.argv[1], sys.argv[2])
    else:
        sys.exit("usage: readings_bench.py DIR BUILD_DIR")
