#!/bin/bash
# Configures and builds one configuration: x86_64 (tests run it), i686 (the release) or native.
# Usage: scripts/build.sh x86_64|i686|native [extra cmake arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=$1
shift
# VERRIQ_BUILD_ROOT lets several work trees' builds (and their Wine sessions) live side by side.
build=${VERRIQ_BUILD_ROOT:-$root/build}/$kind
case $kind in
    x86_64 | i686) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$kind-mingw.cmake"
                              -DVERRIQ_DISPLAY="${VERRIQ_DISPLAY:-150}") ;;
    native) toolchain=() ;;
    *) echo "usage: $0 x86_64|i686|native" >&2; exit 2 ;;
esac
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja "${toolchain[@]}" "$@" >/dev/null
fi
cmake --build "$build" -- -k 0
