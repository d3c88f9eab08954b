#!/bin/bash
# Builds the named targets of the 32-bit build (build/windows), configuring it
# first when needed; prints the build log's tail only when the build fails.
# Usage: build-wine-targets.sh LOG_NAME TARGET...
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
log_name="$1"
shift
cd "$root"
if [ ! -f build/windows/CMakeCache.txt ]; then
  make --no-print-directory build/windows/CMakeCache.txt || exit 1
fi
log="build/windows/$log_name-build.log"
if ! cmake --build build/windows -j"$(nproc)" --target "$@" >"$log" 2>&1; then
  tail -n 50 "$log"
  exit 1
fi
