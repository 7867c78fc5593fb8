#!/usr/bin/env bash
# Builds the block-display benchmark in ./build (configuring it if needed) and prints ms
# per click on a block of 100,000 readings (or READINGS) with its three graphs.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target display_bench >/dev/null
QT_QPA_PLATFORM=offscreen build/bench/survey_app/display_bench "$@"
