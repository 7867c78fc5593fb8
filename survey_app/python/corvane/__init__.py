"""Corvane's survey core for notebooks: a season of Scintrex dump readings as pandas and
xarray objects.

>>> import corvane
>>> survey = corvane.read("samples", date_order="mdy")
>>> survey.blocks                      # one row per block
>>> df = survey.readings()             # the rows `corvane-batch --xyz` writes
>>> grid = survey.grid()               # xarray.DataArray, dims ("y", "x")

Reading, matching, exporting and gridding run without the GIL. Messages of a run (the
lines corvane-batch prints on stderr) are issued as `SurveyWarning`s.
"""

from __future__ import annotations

import fnmatch
import os
import warnings
from typing import NamedTuple

import numpy as np
import pandas as pd

from . import _corvane

__all__ = ["read", "Survey", "SurveyWarning", "ExportSummary", "ExportFailed"]


class SurveyWarning(UserWarning):
    """A message of a processing run, as corvane-batch prints it."""


class ExportFailed(OSError):
    """An export that failed: the message the batch tool prints, and the target as its
    filename."""

    def __str__(self):
        return self.strerror


class ExportSummary(NamedTuple):
    """What an export wrote: its path, the lines and readings written, and its closing
    message ("Export complete", the counts, the blocks left out)."""

    path: str
    lines: int
    readings: int
    message: str


def _warn(messages):
    for text in messages:
        warnings.warn(text, SurveyWarning, stacklevel=3)


def _path_text(path, what="paths"):
    """A str or os.PathLike as a str; TypeError for anything else."""
    if isinstance(path, (str, bytes, os.PathLike)):
        return os.fsdecode(os.fspath(path))
    raise TypeError(f"{what} needs a str, os.PathLike or a list of them, not {type(path).__name__}")


def _folder_files(folder, pattern):
    """The regular files in `folder` (whose names match `pattern`), sorted by name."""
    with os.scandir(folder) as entries:
        names = sorted(e.name for e in entries if e.is_file())
    if pattern is not None:
        names = [n for n in names if fnmatch.fnmatchcase(n, pattern)]
    return [os.path.join(folder, n) for n in names]


