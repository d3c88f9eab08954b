#!/bin/bash
# Builds the named targets in the build this machine's Wine runs, configuring
# it first when needed; prints the build log's tail only when the build fails.
# Usage: build-wine-targets.sh LOG_NAME TARGET...
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
wb="$(bash "$root/scripts/wine-build.sh")"
log_name="$1"
shift
cd "$root"
if [ ! -f "build/$wb/CMakeCache.txt" ]; then
  make --no-print-directory "build/$wb/CMakeCache.txt" || exit 1
fi
log="build/$wb/$log_name-build.log"
if ! cmake --build "build/$wb" -j"$(nproc)" --target "$@" >"$log" 2>&1; then
  tail -n 50 "$log"
  exit 1
fi
