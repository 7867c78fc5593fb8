#!/usr/bin/env bash
# The matching of 80,000 base and 80,000 field blocks that never overlap, one uncheck of a
# base block, and the base values of a field line whose times alternate between morning
# and evening, each against a plain pass over the same tables.
#   bench/survey_app/run_match_bench.sh [BLOCKS [READINGS]]
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target match_bench >/dev/null
build/bench/survey_app/match_bench "${1:-80000}" "${2:-80000}"
