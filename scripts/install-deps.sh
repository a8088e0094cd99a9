#!/usr/bin/env bash
# Installs everything Sonvale needs to build, run and test on Debian 12. Run as root.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
    build-essential cmake pkg-config ninja-build
    qt6-base-dev qt6-multimedia-dev qt6-svg-dev
    libcdio-dev libcdio-paranoia-dev libcdio-utils libcue-dev
    libmp3lame-dev libvorbis-dev libogg-dev libudev-dev
    libgtest-dev libgmock-dev libmpg123-dev sox cd-paranoia lame vorbis-tools
    xvfb xauth fonts-dejavu-core
    valgrind clang-14 libclang-rt-14-dev appstream desktop-file-utils
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
