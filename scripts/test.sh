#!/bin/bash
# Builds everything (the i686 release, the x86_64 build and the native engines) and runs every
# test: the native ones under the sanitizers, the fuzzers for a bounded time, and the whole Windows
# suite twice through CTest - under wine64 for the x86_64 build, and for the release with its own
# 32-bit test programs and the end-to-end suite against build/i686/Verriq.exe, the file that ships,
# and the setup around it (installed, upgraded while Verriq runs, and removed).
# Set VERRIQ_FUZZ_SECONDS to change how long each fuzzer runs (default 60, 0 skips them).
# VERRIQ_DISPLAY picks the x86_64 tests' Xvfb display (default 150); the release's tests use the
# next one up, or VERRIQ_DISPLAY_I686.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${VERRIQ_BUILD_ROOT:-$root/build}
display64=${VERRIQ_DISPLAY:-150}
display32=${VERRIQ_DISPLAY_I686:-$((display64 + 1))}
started=$(date +%s)
step() { echo "== $1 ($(( $(date +%s) - started )) s)"; }

step "setting up"
"$root/scripts/setup.sh"

step "building"
"$root/scripts/build.sh" native
VERRIQ_DISPLAY=$display64 "$root/scripts/build.sh" x86_64
VERRIQ_DISPLAY=$display32 "$root/scripts/build.sh" i686
"$root/scripts/build.sh" installer

step "checking the release"
"$root/scripts/check-release.sh" "$out/i686"

status=0
step "native tests"
ctest --test-dir "$out/native" --output-on-failure || status=1

if [ -x "$root/fuzz/run.sh" ] && [ "${VERRIQ_FUZZ_SECONDS:-60}" != 0 ]; then
    step "fuzzing"
    "$root/fuzz/run.sh" "${VERRIQ_FUZZ_SECONDS:-60}" || status=1
fi

step "Windows tests, x86_64 build, under wine64"
ctest --test-dir "$out/x86_64" --output-on-failure || status=1

step "Windows tests, i686 release, 32-bit programs through $("$root/scripts/wine32.sh" mode)"
ctest --test-dir "$out/i686" --output-on-failure || status=1

step "done"
exit $status
