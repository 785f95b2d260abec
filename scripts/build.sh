#!/bin/bash
# Configures and builds one configuration: i686 (the release: Verriq.exe, Verriq.debug and the
# release's own test programs), x86_64 (the same source with its debug information in place, and
# the end-to-end driver) or native (the pure engines under the sanitizers); or the installer: the
# per-user setup build/Verriq-1.0.0-setup.exe around the i686 release (installer/verriq.nsi).
# Usage: scripts/build.sh x86_64|i686|native|installer [extra cmake arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
shift
if [ "$kind" = installer ]; then
    "$0" i686 "$@"
    out=${VERRIQ_BUILD_ROOT:-$root/build}
    setup=$out/Verriq-1.0.0-setup.exe
    makensis -V2 -INPUTCHARSET UTF8 -DEXE="$out/i686/Verriq.exe" -DOUTFILE="$setup" \
        -DICON="$root/resources/verriq.ico" "$root/installer/verriq.nsi"
    echo "$setup: $(stat -c %s "$setup") bytes"
    exit 0
fi
# VERRIQ_BUILD_ROOT lets several work trees' builds (and their Wine sessions) live side by side.
build=${VERRIQ_BUILD_ROOT:-$root/build}/$kind
# Each Windows build's tests have their own Xvfb display (VERRIQ_DISPLAY, read at the first
# configure), so that both suites can run at the same time.
case $kind in
    x86_64) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$kind-mingw.cmake"
                       -DVERRIQ_DISPLAY="${VERRIQ_DISPLAY:-150}") ;;
    i686) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$kind-mingw.cmake"
                     -DVERRIQ_DISPLAY="${VERRIQ_DISPLAY:-151}") ;;
    native) toolchain=() ;;
    *) echo "usage: $0 x86_64|i686|native|installer" >&2; exit 2 ;;
esac
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja "${toolchain[@]}" "$@" >/dev/null
fi
cmake --build "$build" -- -k 0
