#!/bin/bash
# Smoke test of the real patchsetup.exe under Wine: writes its Config.ini with
# an install folder, starts it, checks its window and units with tests/win32's
# patchsetup_smoke driver, takes a screenshot, lets the driver run a cancelled
# and two real installs, closes it and checks the exit code. Starts Xvfb when
# there is no display. Uses a prefix of its own, so that ending its Wine
# processes touches nobody else.
# Build first: cmake --build build/windows --target patchsetup patchsetup_smoke
set -uo pipefail
# shellcheck source=scripts/smoke-lib.sh
source "$(dirname "$0")/smoke-lib.sh" wineprefix-smoke-setup

program="$build/patchsetup/patchsetup.exe"
smoke_driver="$build/tests/win32/patchsetup_smoke.exe"
smoke_require "$program" "$smoke_driver" "patchsetup patchsetup_smoke"
config="$(dirname "$program")/Config.ini"
smoke_remove_on_exit+=("$config")
smoke_start

# The install folder, with a Chinese name, as Wine sees it (drive Z:); the
# program's own Config.ini beside it names that folder, in GBK.
install_dir="$build/smoke-setup/游戏目录"
rm -rf "$build/smoke-setup"
mkdir -p "$install_dir"
install_dir_win="Z:$(printf '%s' "$install_dir" | tr '/' '\\')"
printf '[目录]\r\n安装目录=%s\r\n' "$install_dir_win" | iconv -f UTF-8 -t GBK >"$config"

"$WINE" "$program" </dev/null >"$build/patchsetup.log" 2>&1 &
smoke_program_pid=$!

smoke_log="$build/patchsetup-smoke.log"
: >"$smoke_log"
# The window lies at 50, 50 and is 450 x 310: a margin around it.
smoke_phase look "$install_dir_win"
smoke_screenshot "$build/patchsetup.png" 490x350+30+30
smoke_phase work "$install_dir_win"
smoke_screenshot "$build/patchsetup-installed.png" 490x350+30+30
smoke_phase close "$install_dir_win"

smoke_program_ends "patchsetup's process"
echo "screenshots: $build/patchsetup.png $build/patchsetup-installed.png"
smoke_finish
