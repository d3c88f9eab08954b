#!/bin/bash
# Smoke test of the real patchmaker.exe under Wine: starts it with no
# arguments from a scratch folder (no Config.ini), checks its window and units
# with tests/win32's patchmaker_smoke driver, takes a screenshot of each page,
# closes it and checks the exit code. Starts Xvfb when there is no display.
# Uses a prefix of its own, so that ending its Wine processes touches nobody else.
# Build first: cmake --build build/$(bash scripts/wine-build.sh) --target patchmaker patchmaker_smoke
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_name="$(bash "$root/scripts/wine-build.sh")"
build="$root/build/$build_name"
export WINEPREFIX="$build/wineprefix-smoke-pm"
source "$root/scripts/wine-env.sh"

program="$build/patchmaker/patchmaker.exe"
driver="$build/tests/win32/patchmaker_smoke.exe"
if [ ! -f "$program" ] || [ ! -f "$driver" ]; then
  echo "missing $program or $driver: cmake --build build/$build_name --target patchmaker patchmaker_smoke" >&2
  exit 2
fi

xvfb_pid=""
program_pid=""
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid" 2>/dev/null; fi
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

# The program reads Config.ini beside itself: a fresh copy in a folder of its own.
scratch="$build/smoke-pm"
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$program" "$scratch/patchmaker.exe"

passed=0
failed=0
geometry=""
log="$build/patchmaker-smoke.log"
: >"$log"
# Runs one phase of the driver, adds its last line's counts and keeps the
# window's geometry when it prints one.
phase() {
  local output
  output="$("$WINE" "$driver" "$1" </dev/null 2>>"$log")"
  # Its texts are GBK, as the program's are.
  output="$(printf '%s\n' "$output" | tr -d '\r' | iconv -c -f GBK -t UTF-8)"
  printf '%s\n' "$output" >>"$log"
  printf '%s\n' "$output" | sed '$d' | grep -v '^geometry '
  geometry="$(printf '%s\n' "$output" | sed -n 's/^geometry \([0-9]*x[0-9]*+[0-9]*+[0-9]*\)$/\1/p')"
  local last
  last="$(printf '%s\n' "$output" | tail -n 1)"
  if [[ "$last" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
  else
    echo "FAIL driver phase $1 gave no counts: $last"
    failed=$((failed + 1))
  fi
}

# The window alone when its place is known, else the whole screen.
screenshot() {
  if [ -n "$geometry" ]; then
    import -window root -crop "$geometry" +repage "$1" || echo "screenshot failed" >&2
  else
    import -window root "$1" || echo "screenshot failed" >&2
  fi
}

phase reset
(cd "$scratch" && exec "$WINE" "$scratch/patchmaker.exe" </dev/null >"$build/patchmaker-smoke-program.log" 2>&1) &
program_pid=$!

phase check
screenshot "$build/patchmaker-page0.png"
phase page1
screenshot "$build/patchmaker-page1.png"
phase close

wait "$program_pid"
code=$?
program_pid=""
if [ "$code" -eq 0 ]; then
  echo "ok   patchmaker's process ended with exit code 0"
  passed=$((passed + 1))
else
  echo "FAIL patchmaker's process ended with exit code $code"
  failed=$((failed + 1))
fi
if [ -e "$scratch/Config.ini" ]; then
  echo "FAIL patchmaker wrote a Config.ini without being asked to"
  failed=$((failed + 1))
else
  echo "ok   no Config.ini was written"
  passed=$((passed + 1))
fi
echo "screenshots: $build/patchmaker-page0.png $build/patchmaker-page1.png"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
