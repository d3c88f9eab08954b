#!/bin/bash
# Writes docs/performance.md from the benchmarks' JSON output that `make bench`
# leaves in build/bench/results, with the facts of the machine that ran them.
#   scripts/bench-report.sh [results folder] [page]
set -euo pipefail

results=${1:-build/bench/results}
page=${2:-docs/performance.md}
here=$(dirname "$0")

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
compiler_path=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$results/../CMakeCache.txt" 2>/dev/null || true)
compiler=$("${compiler_path:-c++}" --version | head -n 1)
memory=$(awk '/^MemTotal:/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo "?"; }
oracles="Crypto++ $(version libcrypto++-dev), Botan $(version libbotan-2-dev), OpenSSL $(version libssl-dev), GMP $(version libgmp-dev); zlib $(version zlib1g-dev), Google Benchmark $(version libbenchmark-dev)"
date=$(jq -r -s 'map(.context.date) | sort | first' "$results"/*.json)

jq -r -s -f "$here/bench-report.jq" \
  --arg date "$date" --arg cpu "${cpu:-unknown}" --arg cores "$(nproc)" --arg memory "$memory" \
  --arg kernel "$(uname -r)" --arg compiler "$compiler" --arg oracles "$oracles" \
  "$results"/*.json >"$results/page.md"
mv "$results/page.md" "$page"
echo "bench: wrote $page: $(grep -m 1 "^Goals met" "$page")"
