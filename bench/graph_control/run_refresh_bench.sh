#!/usr/bin/env bash
# Installs QCustomPlot for Qt 6 if missing (Debian's packages; GPL, so only this benchmark
# links it), builds the Refresh benchmark in ./build (configuring it if needed) and prints
# its table: ms per Refresh against ms per QCustomPlot replot of the same data.
# Arguments are passed on to the benchmark (--save DIR writes a PNG of each plot).
set -euo pipefail
cd "$(dirname "$0")/../.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Runs a command silently; shows what it printed only when it fails.
quiet() { "$@" >"$log" 2>&1 || { cat "$log" >&2; return 1; }; }

packages=(libqcustomplot-dev libqcustomplot2.1-qt6)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  quiet "${sudo[@]}" apt-get update -qq
  quiet "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ ! -f build/build.ninja ]; then
  quiet cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
else
  # A library installed since the last configure is only found by configuring again.
  quiet cmake build
fi
quiet cmake --build build --target vellum32_refresh_bench
QT_QPA_PLATFORM=offscreen build/bench/graph_control/vellum32_refresh_bench "$@"
