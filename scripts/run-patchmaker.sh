#!/bin/bash
# Starts patchmaker.exe under Wine and returns when it is closed, with its exit
# code. It runs from build/<b>/run/, where its Config.ini stays between runs, in
# a prefix of its own. Arguments go to the program (a .patch2 path installs it).
# Without a display it runs headless under Xvfb.
# Build first: cmake --build build/windows --target patchmaker
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build_name=windows
build="$root/build/$build_name"
export WINEPREFIX="$build/wineprefix-run"
source "$root/scripts/wine-env.sh"

program="$build/patchmaker/patchmaker.exe"
if [ ! -f "$program" ]; then
  echo "missing $program: cmake --build build/$build_name --target patchmaker" >&2
  exit 2
fi

xvfb_pid=""
cleanup() {
  # Headless, the Wine processes go with the display; with a real display they end on their own.
  if [ -n "$xvfb_pid" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
program_pid=""
# A GUI program under Wine ignores SIGINT, so Ctrl-C ends it here.
stop() {
  if [ -n "$program_pid" ]; then kill -TERM "$program_pid" 2>/dev/null; wait "$program_pid" 2>/dev/null; fi
  exit 130
}
trap stop INT TERM

if [ -z "${DISPLAY:-}" ]; then
  number=97
  while [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number + 1)); done
  # A session of its own: Ctrl-C stops the program, and the display outlives it for the cleanup.
  setsid Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
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
  echo "run: no DISPLAY, so patchmaker runs headless on Xvfb $DISPLAY (WINEPREFIX=$WINEPREFIX)."
  echo "run: screenshot with: DISPLAY=$DISPLAY import -window root shot.png; stop with Ctrl-C."
fi

bash "$root/scripts/wine-prefix.sh"

folder="$build/run"
mkdir -p "$folder"
cp -f "$program" "$folder/patchmaker.exe"
echo "run: $folder/patchmaker.exe"
cd "$folder" || exit 2
"$WINE" "$folder/patchmaker.exe" "$@" </dev/null &
program_pid=$!
wait "$program_pid"
code=$?
program_pid=""
echo "run: patchmaker exited with code $code"
exit "$code"
