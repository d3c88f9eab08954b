#!/bin/bash
# Smoke test of the Win32 host under Wine: runs tests/win32's demo program,
# drives it with the driver in three phases and takes a screenshot after the
# first two (page 0 and page 1). Starts Xvfb when there is no display. Uses a
# prefix of its own, so that ending its Wine processes touches nobody else.
# Build first: cmake --build build/$(bash scripts/wine-build.sh) --target demo driver
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_name="$(bash "$root/scripts/wine-build.sh")"
build="$root/build/$build_name"
export WINEPREFIX="$build/wineprefix-smoke"
source "$root/scripts/wine-env.sh"

demo="$build/tests/win32/demo.exe"
driver="$build/tests/win32/driver.exe"
if [ ! -f "$demo" ] || [ ! -f "$driver" ]; then
  echo "missing $demo or $driver: cmake --build build/$build_name --target demo driver" >&2
  exit 2
fi

xvfb_pid=""
demo_pid=""
cleanup() {
  if [ -n "$demo_pid" ] && kill -0 "$demo_pid" 2>/dev/null; then kill "$demo_pid" 2>/dev/null; fi
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  number=97
  while [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number + 1)); done
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$number"
  for _ in $(seq 100); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
    echo "Xvfb did not start on $DISPLAY" >&2
    exit 2
  fi
fi

bash "$root/scripts/wine-prefix.sh" --start

# A value for the demo's registry read; the profile file it writes starts afresh.
"$WINE" reg add 'HKCU\Software\Vantro\QelmarDemo' /v Path /t REG_EXPAND_SZ /d '%SystemRoot%\测试' /f \
  >/dev/null 2>&1 </dev/null
rm -f "$build/tests/win32/demo.ini"

"$WINE" "$demo" </dev/null >"$build/demo.log" 2>&1 &
demo_pid=$!

passed=0
failed=0
: >"$build/driver.log"
# Runs one phase of the driver and adds its last line's counts.
phase() {
  local output
  output="$("$WINE" "$driver" "$1" </dev/null 2>>"$build/driver.log")"
  printf '%s\n' "$output" | tee -a "$build/driver.log" | sed '$d'
  local last
  last="$(printf '%s\n' "$output" | tail -n 1 | tr -d '\r')"
  if [[ "$last" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
  else
    echo "FAIL driver phase $1 gave no counts: $last"
    failed=$((failed + 1))
  fi
}

phase first
import -window root "$build/demo.png" || echo "screenshot failed" >&2
phase second
import -window root "$build/demo-page1.png" || echo "screenshot failed" >&2
phase close

wait "$demo_pid"
demo_code=$?
demo_pid=""
if [ "$demo_code" -eq 0 ]; then
  echo "ok   the demo's process ended with exit code 0"
  passed=$((passed + 1))
else
  echo "FAIL the demo's process ended with exit code $demo_code"
  failed=$((failed + 1))
fi
echo "screenshots: $build/demo.png $build/demo-page1.png"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
