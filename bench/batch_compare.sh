#!/usr/bin/env bash
# Batch conversion throughput: fifty generated 30-second stereo 44.1 kHz WAV files converted
# by `tunevale-cli convert` with one and with two jobs, against a shell loop of the ffmpeg
# tool with the same codecs and settings, all in the same run. Prints wall times and our
# time / ffmpeg's time (targets: one job <= 1.0, two jobs <= 0.6 on two cores). Each time is
# the best of RUNS runs (default 3), since other work on the machine skews single runs.
# Usage: [RUNS=n] bench/batch_compare.sh [BUILD_DIR]   (default: build; needs tunevale-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/src/cli/tunevale-cli"
[ -x "$cli" ] || cmake --build "$build" --target tunevale-cli -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=50
seconds=30
runs=${RUNS:-3}

mkdir -p "$work/in" "$work/out"
# shellcheck source=bench/sources.sh
source bench/sources.sh
for i in $(seq -w 1 "$files"); do make_wav "$seconds" "$((10#$i))" "$work/in/track$i.wav"; done
sources=("$work"/in/*.wav)

now() { date +%s.%N; }
timed() { # best wall time of $runs runs of a command, outputs cleared after each
    local best=
    for _ in $(seq "$runs"); do
        local start end
        start=$(now)
        "$@" >/dev/null
        end=$(now)
        rm -f "$work"/out/*
        best=$(echo "$start $end ${best:-}" | awk '{t=$2-$1; if ($3=="" || t<$3) print t; else print $3}')
    done
    printf '%.3f' "$best"
}
ffmpeg_loop() {
    local extension=$1
    shift
    for source in "${sources[@]}"; do
        local name
        name=$(basename "$source" .wav)
        ffmpeg -nostdin -v error -i "$source" "$@" "$work/out/$name.$extension"
    done
}
ours() { "$cli" convert --out "$work/out" "$@" "${sources[@]}"; }

echo "$files files of $seconds s each ($((files * seconds)) s of audio)"
printf '%-6s %10s %10s %10s %8s %8s\n' format "ffmpeg s" "jobs 1 s" "jobs 2 s" "ratio 1" "ratio 2"
compare() {
    local name=$1 extension=$2 ours_options=$3
    shift 3
    local theirs one two
    theirs=$(timed ffmpeg_loop "$extension" "$@")
    # shellcheck disable=SC2086 # the options are meant to split into words
    one=$(timed ours --jobs 1 $ours_options)
    # shellcheck disable=SC2086
    two=$(timed ours --jobs 2 $ours_options)
    awk -v n="$name" -v f="$theirs" -v a="$one" -v b="$two" \
        'BEGIN { printf "%-6s %10.2f %10.2f %10.2f %8.2f %8.2f\n", n, f, a, b, a/f, b/f }'
}
# LAME quality 5 is our default (-compression_level 5); WMA profile 14 is 44100 Hz stereo 64 kbit/s.
compare mp3 mp3 "--to mp3 --mp3-bitrate 128" -c:a libmp3lame -b:a 128k -compression_level 5
compare ogg ogg "--to ogg --ogg-bitrate 128" -c:a libvorbis -b:a 128k
compare wma wma "--to wma --wma-profile 14" -c:a wmav2 -b:a 64k
