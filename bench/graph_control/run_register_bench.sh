#!/usr/bin/env bash
# Builds the RegisterData benchmark in ./build (configuring it if needed) and prints
# its figures: time and peak heap memory of RegisterData against a plain copy, and of the
# plain-array registration against the store it builds.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target vellum32_register_bench >/dev/null
QT_QPA_PLATFORM=offscreen build/bench/graph_control/vellum32_register_bench
