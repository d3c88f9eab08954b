#!/bin/bash
# The end-to-end scenarios: the real patchmaker.exe and patchsetup.exe under
# Wine + Xvfb, in a fresh prefix, driven phase by phase by tests/win32's e2e
# driver on a synthetic game folder under C:\e2e. Screenshots of the main
# steps go to build/windows/e2e/shots/; a failed phase prints what the program
# shows and the path of a screenshot.
# Build first: cmake --build build/windows --target patchmaker patchsetup e2e
set -uo pipefail
# shellcheck source=scripts/smoke-lib.sh
source "$(dirname "$0")/smoke-lib.sh" e2e/wineprefix

work="$build/e2e"
smoke_driver="$build/tests/win32/e2e.exe"
smoke_require "$build/patchmaker/patchmaker.exe" "$smoke_driver" "patchmaker patchsetup e2e"
smoke_require "$build/patchsetup/patchsetup.exe" "$smoke_driver" "patchmaker patchsetup e2e"

# A fresh prefix and fresh program folders every run.
rm -rf "$work"
mkdir -p "$work/patchmaker" "$work/patchsetup" "$work/shots"
smoke_shots="$work/shots"
cp "$build/patchmaker/patchmaker.exe" "$work/patchmaker/"
cp "$build/patchsetup/patchsetup.exe" "$work/patchsetup/"
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }
maker_win="$(windows_path "$work/patchmaker")"
# Config.ini is GBK: patchmaker names new files from 保存目录; patchsetup has
# its install folder.
printf '[目录]\r\n保存目录=C:\\e2e\\新版本\r\n' | iconv -f UTF-8 -t GBK >"$work/patchmaker/Config.ini"
printf '[目录]\r\n安装目录=C:\\e2e\\Qelmar-setup\r\n' | iconv -f UTF-8 -t GBK >"$work/patchsetup/Config.ini"

started=$(date +%s)
smoke_start
rm -rf "$WINEPREFIX/drive_c/e2e"
smoke_log="$work/e2e.log"
: >"$smoke_log"

# Runs a program from its own folder in the background.
start_program() {
  (cd "$(dirname "$1")" && exec "$WINE" "$1" </dev/null >"$work/$(basename "$1" .exe).log" 2>&1) &
  smoke_program_pid=$!
}

echo "-- prepare"
smoke_phase prepare

echo "-- patchmaker: generate, edit, convert"
start_program "$work/patchmaker/patchmaker.exe"
smoke_phase generate
smoke_screenshot "$smoke_shots/patchmaker-generate.png" "$smoke_geometry"
smoke_phase edit
smoke_screenshot "$smoke_shots/patchmaker-edit.png" "$smoke_geometry"
smoke_phase third
smoke_phase convert
echo "-- patchmaker: install"
smoke_phase install-button "$maker_win"
smoke_screenshot "$smoke_shots/patchmaker-install.png" "$smoke_geometry"
smoke_phase install-drop
smoke_phase close
smoke_program_ends "patchmaker's process"

echo "-- patchmaker: a patch opened from the shell"
smoke_phase command-line "$maker_win"
smoke_screenshot "$smoke_shots/patchmaker-command-line.png"
smoke_phase command-line-end

echo "-- patchsetup"
start_program "$work/patchsetup/patchsetup.exe"
smoke_phase setup
smoke_screenshot "$smoke_shots/patchsetup-install.png" "$smoke_geometry"
smoke_phase setup-close
smoke_program_ends "patchsetup's process"

echo "-- patchmaker: installs beside other work"
# Each in a program folder of its own, with its own Config.ini.
for folder in parallel beside; do
  mkdir -p "$work/$folder"
  cp "$build/patchmaker/patchmaker.exe" "$work/$folder/"
done
printf '[目录]\r\n安装目录=C:\\e2e\\并行\r\n' | iconv -f UTF-8 -t GBK >"$work/parallel/Config.ini"
printf '[目录]\r\n保存目录=C:\\e2e\\大文件\r\n安装目录=C:\\e2e\\生成时安装\r\n' | iconv -f UTF-8 -t GBK \
  >"$work/beside/Config.ini"
smoke_phase parallel "$(windows_path "$work/parallel")"
smoke_phase drop-beside-generation "$(windows_path "$work/beside")"

echo "-- patchmaker in a folder with blanks, opened from the shell"
smoke_phase blanks-prepare "$maker_win"
smoke_phase blanks-install
smoke_phase blanks-failed

echo "screenshots: $smoke_shots ($(( $(date +%s) - started )) s)"
smoke_finish
