#!/usr/bin/env bash
# Installs the Debian packages that building and testing Velmora need.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev
    qt6-base-dev libgl-dev fonts-dejavu-core
    libsimpleini-dev
    ffmpeg mpg123
    liba52-0.7.4-dev
    clang-14 libclang-rt-14-dev
    xvfb xauth
    g++-mingw-w64-x86-64-posix wine64 wine
    bc time
    file lintian appstream zsh
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
