#!/bin/bash
# Prints the build folder whose .exe files this machine's Wine runs.
source "$(dirname "$0")/wine-env.sh"
echo "$WINE_BUILD"
