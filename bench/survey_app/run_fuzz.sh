#!/usr/bin/env bash
# Fuzzes the dump reader with libFuzzer for SECONDS (default 60), starting from the seed
# corpus. New inputs that libFuzzer finds go to build-fuzz/corpus; a crash is written to
# the current folder as crash-*. Add an input worth keeping to bench/survey_app/fuzz_corpus.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_FUZZ=ON -DCORVANE_GUI=OFF >/dev/null
cmake --build build-fuzz --target fuzz_reader
mkdir -p build-fuzz/corpus
build-fuzz/bench/survey_app/fuzz_reader -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
  build-fuzz/corpus bench/survey_app/fuzz_corpus
