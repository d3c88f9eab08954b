#!/bin/bash
# Smoke test of the real patchmaker.exe under Wine: starts it with no
# arguments from a scratch folder (no Config.ini), checks its window and units
# with tests/win32's patchmaker_smoke driver, takes a screenshot of each page,
# closes it and checks the exit code. Starts Xvfb when there is no display.
# Uses a prefix of its own, so that ending its Wine processes touches nobody else.
# Build first: cmake --build build/windows --target patchmaker patchmaker_smoke
set -uo pipefail
# shellcheck source=scripts/smoke-lib.sh
source "$(dirname "$0")/smoke-lib.sh" wineprefix-smoke-pm

program="$build/patchmaker/patchmaker.exe"
smoke_driver="$build/tests/win32/patchmaker_smoke.exe"
smoke_require "$program" "$smoke_driver" "patchmaker patchmaker_smoke"
smoke_start

# The program reads Config.ini beside itself: a fresh copy in a folder of its own.
scratch="$build/smoke-pm"
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$program" "$scratch/patchmaker.exe"

smoke_log="$build/patchmaker-smoke.log"
: >"$smoke_log"
smoke_phase reset
(cd "$scratch" && exec "$WINE" "$scratch/patchmaker.exe" </dev/null >"$build/patchmaker-smoke-program.log" 2>&1) &
smoke_program_pid=$!

# The window alone when the driver printed its place, else the whole screen.
smoke_phase check
smoke_screenshot "$build/patchmaker-page0.png" "$smoke_geometry"
smoke_phase page1
smoke_screenshot "$build/patchmaker-page1.png" "$smoke_geometry"
smoke_phase close

smoke_program_ends "patchmaker's process"
if [ -e "$scratch/Config.ini" ]; then
  smoke_fail "patchmaker wrote a Config.ini without being asked to"
else
  smoke_pass "no Config.ini was written"
fi
echo "screenshots: $build/patchmaker-page0.png $build/patchmaker-page1.png"
smoke_finish
