#!/usr/bin/env bash
# Builds the reader benchmark in the main build folder and prints its figures: the
# processing run on one thread and on every core, each as a ratio to a plain line read.
#   bench/survey_app/run_reader_bench.sh [MEGABYTES]
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/setup
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target reader_bench >/dev/null
build/bench/survey_app/reader_bench "${1:-100}"
