#!/bin/bash
# Creates the project's Wine prefix on first use and, with --start, starts a
# persistent wineserver plus one warm-up run, so that later runs start fast and
# ctest is not kept waiting on a pipe held by Wine's background processes.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -f "$WINEPREFIX/.ready" ]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 </dev/null || true
  wineserver -w
  # Without a window manager every modal close otherwise stalls; a crash must
  # end the run (exit code 5), not open a dialog.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" || true
  fi
  wineserver -w
  touch "$WINEPREFIX/.ready"
fi

if [ "${1:-}" = "--start" ]; then
  wineserver -p >/dev/null 2>&1 </dev/null || true
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
fi
