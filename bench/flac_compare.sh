#!/usr/bin/env bash
# FLAC throughput against the flac command line at the same level (-5), in one run: twelve
# generated 30-second stereo 44.1 kHz WAV files by `tunevale-cli convert --to flac` with one and
# with two jobs against a shell loop of `flac -5`, and one 10-minute file, at 16 and at 24 bits,
# with two jobs (split across threads) against `flac -5` on it. Prints wall times, the CPU
# seconds of the same runs and our time / flac's (targets: batch one job <= 1.0, two jobs
# <= 0.55; the long file with two jobs <= 0.6). Each time is the best of RUNS runs (default 3).
# Usage: [RUNS=n] bench/flac_compare.sh [BUILD_DIR]   (default: build; needs tunevale-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/src/cli/tunevale-cli"
[ -x "$cli" ] || cmake --build "$build" --target tunevale-cli -j"$(nproc)" >/dev/null
for tool in flac ffmpeg; do
    command -v "$tool" >/dev/null || { echo "flac_compare.sh: $tool is missing" >&2; exit 2; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-3}

# shellcheck source=bench/sources.sh
source bench/sources.sh
mkdir -p "$work/in" "$work/long" "$work/long24" "$work/out"
for i in $(seq 1 12); do make_wav 30 "$i" "$work/in/track$(printf %02d "$i").wav"; done
make_wav 600 13 "$work/long/long.wav"
make_wav 600 14 "$work/long24/long.wav" pcm_s24le
sources=("$work"/in/*.wav)

# shellcheck source=bench/timing.sh
source bench/timing.sh
ours() { "$cli" convert --out "$work/out" --to flac "$@"; }
row() { # caption, flac's "wall cpu", ours "wall cpu"
    awk -v n="$1" -v f="$2" -v o="$3" 'BEGIN { split(f, F, " "); split(o, O, " ")
        printf "%-28s %7.2f (%5.2f) %7.2f (%5.2f) %7.2f %7.2f\n", n, F[1], F[2], O[1], O[2],
            O[1]/F[1], O[2]/F[2] }'
}

echo "wall seconds (best of $runs) and, in brackets, the CPU seconds of that run"
printf '%-28s %15s %15s %7s %7s\n' case "flac -5 s" "ours s" ratio "cpu"
theirs=$(timed flac_loop "${sources[@]}")
row "12 x 30 s, one job" "$theirs" "$(timed ours --jobs 1 "${sources[@]}")"
row "12 x 30 s, two jobs" "$theirs" "$(timed ours --jobs 2 "${sources[@]}")"
theirs=$(timed flac_loop "$work/long/long.wav")
row "one 10-minute file, two jobs" "$theirs" "$(timed ours --jobs 2 "$work/long/long.wav")"
theirs=$(timed flac_loop "$work/long24/long.wav")
row "10-minute 24-bit, two jobs" "$theirs" "$(timed ours --jobs 2 "$work/long24/long.wav")"