def _dump_paths(paths, pattern):
    """The files a `read` call names, in order: each path as given, a folder's files by name."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        given = [_path_text(paths)]
    elif isinstance(paths, (list, tuple)):
        given = [_path_text(p) for p in paths]
    else:
        raise TypeError(f"paths needs a str, os.PathLike or a list of them, not {type(paths).__name__}")
    if pattern is not None and not isinstance(pattern, str):
        raise TypeError(f"pattern needs a str, not {type(pattern).__name__}")
    files = []
    for path in given:
        if os.path.isdir(path):
            found = _folder_files(path, pattern)
            if not found:
                what = f"matching {pattern} " if pattern is not None else ""
                raise FileNotFoundError(2, f"The folder {path} holds no file {what}to read", path)
            files += found
        elif not os.path.lexists(path):
            raise FileNotFoundError(2, f"The file {path} does not exist", path)
        else:
            files.append(path)
    return files


def read(paths, date_order="auto", jobs=None, *, pattern=None):
    """Reads and matches dump files as `corvane-batch` does.

    `paths`: a file or folder (str or os.PathLike) or a list of them; a folder stands for
    every regular file in it, sorted by name, or those whose names match the glob `pattern`.
    A later file whose name is already listed is left out, as the batch tool leaves it out.
    `date_order`: "auto", "mdy", "dmy" or "ymd". `jobs`: files read at a time (default: one
    per core); the result is the same.

    Every message of the run becomes a `SurveyWarning`. A path that does not exist raises
    FileNotFoundError; a file that cannot be opened or read to its end raises nothing: it
    is listed in `Survey.unread`, with what was read of it kept.
    """
    if not isinstance(date_order, str):
        raise TypeError(f"date_order needs a str, not {type(date_order).__name__}")
    if jobs is not None and (isinstance(jobs, bool) or not isinstance(jobs, int)):
        raise TypeError(f"jobs needs an int or None, not {type(jobs).__name__}")
    files = _dump_paths(paths, pattern)
    core, messages = _corvane.read([os.fsencode(f) for f in files], date_order, jobs)
    _warn(messages)
    return Survey(core, files)


def _number(value, what):
    if isinstance(value, bool) or not isinstance(value, (int, float, np.integer, np.floating)):
        raise TypeError(f"{what} needs a number, not {type(value).__name__}")
    return float(value)


def _optional_number(value, what):
    return None if value is None else _number(value, what)


class Survey:
    """The blocks and readings of one processing run, with the block tree's ticks.

    Changing the ticks (`uncheck`, `check`) matches the blocks again, as the tree does.
    """

    def __init__(self, core, files):
        self._core = core
        self._files = list(files)

    def __repr__(self):
        return f"<corvane.Survey: {len(self._files)} files, {self._core.reading_count} readings>"

    @property
    def files(self):
        """The paths read, in order."""
        return list(self._files)

    @property
    def unread(self):
        """The paths of the files that could not be opened or read to their end."""
        return self._core.unread

    @property
    def blocks(self):
        """One row per block, in block order.

        file, number (within its file, from 1), key (the tree node's key), kind ("Base" or
        "Data"), line, date (the day it starts), readings, start, end, ticked, cover (a
        data block's cover by base data: "full", "partial" or "none"; None for a base
        block) and base (the key of the covering base block; None when none).
        """
        return pd.DataFrame(self._core.blocks())

    def readings(self, corrected=True, base_field=None, raw=False, as_numpy=False, *, export_all=False,
                 export_base=False):
        """The rows `corvane-batch --xyz` writes with the same options, before its rounding.

        Columns: line (name), x, y, raw, base, corrected, time, file, block (the block's
        number within its file, as in `blocks`). Values the file writes as "*" are NaN.
        `df.round(1)` gives the file's numbers but at a tie of a value's shortest decimal
        text (57490.65), which the file rounds away from zero and pandas, working on the
        binary value, may round down.

        corrected=False: the rows of an export with --no-corrections (every ticked data
        line, corrected = raw). raw=True: the readings as read, which --raw maps and
        grids: the same rows and values as corrected=False. base_field (default 0) is
        added to corrected values. export_all and export_base are the export's options.
        as_numpy=True: a dict of NumPy arrays instead (float32 values, datetime64[s]
        times, line and file as str arrays).
        """
        base_field = 0.0 if base_field is None else _number(base_field, "base_field")
        columns = self._core.readings(bool(corrected) and not raw, bool(export_all), bool(export_base), base_field,
                                      nanoseconds=not as_numpy)
        rows = columns.pop("block_row")
        blocks = self._core.blocks()
        names = {
            "line": np.asarray(blocks["line"], dtype=object),
            "file": np.asarray(blocks["file"], dtype=object),
        }
        number = np.asarray(blocks["number"])[rows]
        if as_numpy:
            out = {"line": names["line"][rows].astype(str)}
            out.update((k, columns[k]) for k in ("x", "y", "raw", "base", "corrected", "time"))
            out["file"] = names["file"][rows].astype(str)
            out["block"] = number
            return out
        frame = {"line": _categorical(names["line"], rows)}
        frame.update((k, columns[k]) for k in ("x", "y", "raw", "base", "corrected", "time"))
        frame["file"] = _categorical(names["file"], rows)
        frame["block"] = number
        return pd.DataFrame(frame)

    def uncheck(self, key):
        """Unticks the tree node `key` (a file's key unticks all of its blocks), as
        --uncheck does; matching runs again. ValueError when no node has that key."""
        self._core.set_checked(os.fsencode(_path_text(key, "key")), False)

    def check(self, key):
        """Ticks the tree node `key` again; see `uncheck`."""
        self._core.set_checked(os.fsencode(_path_text(key, "key")), True)

    def export_xyz(self, path, base_field, no_corrections=False, export_all=False, export_base=False):
        """Writes the XYZ file `corvane-batch --xyz PATH --base-field VALUE` writes, byte
        for byte. An existing file is replaced (the batch tool's --overwrite). Returns an
        ExportSummary; warnings are issued for nothing. ValueError for a refused input (no
        file name, a bad base field, a dump file as the target); ExportFailed, an OSError
        with the path as its filename, when the export fails (the file cannot be written,
        the GX library cannot be loaded, a value leaves the float range).
        """
        return self._export(path, base_field, _corvane.export_xyz_button, no_corrections, export_all, export_base)

    def export_oasis(self, path, base_field, no_corrections=False, export_all=False, export_base=False):
        """Writes the Oasis database `corvane-batch --oasis PATH` writes; as `export_xyz`."""
        return self._export(path, base_field, _corvane.export_oasis_button, no_corrections, export_all, export_base)

    def _export(self, path, base_field, button, no_corrections, export_all, export_base):
        target = _path_text(path, "path")
        if isinstance(base_field, bool) or not isinstance(base_field, (str, int, float, np.integer, np.floating)):
            raise TypeError(f"base_field needs a number or its text, not {type(base_field).__name__}")
        if os.path.exists(target) and any(_same_file(target, f) for f in self._files):
            raise ValueError(f"{target} is one of the dump files to read; choose another output file")
        result, messages, lines, readings = self._core.export(
            os.fsencode(target), str(base_field), button, bool(no_corrections), bool(export_all), bool(export_base))
        text = "\n".join(messages)
        if result == "refused":
            raise ValueError(text)
        if result != "complete":
            raise ExportFailed(None, text, target)
        return ExportSummary(target, lines, readings, text)

    def grid(self, cell=None, tension=0.25, blank=None, method="mincurv", raw=False, *, base_field=0.0):
        """The grid of the ticked data lines, as `corvane-batch --grid` makes it.

        cell: the node spacing (default: a quarter of the median line spacing, rounded to
        1, 2 or 5 x 10^k). tension: 0 (minimum curvature) to below 1. blank: nodes farther
        than this from every reading are NaN (default 1.5 x the median line spacing; 0
        blanks none). method: "mincurv" or "lines". raw: grids the readings as read (see
        `readings`). base_field is added to corrected values.

        An xarray.DataArray of dims ("y", "x"), y ascending from the south, with the
        settings used in attrs (cell, tension, blanking, method, raw).
        """
        import xarray as xr

        if not isinstance(method, str):
            raise TypeError(f"method needs a str, not {type(method).__name__}")
        values, x, y, used_cell, blanking = self._core.grid(
            _optional_number(cell, "cell"), _number(tension, "tension"), _optional_number(blank, "blank"), method,
            bool(raw), _number(base_field, "base_field"))
        return xr.DataArray(
            values, dims=("y", "x"), coords={"y": y, "x": x}, name="corrected" if not raw else "raw",
            attrs={"cell": used_cell, "tension": float(tension), "blanking": blanking, "method": method,
                   "raw": bool(raw)})


def _categorical(names, rows):
    """The names of the rows' blocks as a categorical column, one code a row."""
    categories, codes = np.unique(names, return_inverse=True)
    return pd.Categorical.from_codes(codes[rows], categories=categories)


def _same_file(a, b):
    try:
        return os.path.samefile(a, b)
    except OSError:
        return False
