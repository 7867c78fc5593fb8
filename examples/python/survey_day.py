#!/usr/bin/env python3
"""A survey day with the corvane module: the bundled sample dumps read, corrected, looked at
and written as XYZ, the way a notebook would do it.

    scripts/python examples/python/survey_day.py [PICTURE.png] [OUT.xyz]

PICTURE.png defaults to examples/python/pictures/survey_day.png, OUT.xyz to survey_day.xyz
in the system's temporary folder. survey_day.ipynb holds the same cells; open it in
examples/python, with the build's package on PYTHONPATH.
"""
# %%
import sys
import tempfile
from pathlib import Path

import matplotlib

# A notebook draws inline; the script draws without a display.
IN_NOTEBOOK = "ipykernel" in sys.modules
if not IN_NOTEBOOK:
    matplotlib.use("Agg")
import matplotlib.pyplot as plt

import corvane

HERE = Path(__file__).resolve().parent if "__file__" in globals() else Path.cwd()
SAMPLES = HERE.parents[1] / "samples"
BASE_FIELD = 57500.0
arguments = [] if IN_NOTEBOOK else sys.argv[1:]
picture = Path(arguments[0]) if len(arguments) > 0 else HERE / "pictures" / "survey_day.png"
xyz = Path(arguments[1]) if len(arguments) > 1 else Path(tempfile.gettempdir()) / "survey_day.xyz"

# %% [markdown]
# Both sample dumps (the *.dat files of samples/) are dated month/day/year. Every block of
# them, base sessions and field lines, with the base session that covers each field line:

# %%
survey = corvane.read(SAMPLES, date_order="mdy", pattern="*.dat")
print(survey.blocks.to_string(index=False))

# %% [markdown]
# The readings as the XYZ export writes them, corrected for the diurnal drift and lifted by
# the base field so that raw, base and corrected values share one axis. The profile is the
# field line with the most readings.

# %%
readings = survey.readings(base_field=BASE_FIELD)
# Block numbers count within a file.
file, block = readings.groupby(["file", "block"], observed=True).size().idxmax()
line = readings[(readings["file"] == file) & (readings["block"] == block)].sort_values("x")
field = readings.dropna(subset=["corrected"])
print(f"{len(readings)} readings, {len(field)} corrected; the profile is block {block} of {file}")

# %% [markdown]
# The minimum-curvature grid of the same corrected values, with y growing northwards.

# %%
grid = survey.grid(base_field=BASE_FIELD)
print(f"grid: {grid.sizes['x']} x {grid.sizes['y']} nodes, {int(grid.notnull().sum())} of them valued; {grid.attrs}")

# %% [markdown]
# The profile above, and the corrected readings on the map beside the grid, in one picture
# with one colour scale.

# %%
figure = plt.figure(figsize=(11, 8.5), dpi=100, layout="constrained")
axes = figure.subplot_mosaic([["profile", "profile"], ["map", "grid"]], height_ratios=[1, 1.5])

# Raw is dashed: on a quiet day it lies under the corrected profile.
for column, colour, style in (("raw", "black", "--"), ("base", "tab:orange", "-"), ("corrected", "tab:blue", "-")):
    axes["profile"].plot(line["x"], line[column], style, color=colour, marker=".", markersize=3, label=column)
axes["profile"].set(title=f"Line {line['line'].iloc[0]} ({file})", xlabel="station (m)", ylabel="field (nT)")
axes["profile"].legend(loc="best")

scale = matplotlib.colors.Normalize(float(field["corrected"].min()), float(field["corrected"].max()))
axes["map"].scatter(field["x"], field["y"], c=field["corrected"], s=6, cmap="viridis", norm=scale)
axes["map"].set(title="Corrected readings", xlabel="x (m)", ylabel="y (m)", aspect="equal")

half = grid.attrs["cell"] / 2
extent = (float(grid.x[0]) - half, float(grid.x[-1]) + half, float(grid.y[0]) - half, float(grid.y[-1]) + half)
image = axes["grid"].imshow(grid.values, origin="lower", extent=extent, cmap="viridis", norm=scale,
                            interpolation="nearest")
axes["grid"].contour(grid.x, grid.y, grid.values, levels=12, colors="black", linewidths=0.5)
axes["grid"].set(title=f"Grid ({grid.attrs['method']}, {grid.attrs['cell']:g} m cells)", xlabel="x (m)",
                 ylabel="y (m)", aspect="equal")
figure.colorbar(image, ax=[axes["map"], axes["grid"]], label="corrected field (nT)", shrink=0.8)

picture.parent.mkdir(parents=True, exist_ok=True)
figure.savefig(picture)
print(f"picture: {picture}")

# %% [markdown]
# The same readings written as an XYZ file (an existing file is replaced).

# %%
written = survey.export_xyz(xyz, base_field=BASE_FIELD)
print(f"XYZ: {written.path}, {written.lines} lines, {written.readings} readings")
