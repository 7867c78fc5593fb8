"""What the module's tests share: corvane-batch of the same build, the sample dumps, a
generated day in both layouts, and a plain reader of the XYZ export."""

import os
import pathlib
import subprocess
import warnings

import numpy as np
import pytest

import dump_day

ROOT = pathlib.Path(__file__).resolve().parents[2]
SAMPLES = ROOT / "samples"


def batch_program():
    build = pathlib.Path(os.environ.get("BUILD_DIR", "build"))
    return os.environ.get("CORVANE_BATCH") or str(ROOT / build / "survey_app/batch/corvane-batch")


def run_batch(*args):
    """corvane-batch's stdout and stderr, and its exit status."""
    program = batch_program()
    if not os.path.exists(program):
        pytest.skip(f"corvane-batch is not built at {program}")
    done = subprocess.run([program, *map(str, args)], capture_output=True)
    return done.stdout.decode(), done.stderr.decode(), done.returncode


@pytest.fixture(scope="session")
def samples():
    """The bundled sample dumps (their dates are month/day/year)."""
    return sorted(str(p) for p in SAMPLES.glob("*.dat"))


@pytest.fixture(scope="session")
def day(tmp_path_factory):
    """A generated day in both dump layouts, with line names that are cut and a stray file."""
    folder = tmp_path_factory.mktemp("day")
    (folder / "keyword.dat").write_text(dump_day.keyword_layout(seed=7), newline="")
    (folder / "fixed.dat").write_text(dump_day.fixed_layout(seed=8), newline="")
    return sorted(str(p) for p in folder.iterdir())


def read_quietly(paths, **options):
    import corvane

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return corvane.read(paths, **options)


def parse_xyz(path):
    """The rows of an XYZ export: line name, then x, y, raw, base, corrected (NaN for "*"),
    then the time."""
    line, rows = None, []
    with open(path, "rb") as f:
        for text in f.read().decode("latin-1").split("\r\n"):
            if text.startswith("/Line "):
                line = text[6:].strip()
            elif text and not text.startswith("/"):
                fields = text.split()
                values = [np.nan if v == "*" else float(v) for v in fields[1:6]]
                time = np.datetime64(fields[6].replace("/", "-") + "T" + fields[7], "s")
                rows.append((line, *values, time))
    return rows
