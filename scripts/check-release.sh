#!/bin/bash
# Checks the built release (build/i686 unless another build folder is given): what a user gets is
# one 32-bit Windows GUI program of at most 280 KB that imports only the system's own DLLs, with
# its debug information in a matching Verriq.debug beside it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${VERRIQ_BUILD_ROOT:-$root/build}/i686}
exe=$build/Verriq.exe
debug=$build/Verriq.debug
map=$build/Verriq.map
limit=$((280 * 1024))
fail() { echo "Release check: $*" >&2; exit 1; }

[ -f "$exe" ] || fail "$exe is missing"
header=$(i686-w64-mingw32-objdump -f -p -h "$exe")
grep -q 'file format pei-i386' <<<"$header" || fail "Verriq.exe is not PE32"
grep -q 'Subsystem.*(Windows GUI)' <<<"$header" || fail "Verriq.exe is not a GUI program"
dlls=$(grep 'DLL Name' <<<"$header" | awk '{print tolower($3)}' | sort -u)
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|ole32|msvcrt|advapi32|shell32)\.dll$'
if bad=$(grep -Ev "$allowed" <<<"$dlls"); then
    fail "Verriq.exe imports more than the system's DLLs: $bad"
fi
grep -q ' \.rsrc ' <<<"$header" || fail "Verriq.exe has lost its resources (icon, manifest, version)"

size=$(stat -c %s "$exe")
[ "$size" -le "$limit" ] || fail "Verriq.exe has $size bytes, more than $limit"

# Debug information: none in the exe; all of it in Verriq.debug, which the exe names together
# with its checksum, so that a debugger never pairs the exe with a stale file.
! grep -q ' \.debug_' <<<"$header" || fail "Verriq.exe still carries debug information"
grep -q ' \.gnu_debuglink ' <<<"$header" || fail "Verriq.exe does not name its debug file"
[ -f "$debug" ] || fail "$debug is missing"
i686-w64-mingw32-objdump -h "$debug" | grep -q ' \.debug_info ' || fail "Verriq.debug holds no debug information"
python3 - "$exe" "$debug" <<'EOF' || fail "Verriq.exe names another debug file than the Verriq.debug beside it"
import re, subprocess, sys, zlib
exe, debug = sys.argv[1], sys.argv[2]
dump = subprocess.run(["i686-w64-mingw32-objdump", "-s", "-j", ".gnu_debuglink", exe],
                      capture_output=True, text=True, check=True).stdout
section = b"".join(bytes.fromhex("".join(m.group(1).split()))
                   for m in re.finditer(r"^ [0-9a-f]+ ((?:[0-9a-f]{2,8} ){1,4})", dump, re.M))
name = section.split(b"\0", 1)[0].decode()
crc = int.from_bytes(section[(len(name) + 4) // 4 * 4:][:4], "little")
with open(debug, "rb") as f:
    sys.exit(0 if name == "Verriq.debug" and crc == zlib.crc32(f.read()) else 1)
EOF

# Parts of the static C++ runtime that would take a large share of the program: streams and
# locales, and what cmake/release_runtime.cpp and cmake/release_strings.h keep out.
[ -f "$map" ] || fail "$map (the release's link map) is missing"
if heavy=$(grep -oE 'libstdc\+\+\.a\((locale[^)]*|[a-z_-]*ios[^)]*|[a-z_-]*stream[^)]*|codecvt[^)]*|cp-demangle\.o|vterminate\.o|functexcept\.o|cow-string-inst\.o|cow-stdexcept\.o|w?string-inst\.o)\)' "$map" | sort -u); then
    fail "Verriq.exe pulls in large parts of the C++ runtime: $(echo $heavy)"
fi

# The release ends the program where the runtime would throw an error that carries a message
# (cmake/release_runtime.cpp); no program code may count on catching one.
if catches=$(cd "$root" && grep -rnE '\bcatch *\(' core settings framework controls images app |
        grep -vE 'catch *\( *(const +)?std::bad_alloc *&'); then
    fail "only std::bad_alloc may be caught in the program: $catches"
fi

echo "Verriq.exe: PE32, Windows GUI, $((size / 1024)) KB ($size bytes, at most $limit)," \
    "debug information in Verriq.debug ($(( $(stat -c %s "$debug") / 1024 )) KB), imports: $(echo $dlls)"
