#!/usr/bin/env bash
# Installs what is needed, builds Sonvale and starts it on the demo disc image. Only the
# program, its libraries and the demo disc are built; scripts/test.sh builds the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --run
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSONVALE_TESTS=OFF -DSONVALE_BENCH=OFF -DSONVALE_SCREENSHOT=OFF -DSONVALE_WERROR=OFF
cmake --build build -j"$(nproc)"
exec scripts/run-demo.sh build
