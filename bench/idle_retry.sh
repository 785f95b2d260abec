#!/bin/bash
# What the retries of files that cannot be held cost while nobody uses Verriq: the real
# Verriq.exe with N listed files that do not exist, against the same program with an empty list
# (the floor), each left idle for a while after it has started. Prints the CPU time of Verriq's
# process and of its wineserver (every open that fails is work for the server too), each as a
# share of one core, from the kernel's own accounting (/proc).
# A third run holds and watches a folder of N files instead, unchanged while it is measured.
# Usage: bench/idle_retry.sh [N [seconds]]   (default 10000 60); builds the x86_64 program first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-10000}
seconds=${2:-60}
build=${VERRIQ_BUILD_ROOT:-$root/build}/x86_64
"$root/scripts/build.sh" x86_64 >/dev/null
cmake --build "$build" --target Verriq >/dev/null
export VERRIQ_WINEPREFIX=$build/wineprefix
. "$root/scripts/wine-session.sh"
wine_session_start

windows_path() { echo "Z:$1" | tr '/' '\\'; }
exe=$(windows_path "$build/Verriq.exe")

# utime + stime of a process (all its threads), in clock ticks.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

# This prefix's wineserver: its working folder is named after the prefix's device and inode.
server_pid() {
    local dir pid
    dir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
    for pid in $(pgrep -x 'wineserver64|wineserver'); do
        [ "$(basename "$(readlink "/proc/$pid/cwd")")" = "$dir" ] && { echo "$pid"; return; }
    done
}

measure() { # name missing-count label [files-in-a-listed-folder]
    local appdata=$build/bench-idle/$1 storage i pid server hz
    storage=$appdata/Ondrak/Verriq
    rm -rf "$appdata"
    mkdir -p "$storage"
    for ((i = 0; i < $2; i++)); do printf 'C:\\nicht-da\\ordner-%d\\datei-%d.txt\r\n' $((i % 100)) "$i"; done >"$storage/Dateien.ini"
    if [ -n "${4:-}" ]; then
        mkdir -p "$appdata/ordner"
        for ((i = 0; i < $4; i++)); do : >"$appdata/ordner/datei-$i.txt"; done
        printf '%s\\\r\n' "$(windows_path "$appdata/ordner")" >"$storage/Dateien.ini"
    fi
    # Wine sets APPDATA from the prefix; cmd sets it for the one program it starts and returns.
    "$WINELOADER" cmd /c "set APPDATA=$(windows_path "$appdata")&& start \"\" \"$exe\"" >/dev/null 2>&1
    for i in $(seq 1 100); do
        pid=$(pgrep -f -n "^${exe//\\/\\\\}" || true)
        [ -n "$pid" ] && break
        sleep 0.2
    done
    [ -n "$pid" ] || { echo "Verriq.exe did not start" >&2; exit 1; }
    # Start-up (loading, the first locks) is not idle time: let it settle first.
    sleep 8
    server=$(server_pid)
    local v0 s0 v1 s1
    v0=$(ticks "$pid"); s0=$(ticks "${server:-0}")
    sleep "$seconds"
    v1=$(ticks "$pid"); s1=$(ticks "${server:-0}")
    kill "$pid" 2>/dev/null || true
    hz=$(getconf CLK_TCK)
    LC_ALL=C awk -v name="$3" -v v=$((v1 - v0)) -v s=$((s1 - s0)) -v hz="$hz" -v t="$seconds" 'BEGIN {
        printf "  %-24s Verriq %6.2f s (%5.2f %%)   wineserver %6.2f s (%5.2f %%)\n",
               name, v / hz, 100 * v / hz / t, s / hz, 100 * s / hz / t }'
    sleep 2
}

echo "idle for $seconds s after start-up; CPU time and its share of one core"
measure leer 0 "empty list (floor)"
measure fehlend "$count" "$count missing files"
measure ordner 0 "folder of $count files" "$count"
