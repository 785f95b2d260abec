#!/bin/bash
# The 32-bit runner: what lets this machine run the 32-bit release (build/i686/Verriq.exe) and the
# i686 test programs.
#
# A machine whose kernel runs 32-bit Linux programs simply gets Debian's wine32:i386 installed.
# Many build machines refuse them ("Exec format error"); there Debian's i386 Wine and the i386
# libraries it needs are downloaded and unpacked into build/wine32/root - not installed, because
# installing them would upgrade dozens of the system's 64-bit packages to matching versions - and
# binfmt_misc starts every i386 program under the static qemu-i386 user-mode emulator. wine64 then
# starts 32-bit Windows programs itself, and a 64-bit Windows program can start a 32-bit one with
# CreateProcess (without the runner, wine64 8.0 tries its experimental WoW64 mode and fails with
# error 1359). Processes find the unpacked libraries through QEMU_LD_PREFIX, which
# scripts/wine-session.sh exports.
#
# Usage: scripts/wine32.sh mode       prints native, qemu or none: what runs 32-bit programs here
#        scripts/wine32.sh setup      as root: prepares the runner (idempotent; the download,
#                                     about 200 MB, is cached in build/wine32 and made once)
#        scripts/wine32.sh register   as root: the binfmt_misc registration, needed once per boot
#                                     (setup does it too)
#        scripts/wine32.sh root       prints the unpacked tree when there is one
set -euo pipefail
verriq_root=$(cd "$(dirname "$0")/.." && pwd)
base=${VERRIQ_WINE32:-${VERRIQ_BUILD_ROOT:-$verriq_root/build}/wine32}
tree=$base/root
qemu=$base/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
i386_wine_dlls=usr/lib/i386-linux-gnu/wine/i386-windows

# A 32-bit Linux program of 93 bytes (ELF header, one segment, exit(0)): whether the kernel runs
# such programs without an emulator registered for them decides everything else.
kernel_runs_i386() {
    local probe elf
    elf='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'
    elf+='\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'
    elf+='\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
    elf+='\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
    elf+='\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
    elf+='\x31\xdb\xb8\x01\x00\x00\x00\xcd\x80'
    probe=$(mktemp)
    printf "$elf" >"$probe"
    chmod +x "$probe"
    local ok=1
    "$probe" 2>/dev/null && ok=0
    rm -f "$probe"
    return $ok
}

qemu_registered() {
    [ -f "$binfmt/qemu-i386" ] && head -n 1 "$binfmt/qemu-i386" | grep -qx enabled
}

tree_ready() {
    [ -f "$base/ready" ] && [ "$(cat "$base/ready")" = "$(wine64_version)" ] && [ -x "$qemu" ]
}

wine64_version() {
    dpkg-query -W -f='${Version}' wine64 2>/dev/null || echo unknown
}

mode() {
    if qemu_registered; then
        tree_ready && echo qemu || echo none
    elif [ -f /usr/lib/wine/wine ] && [ ! -L /usr/lib/wine/wine ] && kernel_runs_i386; then
        echo native
    else
        echo none
    fi
}

# apt with its own sources, lists and cache under build/wine32/apt: the system's apt state and
# dpkg's architectures stay as they are.
private_apt() {
    apt-get -o Dir::Etc::SourceList="$base/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
        -o Dir::State::Lists="$base/apt/lists" -o Dir::Cache="$base/apt/cache" \
        -o APT::Architectures::=amd64 -o APT::Architectures::=i386 -o Debug::NoLocking=1 \
        -o APT::Sandbox::User=root "$@"
}

# The machine's own Debian sources for its release (main archive, updates, security), plus the
# release's backports suite from the main archive's mirror; no host is written in this file.
write_sources() {
    local codename
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    {
        # One-line format.
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do if [ -f "$f" ]; then cat "$f"; fi; done |
            awk -v c="$codename" '$1 == "deb" {
                i = 2; opts = ""
                if ($2 ~ /^\[/) { while ($i !~ /\]$/) { opts = opts " " $i; i++ } opts = opts " " $i; i++ }
                signed = ""
                if (match(opts, /signed-by=[^] ]*/)) signed = substr(opts, RSTART + 10, RLENGTH - 10)
                print $(i), $(i + 1), signed }'
        # deb822 format.
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] || continue
            awk 'function flush() { if (types ~ /(^| )deb( |$)/) { n = split(uris, u, " "); m = split(suites, s, " ")
                                   for (a = 1; a <= n; a++) for (b = 1; b <= m; b++) print u[a], s[b], signed }
                                   types = uris = suites = signed = "" }
                 /^[ \t]*$/ { flush(); next }
                 /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
                 /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
                 /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
                 /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); signed = $0 }
                 END { flush() }' "$f"
        done
    } | awk -v c="$codename" '$2 == c || $2 == c "-updates" || $2 == c "-security" {
            key = ($3 != "" && $3 !~ /BEGIN/) ? " signed-by=" $3 : ""
            print "deb [arch=amd64,i386" key "] " $1 " " $2 " main"
            if ($2 == c) print "deb [arch=amd64" key "] " $1 " " c "-backports main" }' | sort -u
}

