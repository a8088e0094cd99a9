#!/usr/bin/env bash
# Pictures of the program for the documentation, taken under Xvfb from a build:
#   bash scripts/screenshots.sh [build-dir]
# Writes docs/main-window.png, docs/new-directory.png and docs/ripping.png. The output
# directory shown is a scratch folder with a few album folders in it; WAV files ripped for
# the picture go there and are removed with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
shots="$build/bin/sonvale-screenshot"
disc="$build/demo/demo.cue"
[ -x "$shots" ] && [ -f "$disc" ] || {
    echo "build sonvale-screenshot, cdrip3 and demo-disc in $build first" >&2
    exit 2
}

scratch=/var/tmp/sonvale-docs
rm -rf "$scratch"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/Music/Autumn Sessions" "$scratch/Music/Blue Hour" \
    "$scratch/Music/Field Recordings"
mkdir -m 700 "$scratch/run"
export HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" CDRIP3_IMAGES="$disc"
# The pictures need no database: the drive list and the lookups go to a closed local port.
export SONVALE_ACCURATERIP_URL=http://127.0.0.1:9/accuraterip SONVALE_MUSICBRAINZ_URL=http://127.0.0.1:9 SONVALE_COVERART_URL=http://127.0.0.1:9
unset QT_QPA_PLATFORM

# The output directory box starts in the temporary folder: the scratch Music folder here,
# for the program only (xvfb-run keeps its own files elsewhere).
snap() { xvfb-run -a -s "-screen 0 1024x768x24" env TMPDIR="$scratch/Music" "$shots" "$@"; }
snap "$root/docs/main-window.png"
snap "$root/docs/new-directory.png" --dialog
snap "$root/docs/ripping.png" --rip
