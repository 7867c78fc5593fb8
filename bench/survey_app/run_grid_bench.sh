#!/usr/bin/env bash
# Our gridding against `gmt blockmedian` + `gmt surface -T0.25` on the same points, region
# and cell, for the 100 MB generated day (MEGABYTES) and a smooth synthetic survey: the
# times, the difference at the nodes as a share of the data's 2nd-98th percentile range,
# and the RMS at the readings of every fourth line when those lines are left out.
#   bench/survey_app/run_grid_bench.sh [MEGABYTES]
# GMT is the reference only: installed here, never by scripts/setup.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup
if ! command -v gmt >/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends gmt
fi
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target grid_bench xyz_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export GMT_USERDIR="$work/gmt" GMT_TMPDIR="$work"
"$build"/bench/survey_app/xyz_bench generate "${1:-100}" "$work/dumps" >/dev/null
for source in "$work/dumps" synthetic; do
  mkdir -p "$work/run"
  read -r region cell < <("$build"/bench/survey_app/grid_bench points "$source" "$work/run")
  start=$(date +%s.%N)
  gmt blockmedian "$work/run/all.xyz" "$region" "$cell" >"$work/run/bm.xyz"
  gmt surface "$work/run/bm.xyz" "$region" "$cell" -T0.25 -G"$work/run/gmt_all.nc"
  gmt_seconds=$(awk "BEGIN{print $(date +%s.%N) - $start}")
  gmt grd2xyz "$work/run/gmt_all.nc" >"$work/run/gmt_all.txt"
  gmt blockmedian "$work/run/kept.xyz" "$region" "$cell" >"$work/run/bm_kept.xyz"
  gmt surface "$work/run/bm_kept.xyz" "$region" "$cell" -T0.25 -G"$work/run/gmt_kept.nc"
  gmt grd2xyz "$work/run/gmt_kept.nc" >"$work/run/gmt_kept.txt"
  echo "== ${source##*/}"
  "$build"/bench/survey_app/grid_bench compare "$source" "$work/run" "$gmt_seconds"
  rm -rf "$work/run"
done
