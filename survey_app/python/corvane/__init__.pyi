import os
from typing import Literal, NamedTuple, Sequence, overload

import numpy as np
import numpy.typing as npt
import pandas as pd
import xarray as xr

_Path = str | os.PathLike[str]

class SurveyWarning(UserWarning): ...
class ExportFailed(OSError): ...

class ExportSummary(NamedTuple):
    path: str
    lines: int
    readings: int
    message: str

def read(
    paths: _Path | Sequence[_Path],
    date_order: Literal["auto", "mdy", "dmy", "ymd"] = "auto",
    jobs: int | None = None,
    *,
    pattern: str | None = None,
) -> Survey: ...

class Survey:
    @property
    def files(self) -> list[str]: ...
    @property
    def unread(self) -> list[str]: ...
    @property
    def blocks(self) -> pd.DataFrame: ...
    @overload
    def readings(
        self,
        corrected: bool = True,
        base_field: float | None = None,
        raw: bool = False,
        as_numpy: Literal[False] = False,
        *,
        export_all: bool = False,
        export_base: bool = False,
    ) -> pd.DataFrame: ...
    @overload
    def readings(
        self,
        corrected: bool = True,
        base_field: float | None = None,
        raw: bool = False,
        *,
        as_numpy: Literal[True],
        export_all: bool = False,
        export_base: bool = False,
    ) -> dict[str, npt.NDArray[np.generic]]: ...
    def uncheck(self, key: str) -> None: ...
    def check(self, key: str) -> None: ...
    def export_xyz(
        self,
        path: _Path,
        base_field: float | str,
        no_corrections: bool = False,
        export_all: bool = False,
        export_base: bool = False,
    ) -> ExportSummary: ...
    def export_oasis(
        self,
        path: _Path,
        base_field: float | str,
        no_corrections: bool = False,
        export_all: bool = False,
        export_base: bool = False,
    ) -> ExportSummary: ...
    def grid(
        self,
        cell: float | None = None,
        tension: float = 0.25,
        blank: float | None = None,
        method: Literal["mincurv", "lines"] = "mincurv",
        raw: bool = False,
        *,
        base_field: float = 0.0,
    ) -> xr.DataArray: ...
