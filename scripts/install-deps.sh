#!/usr/bin/env bash
# Installs what Sonvale needs on Debian 12. Run as root.
#   bash scripts/install-deps.sh --run    to build the program and start it (scripts/run.sh)
#   bash scripts/install-deps.sh [--test] to build and run the tests too (scripts/test.sh)
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# The program, its libraries and the demo disc; xvfb and xauth for the virtual display
# run-demo.sh points to when there is none, and a font so the window has text;
# ca-certificates, without which no HTTPS database's certificate can be checked.
run_packages=(
    build-essential cmake pkg-config ninja-build
    qt6-base-dev qt6-multimedia-dev qt6-svg-dev
    libcdio-dev libcdio-paranoia-dev libcue-dev
    libmp3lame-dev libvorbis-dev libogg-dev libudev-dev libdeflate-dev
    libdiscid-dev libflac-dev libopusenc-dev libebur128-dev libtag1-dev
    xvfb xauth fonts-dejavu-core ca-certificates
)
# The tests, the benchmarks and the tools they compare against; zlib, whose crc32 the tests
# hold the tracks' CRC-32 against; clang for the fuzz targets, the validators of the desktop
# entry and the AppStream data; openssl, which makes the certificate of the tests' own HTTPS
# server.
test_packages=(
    libgtest-dev libgmock-dev zlib1g-dev libmpg123-dev libcdio-utils sox cd-paranoia lame
    vorbis-tools flac libopusfile-dev opus-tools loudgain python3-mutagen
    valgrind clang-14 libclang-rt-14-dev appstream desktop-file-utils openssl
)
case "${1:---test}" in
--run) packages=("${run_packages[@]}") ;;
--test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: $0 [--run|--test]" >&2
    exit 2
    ;;
esac
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
