#!/usr/bin/env bash
# Builds the survey-map benchmark in ./build (configuring it if needed) and prints the
# seconds from the model of the 100 MB day (2.5 million readings, or MEGABYTES) to the
# painted map, with the shares of its two halves.
#   bench/survey_app/run_map_bench.sh [MEGABYTES]
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target map_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen build/bench/survey_app/map_bench "$work/dumps" "${1:-100}"
