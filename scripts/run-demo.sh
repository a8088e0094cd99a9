#!/usr/bin/env bash
# Starts Sonvale from the build folder with the demo disc image as a drive.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")/.." && pwd)"
case "$build" in /*) ;; *) build="$here/$build" ;; esac
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found; start Sonvale on a virtual one with: xvfb-run -a scripts/run-demo.sh" >&2
    exit 2
fi
export CDRIP3_IMAGES="$build/demo/demo.cue${CDRIP3_IMAGES:+:$CDRIP3_IMAGES}"
exec "$build/bin/sonvale"
