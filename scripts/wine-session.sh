# Sourced, not run: brings up one Wine session (Xvfb, prefix, virtual desktop) and exports what
# a wine64 call needs. Idempotent, so every test run and every emulator call may source it.
#
# Inputs (environment, all optional):
#   VERRIQ_WINEPREFIX  the prefix folder (default: build/wineprefix under the source tree)
#   VERRIQ_DISPLAY     the Xvfb display number used when no usable DISPLAY is given (default 150)
#   VERRIQ_USE_DISPLAY if 1 and DISPLAY answers, run on that display instead of Xvfb
#   VERRIQ_WINE32      the 32-bit runner of scripts/wine32.sh (default: build/wine32)

verriq_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${VERRIQ_WINEPREFIX:-$verriq_root/build/wineprefix}
export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all
# Mono and Gecko installers would pop up on the first boot; the program needs neither. A
# shortcut the setup makes would have winemenubuilder write desktop files into $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# German UTF-8: Wine's own buttons read "Ja"/"Nein" and the ANSI code page is 1252.
export LANG=de_DE.UTF-8
export LC_ALL=de_DE.UTF-8
# Where the kernel refuses 32-bit programs, scripts/wine32.sh has qemu-i386 start them; they find
# the unpacked i386 libraries through QEMU_LD_PREFIX. 64-bit programs do not look at it.
verriq_wine32=${VERRIQ_WINE32:-${VERRIQ_BUILD_ROOT:-$verriq_root/build}/wine32}
if [ -f "$verriq_wine32/ready" ]; then
    export QEMU_LD_PREFIX=$verriq_wine32/root
fi

wine_session_display_ok() {
    [ -n "${1:-}" ] && xdpyinfo -display "$1" >/dev/null 2>&1
}

# With the 32-bit runner registered, every wineboot sets up the prefix's 32-bit half under qemu,
# and one of its programs writes a garbage menu height (1089191926 instead of 18) into the
# registry: every window, 64-bit ones too, then gets a menu bar 32,767 pixels high. This also
# repairs a prefix that another tool booted.
wine_session_fix_metrics() {
    local height
    height=$(grep -a -o '^"MenuHeight"="[0-9-]*"' "$WINEPREFIX/user.reg" 2>/dev/null | tr -dc '0-9-')
    if [ -n "$height" ] && { [ "$height" -lt 1 ] || [ "$height" -gt 100 ]; }; then
        "$WINELOADER" reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v MenuHeight /d 18 /f >/dev/null 2>&1
    fi
}

# wine64's wineboot cannot fill the 32-bit system folder here; 32-bit programs (and their
# CreateProcess calls) need its DLLs and programs in place.
wine_session_fill_syswow64() {
    [ -n "${QEMU_LD_PREFIX:-}" ] || return 0
    local from=$QEMU_LD_PREFIX/usr/lib/i386-linux-gnu/wine/i386-windows
    local to=$WINEPREFIX/drive_c/windows/syswow64
    [ -d "$from" ] && [ -d "$to" ] && [ ! -f "$WINEPREFIX/.syswow64-filled" ] || return 0
    cp -n "$from"/* "$to/" && touch "$WINEPREFIX/.syswow64-filled"
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
        "$WINELOADER" reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v MenuHeight /d 18 /f >/dev/null 2>&1
        /usr/lib/wine/wineserver -w
    fi
    wine_session_fix_metrics
    wine_session_fill_syswow64
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
