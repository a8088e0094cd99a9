#!/usr/bin/env bash
# Installs what is needed, builds Sonvale and starts it on the demo disc image.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
exec scripts/run-demo.sh build
