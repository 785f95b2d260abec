#!/bin/bash
# Builds Verriq and runs the release, build/i686/Verriq.exe: on your display when there is one,
# otherwise under Xvfb inside a Wine virtual desktop, where it saves a screenshot and tells you
# where it is. Where this machine cannot run 32-bit programs and the 32-bit runner cannot be
# prepared (scripts/wine32.sh, which needs root once), it runs the 64-bit build of the same source
# instead and says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
VERRIQ_RUNNER32=optional "$root/scripts/setup.sh"
out=${VERRIQ_BUILD_ROOT:-$root/build}

mode=$("$root/scripts/wine32.sh" mode)
if [ "$mode" != none ]; then
    "$root/scripts/build.sh" i686 >/dev/null
    exe=$out/i686/Verriq.exe
    what="the 32-bit release"
else
    "$root/scripts/build.sh" x86_64 >/dev/null
    exe=$out/x86_64/Verriq.exe
    what="the 64-bit build"
    echo "This machine cannot run 32-bit programs (run scripts/setup.sh as root once to prepare" \
        "them); running the 64-bit build of the same source instead of the release." >&2
fi

export VERRIQ_WINEPREFIX=$out/wineprefix-run
export VERRIQ_USE_DISPLAY=1
. "$root/scripts/wine-session.sh"
wine_session_start

if [ "$VERRIQ_ON_XVFB" = 0 ]; then
    echo "Verriq ($what) runs on your display $DISPLAY. Close it from its menu (Programm > Beenden)."
    exec "$WINELOADER" "$exe"
fi

"$WINELOADER" "$exe" >/dev/null 2>&1 &
pid=$!
shot=$out/screenshot.png
# Give the window time to appear and paint; a 32-bit program under qemu takes a few seconds more.
for _ in $(seq 1 30); do
    sleep 1
    kill -0 $pid 2>/dev/null || break
    xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -q '"Verriq 1' && { sleep 2; break; }
done
if ! kill -0 $pid 2>/dev/null; then
    wait $pid && rc=0 || rc=$?
    echo "Verriq ended by itself (exit code $rc) before a screenshot could be taken." >&2
fi
import -display "$DISPLAY" -window root "$shot"
echo "Verriq ($what, $exe) is running under Xvfb on $DISPLAY (no display of your own was found)."
echo "Screenshot: $shot"
echo "Stop it with: WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k"
