#!/usr/bin/env bash
# FLAC, Opus and M4A throughput: twelve generated 30-second stereo 44.1 kHz WAV files converted
# by `tunevale-cli convert` with one and with two jobs, against a shell loop of each format's
# reference tool at the same settings (`flac -5`, `opusenc --bitrate 128`,
# `ffmpeg -c:a aac -b:a 128k`), all in the same run. Prints wall times and our time / the
# tool loop's time (targets: one job <= 1.0, two jobs <= 0.55 on two cores). Each time is the
# best of RUNS runs (default 3), since other work on the machine skews single runs; the CPU
# seconds of the same runs, and their ratio for one job, are not skewed by it.
# Usage: [RUNS=n] bench/newformats_compare.sh [BUILD_DIR]   (default: build; needs tunevale-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/src/cli/tunevale-cli"
[ -x "$cli" ] || cmake --build "$build" --target tunevale-cli -j"$(nproc)" >/dev/null
for tool in flac opusenc ffmpeg; do
    command -v "$tool" >/dev/null || { echo "newformats_compare.sh: $tool is missing" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=12
seconds=30
runs=${RUNS:-3}

mkdir -p "$work/in" "$work/out"
# shellcheck source=bench/sources.sh
source bench/sources.sh
for i in $(seq -w 1 "$files"); do make_wav "$seconds" "$((10#$i))" "$work/in/track$i.wav"; done
sources=("$work"/in/*.wav)

# shellcheck source=bench/timing.sh
source bench/timing.sh
opusenc_loop() {
    for source in "$@"; do
        opusenc --quiet --bitrate 128 "$source" "$work/out/$(basename "$source" .wav).opus"
    done
}
ffmpeg_aac_loop() {
    for source in "$@"; do
        ffmpeg -nostdin -v error -i "$source" -c:a aac -b:a 128k \
            "$work/out/$(basename "$source" .wav).m4a"
    done
}
ours() { "$cli" convert --out "$work/out" "$@" "${sources[@]}"; }

echo "$files files of $seconds s each ($((files * seconds)) s of audio)"
echo "wall seconds (best of $runs) and, in brackets, the CPU seconds of that run"
printf '%-6s %-26s %14s %14s %14s %8s %8s %8s\n' format tool "tool s" "jobs 1 s" "jobs 2 s" \
    "ratio 1" "ratio 2" "cpu 1"
compare() {
    local name=$1 tool=$2 loop=$3
    local theirs one two
    theirs=$(timed "$loop" "${sources[@]}")
    one=$(timed ours --jobs 1 --to "$name")
    two=$(timed ours --jobs 2 --to "$name")
    awk -v n="$name" -v t="$tool" -v f="$theirs" -v a="$one" -v b="$two" 'BEGIN {
        split(f, F, " "); split(a, A, " "); split(b, B, " ")
        printf "%-6s %-26s %6.2f (%5.2f) %6.2f (%5.2f) %6.2f (%5.2f) %8.2f %8.2f %8.2f\n",
            n, t, F[1], F[2], A[1], A[2], B[1], B[2], A[1]/F[1], B[1]/F[1], A[2]/F[2] }'
}
# Our start-up settings are the tools' here: FLAC level 5, Opus 128 kbit/s VBR, AAC 128 kbit/s.
compare flac "flac -5" flac_loop
compare opus "opusenc --bitrate 128" opusenc_loop
compare m4a "ffmpeg -c:a aac -b:a 128k" ffmpeg_aac_loop
