#!/usr/bin/env bash
# The database export of a set of dumps (100 MB unless MEGABYTES) against the XYZ export of
# the same blocks, in one run; prints both times and the ratio.
#   bench/survey_app/run_oasis_bench.sh [MEGABYTES]
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target xyz_bench oasis_bench geo_oppi >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/bench/survey_app/xyz_bench generate "${1:-100}" "$work/dumps" >/dev/null
build/bench/survey_app/oasis_bench "$work/dumps" "$work"
