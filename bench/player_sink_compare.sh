#!/usr/bin/env bash
# The player against a recording of the sound server's sink, beside paplay on the same files
# in the same run: resume replay and position lag, dropouts while the window's thread stalls
# and under CPU load (stress-ng, when installed), and whether 20 ms files are heard to their
# last frame. Starts a PulseAudio server of its own with a null sink, as CI does.
# Usage: bench/player_sink_compare.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
check="$build/bench/player_sink_check"
[ -x "$check" ] || cmake --build "$build" --target player_sink_check -j"$(nproc)" >/dev/null

PULSE_RUNTIME_PATH="$(mktemp -d)"
export PULSE_RUNTIME_PATH
load_pid=
finish() {
    [ -n "$load_pid" ] && kill "$load_pid" 2>/dev/null
    pulseaudio -k 2>/dev/null || true
    rm -rf "$PULSE_RUNTIME_PATH"
}
trap finish EXIT
pulseaudio -D -n --exit-idle-time=-1 --log-level=error \
    --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=tunevale_null"
for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.2
done

run() { "$check" "$@" 2>/dev/null | grep -v '^  '; }

echo "== pause and resume, 8 times; position and drawing against the sound"
run --pauses 8
for stall in 150 300 600 900; do
    echo "== the window's thread busy for $stall ms every 700 ms"
    run --pauses 0 --seconds 10 --stall "$stall"
done
if command -v stress-ng >/dev/null; then
    echo "== under load: stress-ng --cpu 2 --io 1 --vm 1"
    stress-ng --cpu 2 --io 1 --vm 1 --vm-bytes 256M --timeout 120s >/dev/null 2>&1 &
    load_pid=$!
    sleep 1
    run --pauses 0 --seconds 20
    run --pauses 0 --seconds 20 --peer paplay
    kill "$load_pid" 2>/dev/null || true
    load_pid=
fi
echo "== a 20 ms file played 26 times (the null sink's monitor may lose a fresh stream's first"
echo "   10 ms, paplay's too, so the last frame is what counts)"
VERBOSE=1 "$check" --short 26 2>/dev/null | awk '/play heard/ {ends[$5]++} /^short/ {print} END {for (e in ends) printf "  last frame heard %s: %d plays\n", e, ends[e]}'
VERBOSE=1 "$check" --short 26 --peer paplay 2>/dev/null | awk '/play heard/ {ends[$5]++} /^short/ {print "paplay: " $0} END {for (e in ends) printf "  last frame heard %s: %d plays\n", e, ends[e]}'
