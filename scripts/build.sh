#!/bin/bash
# Configures and builds one configuration: i686 (the release: Verriq.exe, Verriq.debug and the
# release's own test programs), x86_64 (the same source with its debug information in place, and
# the end-to-end driver) or native (the pure engines under the sanitizers).
# Usage: scripts/build.sh x86_64|i686|native [extra cmake arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
shift
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
    *) echo "usage: $0 x86_64|i686|native" >&2; exit 2 ;;
esac
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja "${toolchain[@]}" "$@" >/dev/null
fi
cmake --build "$build" -- -k 0
