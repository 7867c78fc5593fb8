#!/usr/bin/env bash
# oasis-dump on databases of N lines and N channels (1000 and 3000 unless given), every
# channel associated with the first line and each line holding ten values in two channels:
# prints the seconds each dump takes and the lines it prints.
#   [BUILD=build-folder] bench/geo_oppi/run_oasis_dump_bench.sh [N...]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target oasis-dump >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000 3000)
for n in "${sizes[@]}"; do
  db="$work/symbols_$n.gdb"
  # The library's tables, as it makes them (oasis-dump reads no other).
  sqlite3 "$db" <<SQL
BEGIN;
CREATE TABLE oasis(format TEXT NOT NULL);
CREATE TABLE symbol(id INTEGER PRIMARY KEY, name TEXT NOT NULL, type INTEGER NOT NULL, category INTEGER NOT NULL, width INTEGER, decimals INTEGER, format INTEGER, unit TEXT);
CREATE INDEX symbol_name ON symbol(name, type);
CREATE TABLE association(line INTEGER NOT NULL, channel INTEGER NOT NULL, PRIMARY KEY(line, channel));
CREATE TABLE channel_data(line INTEGER NOT NULL, channel INTEGER NOT NULL, count INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(line, channel));
INSERT INTO oasis VALUES('geo_oppi Oasis database 1');
WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < $n)
INSERT INTO symbol(id, name, type, category) SELECT i, 'L' || i, 1, 100 FROM k
  UNION ALL SELECT $n + i, 'C' || i, 2, 5 FROM k;
INSERT INTO association SELECT 1, id FROM symbol WHERE type = 2;
INSERT INTO channel_data SELECT id, $n + 1, 10, zeroblob(80) FROM symbol WHERE type = 1
  UNION ALL SELECT id, 2 * $n, 10, zeroblob(80) FROM symbol WHERE type = 1;
COMMIT;
SQL
  start=$(date +%s.%N)
  "$build/geo_oppi/oasis-dump" "$db" >"$work/out"
  end=$(date +%s.%N)
  printf '%5d lines x %5d channels  %8.3f s  %8d lines printed\n' "$n" "$n" "$(echo "$end - $start" | bc)" \
    "$(wc -l <"$work/out")"
done
