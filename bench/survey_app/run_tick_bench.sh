#!/usr/bin/env bash
# Builds the tick benchmark in ./build (or $BUILD_DIR, configuring it if needed) and prints
# the median milliseconds from ticking a base session or a file node in the window to an
# idle window, on the 100 MB day (or MEGABYTES), without and with the survey map open.
#   bench/survey_app/run_tick_bench.sh [MEGABYTES] [TICKS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD_DIR:-build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target tick_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen "$build/bench/survey_app/tick_bench" "$work/dumps" "${1:-100}" "${2:-6}"
