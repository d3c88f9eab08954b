#!/bin/bash
# Smoke test of the Win32 host under Wine: runs tests/win32's demo program,
# drives it with the driver in three phases and takes a screenshot after the
# first two (page 0 and page 1). Starts Xvfb when there is no display. Uses a
# prefix of its own, so that ending its Wine processes touches nobody else.
# Build first: cmake --build build/windows --target demo driver
set -uo pipefail
# shellcheck source=scripts/smoke-lib.sh
source "$(dirname "$0")/smoke-lib.sh" wineprefix-smoke

demo="$build/tests/win32/demo.exe"
smoke_driver="$build/tests/win32/driver.exe"
smoke_require "$demo" "$smoke_driver" "demo driver"
smoke_start

# A value for the demo's registry read; the profile file it writes starts afresh.
"$WINE" reg add 'HKCU\Software\Vantro\QelmarDemo' /v Path /t REG_EXPAND_SZ /d '%SystemRoot%\测试' /f \
  >/dev/null 2>&1 </dev/null
rm -f "$build/tests/win32/demo.ini"

"$WINE" "$demo" </dev/null >"$build/demo.log" 2>&1 &
smoke_program_pid=$!

smoke_log="$build/driver.log"
: >"$smoke_log"
smoke_phase first
smoke_screenshot "$build/demo.png"
smoke_phase second
smoke_screenshot "$build/demo-page1.png"
smoke_phase close

smoke_program_ends "the demo's process"
echo "screenshots: $build/demo.png $build/demo-page1.png"
smoke_finish
