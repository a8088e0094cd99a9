#!/usr/bin/env bash
# Installs a Sonvale package on this machine and checks that the installed program starts
# and reads a disc-image drive. Meant for a fresh Debian 12 (a scratch machine or a chroot),
# as root:
#   bash scripts/check-deb.sh sonvale_0.1.0_amd64.deb build/demo/demo.cue
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
[ $# -eq 2 ] || { echo "usage: $0 PACKAGE.deb DISC.cue" >&2; exit 2; }
deb=$(realpath "$1")
cue=$(realpath "$2")

apt-get install -y -q "$deb"
# What this check itself needs: a virtual display, a system-call tracer, window listing.
apt-get install -y -q --no-install-recommends xvfb xauth strace x11-utils

fail() { echo "check-deb: $*" >&2; exit 1; }
for f in /usr/bin/sonvale /usr/lib/sonvale/libcdrip3.so /usr/lib/sonvale/libsvdrives.so \
         /usr/lib/sonvale/libsvmci.so /usr/share/applications/sonvale.desktop \
         /usr/share/icons/hicolor/scalable/apps/sonvale.svg; do
    [ -e "$f" ] || fail "missing $f"
done
if ldd /usr/bin/sonvale /usr/lib/sonvale/*.so | grep -q "not found"; then
    ldd /usr/bin/sonvale /usr/lib/sonvale/*.so | grep "not found" >&2
    fail "unresolved libraries"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/home" "$work/run"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" CDRIP3_IMAGES="$cue"
unset QT_QPA_PLATFORM
cat > "$work/run.sh" <<'INNER'
set -u
cd "$HOME"
strace -f -qq -e trace=openat -o "$1/trace" sonvale 2> "$1/stderr" &
tracer=$!
sleep 5
xwininfo -root -tree > "$1/windows" 2>&1
program=$(ps -o pid= --ppid "$tracer" | head -1)
if [ -n "$program" ] && kill -0 "$program" 2> /dev/null; then
    echo running > "$1/state"
    kill "$program"
fi
wait "$tracer" 2> /dev/null
INNER
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/run.sh" "$work" || true

[ -f "$work/state" ] || { cat "$work/stderr" >&2; fail "the program did not keep running"; }
grep -q '"Sonvale": ("sonvale" "Sonvale") *513x676' "$work/windows" ||
    fail "no 513x676 window titled Sonvale"
grep -q 'openat(.*"/usr/bin/../lib/sonvale/libcdrip3.so"' "$work/trace" ||
    fail "libcdrip3.so was not loaded from /usr/lib/sonvale"
grep -q "openat(.*\"$cue\"" "$work/trace" || fail "the disc image's cue sheet was not read"
bin=$(sed -n 's/^FILE "\(.*\)" .*/\1/p' "$cue" | head -1)
if [ -n "$bin" ]; then
    grep -q "openat(.*$(basename "$bin")\"" "$work/trace" || fail "the disc image's audio was not opened"
fi
echo "check-deb: the installed sonvale started, loaded its library and read $cue"
