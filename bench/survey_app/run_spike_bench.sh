#!/usr/bin/env bash
# Recall and precision of the spike flags on generated profiles and base sessions with
# spikes injected at known places, over windows, tolerances and noise factors; for the
# defaults by spike size and width, and the time taken.
#   [BUILD_DIR=build] bench/survey_app/run_spike_bench.sh [LINES [SEED]]   (1000 lines and 100 base sessions by default)
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${BUILD_DIR:-build}"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target spike_bench >/dev/null
"$build/bench/survey_app/spike_bench" "${1:-1000}" "${2:-1996}"