setup_qemu_tree() {
    tree_ready && return 0
    command -v dpkg-deb >/dev/null || { echo "dpkg-deb is missing" >&2; return 1; }
    mkdir -p "$base"/{apt/lists/partial,apt/cache,debs,bin}
    write_sources >"$base/apt/sources.list"
    grep -q -- '-backports ' "$base/apt/sources.list" || {
        echo "No Debian source for $(. /etc/os-release && echo "$VERSION_CODENAME") is configured;" \
            "the 32-bit runner needs one." >&2
        return 1
    }
    echo "Preparing the 32-bit runner in $base (about 200 MB to download, once)"
    private_apt update -qq

    # qemu 7.2 of the release spends about a minute of CPU starting each 32-bit process; the one
    # of the backports suite about a second.
    if [ ! -x "$qemu" ]; then
        rm -f "$base"/debs/qemu-user_*.deb
        (cd "$base/debs" && private_apt download -qq "qemu-user/$(. /etc/os-release && echo "$VERSION_CODENAME")-backports")
        dpkg-deb --fsys-tarfile "$base"/debs/qemu-user_*.deb | tar -xO ./usr/bin/qemu-i386 >"$qemu.part"
        chmod +x "$qemu.part"
        mv "$qemu.part" "$qemu"
    fi

    # wine32 of the same version as the system's wine64 (they share one wineserver), with its
    # library closure.
    local version packages
    version=$(wine64_version)
    packages=$(private_apt install -s --no-install-recommends "wine32:i386=$version" |
        awk '/^Inst/ && $2 ~ /:i386$/ {print $2}')
    [ -n "$packages" ] || { echo "Could not resolve wine32:i386 $version" >&2; return 1; }
    (cd "$base/debs" && private_apt download -qq $packages)
    rm -rf "$tree.part"
    mkdir -p "$tree.part"
    local deb
    for deb in "$base"/debs/*_i386.deb; do dpkg-deb -x "$deb" "$tree.part"; done
    # user32.dll of i386 Wine loads zlib1.dll, which Debian ships in its MinGW zlib package.
    cp /usr/i686-w64-mingw32/lib/zlib1.dll "$tree.part/$i386_wine_dlls/"
    # The 32-bit loader starts the host's wine64 for 64-bit helpers from its own folder.
    ln -sf /usr/lib/wine/wine64 "$tree.part/usr/lib/wine/wine64"
    # Its own ld.so.cache, or the host's cache hands out the wrong libc, FreeType fails to load
    # and windows show no text. Written for the tree's final place.
    rm -rf "$tree"
    mv "$tree.part" "$tree"
    echo 'include /etc/ld.so.conf.d/*.conf' >"$tree/etc/ld.so.conf"
    ldconfig -r "$tree"
    rm -f "$base"/debs/*.deb
    wine64_version >"$base/ready"
}

register() {
    [ -f "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    if ! qemu_registered; then
        [ -f "$binfmt/qemu-i386" ] && echo -1 >"$binfmt/qemu-i386"
        # Flag F: the kernel opens the interpreter now, so it keeps working whatever happens to
        # the file later.
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
            >"$binfmt/register"
    fi
    # wine64 looks for the 32-bit loader beside itself. Another work tree's loader serves as
    # well, as long as it is still there.
    if [ ! -e /usr/lib/wine/wine ] || { [ -L /usr/lib/wine/wine ] && [ ! -f "$(readlink -f /usr/lib/wine/wine)" ]; }; then
        ln -sfn "$tree/usr/lib/wine/wine" /usr/lib/wine/wine
    fi
}

setup() {
    local current
    current=$(mode)
    if [ "$current" = native ] || { [ "$current" = qemu ] && [ -f /usr/lib/wine/wine ]; }; then
        return 0
    fi
    if [ ! -f /usr/lib/wine/wine ] && ! qemu_registered && kernel_runs_i386; then
        # This kernel runs 32-bit programs: Debian's own i386 Wine.
        [ "$(id -u)" = 0 ] || { echo "Run this as root to install wine32:i386." >&2; return 1; }
        dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386; apt-get update -qq; }
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "wine32:i386" >/dev/null
        return 0
    fi
    [ "$(id -u)" = 0 ] || { echo "Run this as root to prepare the 32-bit runner." >&2; return 1; }
    setup_qemu_tree
    register
}

case "${1:-}" in
    mode) mode ;;
    setup) setup ;;
    register) tree_ready || { echo "The 32-bit runner is not prepared; run: $0 setup" >&2; exit 1; }
              register ;;
    root) tree_ready && echo "$tree" ;;
    *) echo "usage: $0 mode | setup | register | root" >&2; exit 2 ;;
esac
