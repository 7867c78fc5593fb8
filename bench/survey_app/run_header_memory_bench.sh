#!/usr/bin/env bash
# Peak memory of a processing run over a dump made only of the shortest headers the reader
# takes as a block (a marker line and two lines that make it invalid: 13 bytes, 3 lines
# each). Prints the peak resident memory of `corvane-batch --tree` above that of a run over
# a one-header file, per header and per header line of input.
#   bench/survey_app/run_header_memory_bench.sh [MEGABYTES] [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/../.."
megabytes="${1:-78}"
build="${2:-build}"
if [[ $# -lt 2 ]]; then
  scripts/setup
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target corvane-batch >/dev/null
batch="$build/survey_app/batch/corvane-batch"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
header=$'SCINTREX\nx\nx'
headers=$((megabytes * 1000000 / 13))
{ yes "$header" || true; } | head -c $((headers * 13)) >"$work/headers.dat"
printf '%s\n' "$header" >"$work/one.dat"

peak_kb() { /usr/bin/time -f %M "$batch" --tree "$1" 2>&1 >/dev/null | tail -n 1; }
base_kb="$(peak_kb "$work/one.dat")"
peak_kb="$(peak_kb "$work/headers.dat")"
awk -v h="$headers" -v b="$base_kb" -v p="$peak_kb" 'BEGIN {
  bytes = (p - b) * 1024
  printf "headers %d (%d bytes of input)\n", h, h * 13
  printf "peak resident %.1f MB, one-header run %.1f MB\n", p / 1024, b / 1024
  printf "bytes per header %.1f, per header line %.1f\n", bytes / h, bytes / (3 * h)
}'
