"""Exports byte for byte as corvane-batch writes them, grids, errors and the GIL."""

import os
import threading
import time

import numpy as np
import pytest

import corvane
import dump_day
from conftest import read_quietly, run_batch


@pytest.mark.parametrize("method, suffix, options, flags", [
    ("export_xyz", "xyz", {}, []),
    ("export_xyz", "xyz", {"no_corrections": True}, ["--no-corrections"]),
    ("export_xyz", "xyz", {"export_all": True, "export_base": True}, ["--export-all", "--export-base"]),
    ("export_oasis", "gdb", {}, []),
    ("export_oasis", "gdb", {"export_base": True}, ["--export-base"]),
])
@pytest.mark.parametrize("source", ["samples", "day"])
def test_exports_are_the_batch_tools_byte_for_byte(request, tmp_path, source, method, suffix, options, flags):
    paths = request.getfixturevalue(source)
    survey = read_quietly(paths, date_order="mdy")
    ours, theirs = tmp_path / f"ours.{suffix}", tmp_path / f"theirs.{suffix}"
    ours.write_bytes(b"replaced")
    written = getattr(survey, method)(ours, "57500", **options)
    _, err, status = run_batch("--date-order", "mdy", f"--{'xyz' if suffix == 'xyz' else 'oasis'}", theirs,
                               "--base-field", "57500", *flags, *paths)
    assert status == 0, err
    assert ours.read_bytes() == theirs.read_bytes()
    assert written.readings > 0 and written.path == str(ours)
    assert written.message == err.strip().replace(str(theirs), str(ours))


def test_grid_has_ascending_coordinates_and_its_settings(samples):
    survey = read_quietly(samples, date_order="mdy")
    grid = survey.grid(cell=10, tension=0, blank=0)
    assert grid.dims == ("y", "x")
    assert np.all(np.diff(grid.y) == 10) and np.all(np.diff(grid.x) == 10)
    assert grid.attrs == {"cell": 10, "tension": 0, "blanking": 0, "method": "mincurv", "raw": False}
    assert not np.isnan(grid.values).any()


def test_grid_equals_the_batch_tools_ascii_grid(samples, tmp_path):
    target = tmp_path / "grid.asc"
    _, err, status = run_batch("--date-order", "mdy", "--grid", target, "--blank", 0, *samples)
    if status == 2 and "GDAL" in err:
        pytest.skip(err)
    assert status == 0, err
    lines = target.read_text().splitlines()
    head = {k.lower(): float(v) for k, v in (line.split() for line in lines[:6])}
    values = np.array([[float(v) for v in line.split()] for line in lines[6:]])[::-1]
    grid = read_quietly(samples, date_order="mdy").grid(blank=0)
    assert values.shape == grid.shape
    assert head["cellsize"] == grid.attrs["cell"]
    west = head["xllcenter"] if "xllcenter" in head else head["xllcorner"] + head["cellsize"] / 2
    assert west == grid.x[0]
    np.testing.assert_allclose(grid.values, values, atol=1e-3)


@pytest.mark.parametrize("call, error, text", [
    (lambda: corvane.read(42), TypeError, "paths needs a str"),
    (lambda: corvane.read([os.curdir, 3]), TypeError, "not int"),
    (lambda: corvane.read("no/such/dump.dat"), FileNotFoundError, "no/such/dump.dat"),
    (lambda: corvane.read([]), ValueError, "no dump files given"),
    (lambda: corvane.read("samples", date_order="ydm"), ValueError, 'date_order needs auto, mdy, dmy or ymd, not "ydm"'),
    (lambda: corvane.read("samples", jobs=0), ValueError, "jobs needs a whole number of 1 or more"),
    (lambda: corvane.read("samples", jobs="2"), TypeError, "jobs needs an int"),
    (lambda: corvane.read("samples", pattern="*.none"), FileNotFoundError, "holds no file matching"),
])
def test_bad_reads_raise(monkeypatch, call, error, text):
    monkeypatch.chdir(os.path.join(os.path.dirname(__file__), "..", ".."))
    with pytest.raises(error, match=text.replace(".", r"\.").replace("*", r"\*")):
        call()


