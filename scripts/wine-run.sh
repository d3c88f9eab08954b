#!/bin/bash
# Runs a Windows program under Wine with the project's environment
# (ctest's emulator for the windows builds).
source "$(dirname "$0")/wine-env.sh"
exec "$WINE" "$@" </dev/null
