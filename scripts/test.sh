#!/bin/bash
# Builds everything (the x86_64 and i686 Windows builds and the native engines) and runs every
# test: the native ones under the sanitizers, the Windows ones under wine64 through CTest.
# Set VERRIQ_FUZZ_SECONDS to change how long each fuzzer runs (default 60, 0 skips them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
out=${VERRIQ_BUILD_ROOT:-$root/build}

echo "== building"
"$root/scripts/build.sh" native
"$root/scripts/build.sh" x86_64
"$root/scripts/build.sh" i686

echo "== checking the release"
exe=$out/i686/Verriq.exe
header=$(i686-w64-mingw32-objdump -f -p "$exe")
grep -q 'file format pei-i386' <<<"$header" || { echo "Verriq.exe is not PE32" >&2; exit 1; }
grep -q 'Subsystem.*(Windows GUI)' <<<"$header" || { echo "Verriq.exe is not a GUI program" >&2; exit 1; }
dlls=$(grep 'DLL Name' <<<"$header" | awk '{print tolower($3)}' | sort -u)
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|ole32|msvcrt|advapi32|shell32)\.dll$'
if bad=$(grep -Ev "$allowed" <<<"$dlls"); then
    echo "Verriq.exe imports more than the system's DLLs: $bad" >&2
    exit 1
fi
echo "Verriq.exe: PE32, Windows GUI, imports: $(echo $dlls)"

status=0
echo "== native tests"
ctest --test-dir "$out/native" --output-on-failure || status=1

if [ -x "$root/fuzz/run.sh" ] && [ "${VERRIQ_FUZZ_SECONDS:-60}" != 0 ]; then
    echo "== fuzzing"
    "$root/fuzz/run.sh" "${VERRIQ_FUZZ_SECONDS:-60}" || status=1
fi

echo "== Windows tests under wine64"
ctest --test-dir "$out/x86_64" --output-on-failure || status=1

exit $status