@pytest.mark.parametrize("call, error, text", [
    (lambda s, d: s.uncheck("fileno.datblock0001"), ValueError, "No node of the block tree has the key"),
    (lambda s, d: s.uncheck(3), TypeError, "key needs a str"),
    (lambda s, d: s.readings(base_field="57500"), TypeError, "base_field needs a number"),
    (lambda s, d: s.readings(base_field=1e6), ValueError, "The base field value is not valid"),
    (lambda s, d: s.export_xyz(d / "out.xyz", "fifty"), ValueError, "The base field value is not valid"),
    (lambda s, d: s.export_xyz(d / "missing" / "out.xyz", 0), OSError, "could not create"),
    (lambda s, d: s.export_xyz(d, 0), OSError, "not a regular file"),
    (lambda s, d: s.export_xyz(s.files[0], 0), ValueError, "is one of the dump files to read"),
    (lambda s, d: s.grid(method="cubic"), ValueError, 'method needs mincurv or lines, not "cubic"'),
    (lambda s, d: s.grid(tension=1), ValueError, "tension needs a number from 0 to below 1"),
    (lambda s, d: s.grid(cell=0), ValueError, "cell needs a number above 0"),
    (lambda s, d: s.grid(cell=1e-6), ValueError, "nodes"),
    (lambda s, d: s.grid(blank=-1), ValueError, "blank needs a number of 0 or more"),
])
def test_bad_calls_raise(samples, tmp_path, call, error, text):
    survey = read_quietly(samples, date_order="mdy")
    with pytest.raises(error, match=text):
        call(survey, tmp_path)


def test_an_unreadable_file_is_listed_and_the_rest_read(samples, tmp_path):
    dangling = tmp_path / "gone.dat"
    dangling.symlink_to(tmp_path / "nowhere.dat")
    with pytest.warns(corvane.SurveyWarning, match="could not be opened"):
        survey = corvane.read([samples[0], dangling], date_order="mdy")
    assert survey.unread == [str(dangling)]
    assert len(survey.readings()) > 0


def test_a_survey_without_data_lines_cannot_be_gridded(tmp_path):
    base_only = tmp_path / "base.dat"
    base_only.write_text(dump_day.fixed_layout(seed=1, lines=0), newline="")
    survey = read_quietly(base_only, date_order="mdy")
    with pytest.raises(ValueError, match="3 points or more"):
        survey.grid()


@pytest.mark.parametrize("prepare, work", [
    (lambda core, paths: None, lambda core, paths, _: core.read(paths, "mdy", 1)),
    (lambda core, paths: core.read(paths, "mdy", 1)[0],
     lambda core, paths, survey: survey.grid(None, 0.25, None, "mincurv", False, 0.0)),
])
def test_the_gil_is_released_while_the_core_works(day, prepare, work):
    from corvane import _corvane

    paths = [os.fsencode(p) for p in day]
    prepared = prepare(_corvane, paths)
    # How long the call takes alone: a main thread held off by the GIL runs again only
    # once the call has returned, so it never runs in the first half of that time.
    alone = []
    for _ in range(3):
        start = time.perf_counter()
        work(_corvane, paths, prepared)
        alone.append(time.perf_counter() - start)
    half = min(alone) / 2
    # A busy machine may not schedule the main thread within one short call: a few tries.
    for _ in range(10):
        began, ticks = [], []

        def run():
            began.append(time.perf_counter())
            work(_corvane, paths, prepared)

        thread = threading.Thread(target=run)
        thread.start()
        while thread.is_alive():
            ticks.append(time.perf_counter())
        thread.join()
        if any(began[0] < t < began[0] + half for t in ticks):
            return
    pytest.fail("the main thread never ran while the core worked")
