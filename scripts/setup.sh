#!/bin/bash
# Installs what building and running Verriq needs on Debian 12, from Debian's archive only, and
# prepares the 32-bit runner for the release (scripts/wine32.sh). Safe to run again: it installs
# only what is missing, and the runner's download is cached in build/wine32.
# VERRIQ_RUNNER32=optional turns a runner that cannot be prepared into a warning (scripts/run.sh
# then runs the 64-bit build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
    cmake ninja-build python3
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    googletest
    wine64 fonts-wine # wine32 only through scripts/wine32.sh, which knows whether it may be installed
    libz-mingw-w64    # zlib1.dll, which the unpacked i386 Wine's user32 loads
    locales xvfb x11-utils xauth imagemagick
    nsis              # makensis: the per-user setup (scripts/build.sh installer)
    g++ clang libclang-rt-14-dev libinih-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "Missing packages: ${missing[*]}. Run this script as root to install them." >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's own buttons read "Ja"/"Nein" only under a German locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    if [ "$(id -u)" = 0 ]; then
        sed -i 's/^# *de_DE.UTF-8/de_DE.UTF-8/' /etc/locale.gen
        grep -q '^de_DE.UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen
        locale-gen >/dev/null
    else
        echo "The German locale de_DE.UTF-8 is missing; run this script as root once." >&2
        exit 1
    fi
fi

# The 32-bit runner: Debian's wine32 where the kernel runs 32-bit programs, otherwise i386 Wine
# unpacked under build/wine32 and started through qemu-i386.
if ! "$root/scripts/wine32.sh" setup; then
    if [ "${VERRIQ_RUNNER32:-required}" = optional ]; then
        echo "The 32-bit runner could not be prepared; 32-bit programs cannot run here." >&2
    else
        echo "The 32-bit runner could not be prepared; the release cannot be tested." >&2
        exit 1
    fi
fi
