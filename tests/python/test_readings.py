"""The tables equal what corvane-batch prints and exports for the same run."""

import os
import warnings
from decimal import ROUND_HALF_UP, Decimal

import numpy as np
import pytest

import corvane
from conftest import parse_xyz, read_quietly, run_batch

EXPORT_OPTIONS = [
    ({}, []),
    ({"corrected": False}, ["--no-corrections"]),
    ({"raw": True}, ["--no-corrections"]),
    ({"export_all": True}, ["--export-all"]),
    ({"export_base": True, "base_field": 57500}, ["--export-base"]),
]


def frame_rows(df):
    values = (df[c].to_numpy() for c in ("x", "y", "raw", "base", "corrected"))
    return list(zip(df.line.astype(str), *values, df.time.values.astype("datetime64[s]")))


def as_written(v):
    """A 32-bit value as the file writes it: its shortest text to one decimal, halves away
    from zero (where pandas' round, half to even on the binary value, can differ)."""
    if np.isnan(v):
        return v
    return float(Decimal(str(np.float32(v))).quantize(Decimal("0.1"), ROUND_HALF_UP))


def same_rows(ours, theirs):
    assert len(ours) == len(theirs)
    for a, b in zip(ours, theirs):
        assert a[0] == b[0] and a[6] == b[6], (a, b)
        np.testing.assert_array_equal([as_written(v) for v in a[1:6]], b[1:6], err_msg=str(a))


@pytest.mark.parametrize("source", ["samples", "day"])
@pytest.mark.parametrize("options, flags", EXPORT_OPTIONS)
def test_readings_are_the_xyz_export_unrounded(request, tmp_path, source, options, flags):
    paths = request.getfixturevalue(source)
    survey = read_quietly(paths, date_order="mdy")
    target = tmp_path / "out.xyz"
    base_field = options.get("base_field", 0)
    run_batch("--date-order", "mdy", "--xyz", target, "--base-field", base_field, *flags, *paths)
    df = survey.readings(**options)
    same_rows(frame_rows(df), parse_xyz(target))
    assert len(df) > 0


def test_numpy_columns_are_the_frame_columns(samples):
    survey = read_quietly(samples, date_order="mdy")
    df, arrays = survey.readings(), survey.readings(as_numpy=True)
    assert list(arrays) == list(df.columns)
    for name in ("x", "y", "raw", "base", "corrected"):
        assert arrays[name].dtype == np.float32
        np.testing.assert_array_equal(arrays[name], df[name].to_numpy())
    assert arrays["time"].dtype == np.dtype("datetime64[s]")
    assert (arrays["file"] == df.file.astype(str).to_numpy()).all()
    blocks = survey.blocks.set_index(["file", "number"])
    assert (blocks.loc[list(zip(df.file, df.block)), "line"].to_numpy() == df.line.astype(str).to_numpy()).all()


def tree_and_blocks(paths, *flags):
    out, err, _ = run_batch("--date-order", "mdy", "--tree", "--blocks", *flags, *paths)
    lines = out.splitlines()
    header = lines.index("block\tkind\tnode\tfirst_reading\tnum_readings\tstart_time\tend_time\tline\tbase_block\tbase_cover")
    tree = {fields[0]: fields[1:] for fields in (line.split("\t") for line in lines[:header])}
    blocks = [line.split("\t") for line in lines[header + 1:]]
    return tree, blocks, err


@pytest.mark.parametrize("source", ["samples", "day"])
def test_blocks_and_messages_are_the_batch_tools(request, source):
    paths = request.getfixturevalue(source)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        survey = corvane.read(paths, date_order="mdy")
    tree, printed, err = tree_and_blocks(paths)
    assert "".join(str(w.message) + "\n" for w in caught) == err
    assert all(w.category is corvane.SurveyWarning for w in caught)
    colours = {"green": "full", "blue": "partial", "red": "none", "-": "none"}
    for row, fields in zip(survey.blocks.itertuples(), printed, strict=True):
        _, kind, node, _, readings, start, end, line, base_block, _ = fields
        key, text, checked, colour = tree[node]
        assert row.key == key and row.line == line and str(row.readings) == readings
        assert text.startswith(f"{row.number:04d} ") and row.file == os.path.basename(row.key[4:].split("block")[0])
        assert row.kind == ("Base" if kind == "0" else "Data") and row.ticked == (checked == "1")
        assert row.start.strftime("%Y/%m/%d %H:%M:%S") == start and row.end.strftime("%Y/%m/%d %H:%M:%S") == end
        assert row.cover == (None if row.kind == "Base" else colours[colour])
        base_key = None if base_block == "0" else survey.blocks.key[int(base_block) - 1]
        assert row.base == base_key


@pytest.mark.parametrize("keys", [
    ["fileenvimag_0709.datblock0001"],          # the base block: lines lose their cover
    ["filemp2_0710.datblock0003"],              # a data line
    ["mp2_0710.dat"],                       # a whole file
    ["filemp2_0710.datblock0001", "filemp2_0710.datblock0006"],
])
def test_uncheck_changes_the_rows_uncheck_changes(samples, tmp_path, keys):
    survey = read_quietly(samples, date_order="mdy")
    before = len(survey.readings())
    for key in keys:
        survey.uncheck(key)
    target = tmp_path / "out.xyz"
    flags = [f for key in keys for f in ("--uncheck", key)]
    run_batch("--date-order", "mdy", "--xyz", target, "--base-field", 0, *flags, *samples)
    same_rows(frame_rows(survey.readings()), parse_xyz(target))
    assert len(survey.readings()) < before
    assert not survey.blocks.set_index("key").loc[keys[0], "ticked"] if "block" in keys[0] else True
    for key in keys:
        survey.check(key)
    assert len(survey.readings()) == before
