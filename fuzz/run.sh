#!/bin/bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a bounded time.
# Usage: fuzz/run.sh [seconds per target, default 60]
# New inputs that reach new code are kept in the build folder, not in the repository; a crash
# leaves its input there too (crash-*) and makes this script fail.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${VERRIQ_BUILD_ROOT:-$root/build}/fuzz
if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
targets=()
for src in "$root"/fuzz/*_fuzz.cpp; do
    targets+=("$(basename "$src" .cpp)")
done
cmake --build "$build" --target "${targets[@]}"

status=0
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    seeds=$root/fuzz/corpus/$target
    mkdir -p "$corpus"
    [ -d "$seeds" ] || seeds=
    echo "== $target for ${seconds}s"
    (cd "$build" && "$build/fuzz/$target" -max_total_time="$seconds" -max_len=16384 -timeout=10 \
        -print_final_stats=1 "$corpus" $seeds 2>"$build/$target.log") || {
        status=1
        tail -n 40 "$build/$target.log" >&2
    }
    grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$build/$target.log" || true
done
exit $status
