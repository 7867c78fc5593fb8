#!/usr/bin/env bash
# Dump files -> a pandas DataFrame of corrected readings: corvane.read(DIR).readings() against
# corvane-batch's read and match alone, corvane-batch --xyz followed by pandas.read_fwf, and the
# NumPy/pandas pipeline of the XYZ bench, in one run. Prints the times, their ratios and the
# peak memory per reading of the Python read.
#   bench/python/run_python_bench.sh [MEGABYTES]
# BUILD_DIR names the build folder to use (default: build).
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target xyz_bench corvane-batch _corvane >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build"/bench/survey_app/xyz_bench generate "${1:-100}" "$work/dumps"
# Every run reads the files warm from the page cache.
cat "$work"/dumps/* >/dev/null
BUILD_DIR=$build scripts/python bench/python/readings_bench.py "$work/dumps" "$build"
