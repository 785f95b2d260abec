#!/bin/bash
# Start-up benchmark of the real Verriq.exe against the floors: a bare program that shows the same
# window and holds the same files, shown or hidden (bench/startup_floor_win32.cpp, driven by
# bench/startup_win32.cpp).
# Usage: bench/startup.sh [N ...]   (default 0 1000 10000); builds the x86_64 programs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VERRIQ_BUILD_ROOT:-$root/build}/x86_64
"$root/scripts/build.sh" x86_64 >/dev/null
cmake --build "$build" --target Verriq startup_win32 startup_floor_win32 >/dev/null
export VERRIQ_WINEPREFIX=$build/wineprefix
. "$root/scripts/wine-session.sh"
wine_session_start
cd "$build"
"$WINELOADER" startup_win32.exe "$@" 2>&1 | grep -av '^wine: Read access denied'
