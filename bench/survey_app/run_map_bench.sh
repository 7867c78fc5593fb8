#!/usr/bin/env bash
# Builds the survey-map benchmark in ./build (or $BUILD_DIR, configuring it if needed) and
# prints the seconds from the model of the 100 MB day (2.5 million readings, or MEGABYTES)
# to the painted map, with the shares of its two halves, and the peak bytes a dot of the
# map takes above the model (the map's data, the graph and the picture of corvane-batch --map).
#   bench/survey_app/run_map_bench.sh [MEGABYTES]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target map_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$build/bench/survey_app/map_bench" "$work/dumps" "${1:-100}"
