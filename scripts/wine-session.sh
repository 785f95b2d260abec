# Sourced, not run: brings up one Wine session (Xvfb, prefix, virtual desktop) and exports what
# a wine64 call needs. Idempotent, so every test run and every emulator call may source it.
#
# Inputs (environment, all optional):
#   VERRIQ_WINEPREFIX  the prefix folder (default: build/wineprefix under the source tree)
#   VERRIQ_DISPLAY     the Xvfb display number used when no usable DISPLAY is given (default 150)
#   VERRIQ_USE_DISPLAY if 1 and DISPLAY answers, run on that display instead of Xvfb

verriq_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${VERRIQ_WINEPREFIX:-$verriq_root/build/wineprefix}
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all
# Mono and Gecko installers would pop up on the first boot; the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
# German UTF-8: Wine's own buttons read "Ja"/"Nein" and the ANSI code page is 1252.
export LANG=de_DE.UTF-8
export LC_ALL=de_DE.UTF-8

wine_session_display_ok() {
    [ -n "${1:-}" ] && xdpyinfo -display "$1" >/dev/null 2>&1
}

wine_session_start() {
    if [ "${VERRIQ_USE_DISPLAY:-0}" = 1 ] && wine_session_display_ok "${DISPLAY:-}"; then
        export VERRIQ_ON_XVFB=0
    else
        export VERRIQ_ON_XVFB=1
        local n=${VERRIQ_DISPLAY:-150}
        export DISPLAY=:$n
        if ! wine_session_display_ok "$DISPLAY"; then
            rm -f "/tmp/.X$n-lock" "/tmp/.X11-unix/X$n"
            (setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &)
            local i
            for i in $(seq 1 100); do
                wine_session_display_ok "$DISPLAY" && break
                sleep 0.1
            done
            wine_session_display_ok "$DISPLAY" || { echo "Xvfb did not start on $DISPLAY" >&2; return 1; }
        fi
    fi

    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINELOADER" wineboot -i >/dev/null 2>&1
        "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
        "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
    fi
    # Called as /usr/lib/wine/wine64, Wine does not find its own fonts folder, and the caption
    # buttons show letters instead of Marlett's glyphs. It does scan the prefix's Fonts folder.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
        cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
    fi

    # Without the virtual desktop no window is ever mapped in Xvfb.
    local pidfile="$WINEPREFIX/.desktop-$(echo "$DISPLAY" | tr -c '0-9\n' '_')"
    if ! { [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; }; then
        (setsid "$WINELOADER" explorer /desktop=Default,1024x768 >/dev/null 2>&1 & echo $! >"$pidfile")
        sleep 1
    fi
}

wine_session_stop() {
    WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
}
