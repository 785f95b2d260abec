#!/bin/bash
# Measures which lines of app/, controls/ and framework/ the whole Windows test suite runs: every
# CTest group of an x86_64 build of its own (build/coverage, unoptimised, with gcov counters),
# the end-to-end suite and the Verriq.exe it starts included. Prints one line per folder and the
# total: lines run / lines that hold code, and the percentage.
# Usage: scripts/coverage.sh [ctest arguments, e.g. -R settings]
# VERRIQ_DISPLAY picks the Xvfb display of this build's tests (default 152, apart from the
# displays the other builds use by default). VERRIQ_COVERAGE_NO_TESTS=1 only summarises the
# counters a previous run left; VERRIQ_COVERAGE_FOLDERS names other folders to report.
# Verriq.exe writes its counters as it ends (VERRIQ_COVERAGE); one that a test has to kill writes
# none, so what only such a run reaches is counted as not run: the figure is a lower bound.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VERRIQ_BUILD_ROOT:-$root/build}/coverage
gcov_tool=${VERRIQ_GCOV:-x86_64-w64-mingw32-gcov}

if [ ! -f "$build/build.ninja" ]; then
    # The ccache launcher stays out: counters files name the object they belong to, and a cached
    # object compiled in another tree would name that tree's.
    cmake -S "$root" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-mingw.cmake" \
        -DVERRIQ_DISPLAY="${VERRIQ_DISPLAY:-152}" \
        -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER_LAUNCHER= -DCMAKE_CXX_COMPILER_LAUNCHER= \
        -DCMAKE_C_FLAGS="-O0 --coverage -DVERRIQ_COVERAGE" -DCMAKE_CXX_FLAGS="-O0 --coverage -DVERRIQ_COVERAGE" \
        -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
fi
cmake --build "$build"

status=0
if [ "${VERRIQ_COVERAGE_NO_TESTS:-0}" != 1 ]; then
    find "$build" -name '*.gcda' -delete
    # The counters' paths are Unix paths; a program whose current folder is on another Wine
    # drive (C:) would write them there, so they are pinned to the drive that maps to /.
    export GCOV_PREFIX=Z:
    export GCOV_PREFIX_STRIP=0
    ctest --test-dir "$build" --output-on-failure "$@" || status=$?
    [ $status = 0 ] || echo "coverage.sh: some tests failed; the figures count what ran" >&2
fi

# gcov reads each object's notes and counters (an object that never ran has notes only: all its
# lines count as not run) and reports them as JSON, which is merged by file and line: a header's
# line counts as run if any object that compiled it ran it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
find "$build" -name '*.gcno' -not -path '*/googletest/*' >"$work/notes"
# gcov fails for an object whose counters are older than its notes (rebuilt since); the rest
# still counts.
(cd "$work" && xargs -a notes -d '\n' "$gcov_tool" --json-format --stdout 2>/dev/null || true) >"$work/report.json"
python3 - "$root" "$work/report.json" ${VERRIQ_COVERAGE_FOLDERS:-app controls framework} <<'EOF'
import json, os, sys
root, report, folders = sys.argv[1], sys.argv[2], sys.argv[3:]
run = {}  # (file, line) -> whether any object ran it
text = open(report, encoding="utf-8", errors="replace").read()
decoder, at = json.JSONDecoder(), 0
while True:
    while at < len(text) and text[at].isspace():
        at += 1
    if at >= len(text):
        break
    doc, at = decoder.raw_decode(text, at)
    for entry in doc.get("files", []):
        path = os.path.normpath(os.path.join(doc.get("current_working_directory", ""), entry["file"]))
        relative = os.path.relpath(path, root)
        if relative.split(os.sep)[0] not in folders:
            continue
        for line in entry.get("lines", []):
            key = (relative, line["line_number"])
            run[key] = run.get(key, False) or line["count"] > 0
totals = {folder: [0, 0] for folder in folders}
for (relative, _), was_run in run.items():
    counts = totals[relative.split(os.sep)[0]]
    counts[0] += was_run
    counts[1] += 1
def show(name, covered, lines):
    percent = 100.0 * covered / lines if lines else 0.0
    print(f"{name:<10} {covered:>6} / {lines:<6} {percent:5.1f}%")
for folder in folders:
    show(folder + "/", *totals[folder])
show("total", sum(c for c, _ in totals.values()), sum(l for _, l in totals.values()))
EOF
exit $status
