# shellcheck shell=bash
# Sourced by the scripts/*-smoke.sh: what they share to run a program and a
# tests/win32 driver under Wine, headless when there is no display, and to
# count the checks. Argument: the name of the script's own prefix folder in
# the build, so that ending its Wine processes touches nobody else.
# Sets root, build_name, build and the Wine environment.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_name=windows
build="$root/build/$build_name"
export WINEPREFIX="$build/$1"
source "$root/scripts/wine-env.sh"

smoke_passed=0
smoke_failed=0
smoke_xvfb_pid=""
# The program under test, ended on exit if it still runs.
smoke_program_pid=""
# Files removed on exit.
smoke_remove_on_exit=()
# The driver and where its output and errors go.
smoke_driver=""
smoke_log=""
# The window's place as the driver's last phase printed it ("geometry WxH+X+Y").
smoke_geometry=""
# Where a failed phase's screenshot goes.
smoke_shots="$build"

# Exits with 2 unless the program and the driver are built.
# Usage: smoke_require PROGRAM DRIVER TARGETS
smoke_require() {
  if [ ! -f "$1" ] || [ ! -f "$2" ]; then
    echo "missing $1 or $2: cmake --build build/$build_name --target $3" >&2
    exit 2
  fi
}

smoke_cleanup() {
  if [ -n "$smoke_program_pid" ] && kill -0 "$smoke_program_pid" 2>/dev/null; then
    kill "$smoke_program_pid" 2>/dev/null
  fi
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$smoke_xvfb_pid" ]; then kill "$smoke_xvfb_pid" 2>/dev/null; wait "$smoke_xvfb_pid" 2>/dev/null; fi
  if [ "${#smoke_remove_on_exit[@]}" -gt 0 ]; then rm -f "${smoke_remove_on_exit[@]}"; fi
}

# Sets the cleanup, starts Xvfb when there is no display and readies the prefix.
smoke_start() {
  trap smoke_cleanup EXIT
  if [ -z "${DISPLAY:-}" ]; then
    local number=97
    while [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number + 1)); done
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    smoke_xvfb_pid=$!
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
}

smoke_pass() {
  echo "ok   $1"
  smoke_passed=$((smoke_passed + 1))
}

smoke_fail() {
  echo "FAIL $1"
  smoke_failed=$((smoke_failed + 1))
}

# Runs one phase of the driver (the arguments, the phase first), shows its
# checks, keeps a geometry line it prints and adds its last line's counts.
smoke_phase() {
  local output last
  # Through a file, not a pipe: a program the driver starts could hold a pipe
  # open after the driver has ended. A phase that hangs is cut off.
  timeout "${SMOKE_PHASE_SECONDS:-180}" "$WINE" "$smoke_driver" "$@" </dev/null >"$build/smoke-phase.out" 2>>"$smoke_log"
  output="$(cat "$build/smoke-phase.out")"
  # Its texts are GBK, as the programs' are.
  output="$(printf '%s\n' "$output" | tr -d '\r' | iconv -c -f GBK -t UTF-8)"
  printf '%s\n' "$output" >>"$smoke_log"
  printf '%s\n' "$output" | sed '$d' | grep -v '^geometry '
  # shellcheck disable=SC2034  # read by the scripts that take screenshots
  smoke_geometry="$(printf '%s\n' "$output" | sed -n 's/^geometry \([0-9]*x[0-9]*+[0-9]*+[0-9]*\)$/\1/p')"
  last="$(printf '%s\n' "$output" | tail -n 1)"
  if [[ "$last" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    smoke_passed=$((smoke_passed + BASH_REMATCH[1]))
    smoke_failed=$((smoke_failed + BASH_REMATCH[2]))
    [ "${BASH_REMATCH[2]}" -eq 0 ] && return
  else
    smoke_fail "driver phase $1 gave no counts: $last"
  fi
  smoke_screenshot "$smoke_shots/failed-$1.png"
  echo "screenshot of the failed phase: $smoke_shots/failed-$1.png"
}

# A screenshot of the screen, cropped to GEOMETRY when one is given.
# Usage: smoke_screenshot FILE [GEOMETRY]
smoke_screenshot() {
  if [ -n "${2:-}" ]; then
    import -window root -crop "$2" +repage "$1" || echo "screenshot failed" >&2
  else
    import -window root "$1" || echo "screenshot failed" >&2
  fi
}

# Waits for the program and checks that it ended with exit code 0.
# Usage: smoke_program_ends WHOSE (as in "patchmaker's process")
smoke_program_ends() {
  wait "$smoke_program_pid"
  local code=$?
  smoke_program_pid=""
  if [ "$code" -eq 0 ]; then
    smoke_pass "$1 ended with exit code 0"
  else
    smoke_fail "$1 ended with exit code $code"
  fi
}

# The last line the Makefile shows; fails when a check failed.
smoke_finish() {
  echo "$smoke_passed passed, $smoke_failed failed"
  [ "$smoke_failed" -eq 0 ]
}
