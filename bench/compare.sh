#!/usr/bin/env bash
# Transcode throughput against the ffmpeg tool with the same codecs and settings, measured in
# the same run on a generated 5-minute stereo 44.1 kHz signal; then peak memory for a
# one-hour source. Prints each case's times-real-time and our time / ffmpeg's time.
# Usage: bench/compare.sh [BUILD_DIR]   (default: build; needs the transcode_bench target)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench="$build/bench/transcode_bench"
[ -x "$bench" ] || cmake --build "$build" --target transcode_bench -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=3
seconds=300

# Music-like: a chord of tones, slow tremolo, a little noise.
ffmpeg -nostdin -v error -f lavfi \
    -i "aevalsrc=0.2*sin(2*PI*220*t)*(1+0.3*sin(2*PI*0.5*t))+0.15*sin(2*PI*277*t)+0.1*sin(2*PI*330*t)+0.05*sin(2*PI*1760*t)|0.2*sin(2*PI*221*t)+0.15*sin(2*PI*330*t)+0.05*sin(2*PI*2640*t):s=44100:d=$seconds" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.02:r=44100:d=$seconds" \
    -filter_complex amix=inputs=2:normalize=0 -ac 2 -c:a pcm_s16le "$work/source.wav"
ffmpeg -nostdin -v error -i "$work/source.wav" -c:a libmp3lame -b:a 128k "$work/source.mp3"

now() { date +%s.%N; }
best_of() { # best wall time of $runs runs of a command
    local best=
    for _ in $(seq "$runs"); do
        local start end
        start=$(now); "$@" >/dev/null; end=$(now)
        best=$(echo "$start $end ${best:-}" | awk '{t=$2-$1; if ($3=="" || t<$3) print t; else print $3}')
        rm -f "$work"/out.*
    done
    echo "$best"
}
ours() { "$bench" "$1" "$2" "$3"; }

printf '%-10s %12s %12s %12s %8s\n' case "ours xRT" "ffmpeg xRT" "ours s" ratio
compare() {
    local name=$1 kind=$2 source=$3 extension=$4
    shift 4
    local our_time their_time
    our_time=$(best_of ours "$kind" "$source" "$work/out.$extension")
    their_time=$(best_of ffmpeg -nostdin -v error -y -i "$source" "$@" "$work/out.$extension")
    awk -v n="$name" -v o="$our_time" -v f="$their_time" -v s="$seconds" \
        'BEGIN { printf "%-10s %12.1f %12.1f %12.3f %8.2f\n", n, s/o, s/f, o, o/f }'
}
compare wav-mp3 mp3 "$work/source.wav" mp3 -c:a libmp3lame -b:a 128k -compression_level 5
compare wav-ogg ogg "$work/source.wav" ogg -c:a libvorbis -b:a 128k
compare wav-wma wma "$work/source.wav" wma -c:a wmav2 -b:a 64k
compare mp3-wav wav "$work/source.mp3" wav -c:a pcm_s16le

# Peak memory for a one-hour source (a 635 MB WAV), converted to MP3.
ffmpeg -nostdin -v error -stream_loop 11 -i "$work/source.wav" -c:a pcm_s16le "$work/hour.wav"
peak=$("$bench" mp3 "$work/hour.wav" "$work/hour.mp3" | sed -n 's/.*peak_kib=\([0-9]*\).*/\1/p')
echo "one-hour WAV -> MP3 peak memory: $((peak / 1024)) MiB"
