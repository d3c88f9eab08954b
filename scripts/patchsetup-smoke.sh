#!/bin/bash
# Smoke test of the real patchsetup.exe under Wine: writes its Config.ini with
# an install folder, starts it, checks its window and units with tests/win32's
# patchsetup_smoke driver, takes a screenshot, lets the driver run a cancelled
# and two real installs, closes it and checks the exit code. Starts Xvfb when
# there is no display. Uses a prefix of its own, so that ending its Wine
# processes touches nobody else.
# Build first: cmake --build build/$(bash scripts/wine-build.sh) --target patchsetup patchsetup_smoke
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_name="$(bash "$root/scripts/wine-build.sh")"
build="$root/build/$build_name"
export WINEPREFIX="$build/wineprefix-smoke-setup"
source "$root/scripts/wine-env.sh"

program="$build/patchsetup/patchsetup.exe"
driver="$build/tests/win32/patchsetup_smoke.exe"
if [ ! -f "$program" ] || [ ! -f "$driver" ]; then
  echo "missing $program or $driver: cmake --build build/$build_name --target patchsetup patchsetup_smoke" >&2
  exit 2
fi
config="$(dirname "$program")/Config.ini"

xvfb_pid=""
program_pid=""
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid" 2>/dev/null; fi
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -f "$config"
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

# The install folder, with a Chinese name, as Wine sees it (drive Z:); the
# program's own Config.ini beside it names that folder, in GBK.
install_dir="$build/smoke-setup/游戏目录"
rm -rf "$build/smoke-setup"
mkdir -p "$install_dir"
install_dir_win="Z:$(printf '%s' "$install_dir" | tr '/' '\\')"
printf '[目录]\r\n安装目录=%s\r\n' "$install_dir_win" | iconv -f UTF-8 -t GBK >"$config"

"$WINE" "$program" </dev/null >"$build/patchsetup.log" 2>&1 &
program_pid=$!

passed=0
failed=0
log="$build/patchsetup-smoke.log"
: >"$log"
# Runs one phase of the driver and adds its last line's counts.
phase() {
  local output
  output="$("$WINE" "$driver" "$1" "$install_dir_win" </dev/null 2>>"$log")"
  # Its texts are GBK, as the program's are.
  output="$(printf '%s\n' "$output" | tr -d '\r' | iconv -c -f GBK -t UTF-8)"
  printf '%s\n' "$output" >>"$log"
  printf '%s\n' "$output" | sed '$d'
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

phase look
# The window lies at 50, 50 and is 450 x 310: a margin around it.
import -window root -crop 490x350+30+30 +repage "$build/patchsetup.png" || echo "screenshot failed" >&2
phase work
import -window root -crop 490x350+30+30 +repage "$build/patchsetup-installed.png" || echo "screenshot failed" >&2
phase close

wait "$program_pid"
program_code=$?
program_pid=""
if [ "$program_code" -eq 0 ]; then
  echo "ok   patchsetup's process ended with exit code 0"
  passed=$((passed + 1))
else
  echo "FAIL patchsetup's process ended with exit code $program_code"
  failed=$((failed + 1))
fi
echo "screenshots: $build/patchsetup.png $build/patchsetup-installed.png"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
