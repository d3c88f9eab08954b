#!/bin/bash
# Runs one build's tests and prints each runner's summary line.
set -uo pipefail
dir="$1"; label="$2"
cd "$dir" || exit 1
ctest --output-on-failure --timeout 1200 > ctest.log 2>&1
rc=$?
# The runners' own summaries, then ctest's closing lines.
grep -E '^\[ *(PASSED|FAILED) *\]|suites? ran\.' Testing/Temporary/LastTest.log | sed "s/^/[$label] /"
tail -n 20 ctest.log | grep -vE '^\s*$' | sed "s/^/[$label] /"
[ $rc -eq 0 ] || { echo "[$label] ctest failed"; cat ctest.log | tail -n 200; }
exit $rc
