#!/bin/bash
# Installs what building and running Verriq needs on Debian 12, from Debian's archive only.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
    cmake ninja-build python3
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    googletest
    wine64 fonts-wine # never wine32: 32-bit programs cannot run on these machines
    locales xvfb x11-utils xauth imagemagick
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
