#!/bin/bash
# Builds Verriq and runs it: on your display when there is one, otherwise under Xvfb inside a
# Wine virtual desktop, where it saves a screenshot and tells you where it is.
# The release is the 32-bit build (build/i686/Verriq.exe); it is built too, but the program that
# runs here is the 64-bit build of the same source, because only 64-bit Wine runs on Debian's
# x86-64 machines without 32-bit support.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" i686 >/dev/null
"$root/scripts/build.sh" x86_64 >/dev/null

out=${VERRIQ_BUILD_ROOT:-$root/build}
export VERRIQ_WINEPREFIX=$out/wineprefix-run
export VERRIQ_USE_DISPLAY=1
. "$root/scripts/wine-session.sh"
wine_session_start

exe=$out/x86_64/Verriq.exe
if [ "$VERRIQ_ON_XVFB" = 0 ]; then
    echo "Verriq runs on your display $DISPLAY. Close it from its menu (Programm > Beenden)."
    exec "$WINELOADER" "$exe"
fi

"$WINELOADER" "$exe" >/dev/null 2>&1 &
pid=$!
shot=$out/screenshot.png
# Give the window time to appear and paint.
sleep 4
if ! kill -0 $pid 2>/dev/null; then
    wait $pid && rc=0 || rc=$?
    echo "Verriq ended by itself (exit code $rc) before a screenshot could be taken." >&2
fi
import -display "$DISPLAY" -window root "$shot"
echo "Verriq is running under Xvfb on $DISPLAY (no display of your own was found)."
echo "Screenshot: $shot"
echo "Stop it with: WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k"
