#!/usr/bin/env bash
# One long file on every core: a generated 10-minute stereo 44.1 kHz WAV (tones, noise and
# silence gaps) to MP3 at 128 kbit/s CBR and at VBR quality 2, by `tunevale-cli convert`
# with one and two jobs, against the ffmpeg tool with libmp3lame and the same settings, all
# in the same run (target: two jobs <= 0.6 x ffmpeg on two cores). Each time is the best of
# RUNS runs (default 3). Then checks the two-job outputs (ffmpeg decodes them without a
# message, to the source's sample count) and prints the coding error around every seam
# beside the one-job output's (bench/segment_seams). With SHOTS=folder it also draws a
# spectrogram of one second around the first seam of each output there.
# Usage: [RUNS=n] [SHOTS=dir] bench/segment_compare.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/src/cli/tunevale-cli"
seams="$build/bench/segment_seams"
[ -x "$cli" ] && [ -x "$seams" ] ||
    cmake --build "$build" --target tunevale-cli segment_seams -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
runs=${RUNS:-3}
source="$work/long.wav"

# Two tones a channel that step in pitch, white noise, and 2 s of digital silence every 30 s.
gate='gte(mod(t\,30)\,2)'
ffmpeg -nostdin -v error -f lavfi -i "aevalsrc=\
(0.25*sin(2*PI*(440+110*floor(t/20))*t)+0.08*(2*random(0)-1))*$gate|\
(0.2*sin(2*PI*(660+55*floor(t/15))*t)+0.05*sin(2*PI*3000*t)+0.08*(2*random(1)-1))*$gate\
:s=44100:d=600" -c:a pcm_s16le "$source"
samples=$(ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 "$source")

now() { date +%s.%N; }
timed() { # best wall time of $runs runs of a command
    local best=
    for _ in $(seq "$runs"); do
        rm -rf "$work/out" && mkdir "$work/out"
        local start end
        start=$(now)
        "$@" >/dev/null
        end=$(now)
        best=$(echo "$start $end ${best:-}" | awk '{t=$2-$1; if ($3=="" || t<$3) print t; else print $3}')
    done
    printf '%.3f' "$best"
}
theirs() { ffmpeg -nostdin -v error -i "$source" -c:a libmp3lame -compression_level 5 "$@" "$work/out/long.mp3"; }
ours() { "$cli" convert --to mp3 --out "$work/out" "$@" "$source"; }

echo "source: 600 s, $samples samples per channel, 44100 Hz stereo"
printf '%-4s %10s %10s %10s %8s %8s\n' mode "ffmpeg s" "jobs 1 s" "jobs 2 s" "ratio 1" "ratio 2"
compare() {
    local name=$1 ours_options=$2
    shift 2
    local ffmpeg_time one two
    ffmpeg_time=$(timed theirs "$@")
    # shellcheck disable=SC2086 # the options are meant to split into words
    one=$(timed ours --jobs 1 $ours_options)
    # shellcheck disable=SC2086
    two=$(timed ours --jobs 2 $ours_options)
    awk -v n="$name" -v f="$ffmpeg_time" -v a="$one" -v b="$two" \
        'BEGIN { printf "%-4s %10.2f %10.2f %10.2f %8.2f %8.2f\n", n, f, a, b, a/f, b/f }'
    # The last run's two-job output stays in out/.
    local messages decoded
    messages=$(ffmpeg -nostdin -v error -i "$work/out/long.mp3" -f s16le - 2>&1 >"$work/decoded.raw")
    decoded=$(($(stat -c %s "$work/decoded.raw") / 4))
    echo "     two-job output: ffmpeg messages: ${messages:-none}; decoded samples $decoded" \
        "($([ "$decoded" = "$samples" ] && echo exact || echo WRONG))"
}
compare cbr "--mp3-bitrate 128" -b:a 128k
compare vbr "--mp3-vbr new --mp3-vbr-quality 2 --mp3-bitrate 32" -q:a 2

for mode in cbr vbr; do
    mkdir -p "$work/$mode"
    for threads in 7 2; do
        echo "seams, $mode, $threads threads:"
        "$seams" "$mode" "$source" "$work/$mode" "$threads" | tee "$work/seams.txt" | sed 's/^/    /'
        first=$(awk 'f { print $2; exit } /^seam/ { f=1 }' "$work/seams.txt")
        [ -n "${SHOTS:-}" ] && [ "$threads" = 7 ] || continue
        mkdir -p "$SHOTS"
        for output in single parallel; do
            ffmpeg -nostdin -v error -y -i "$work/$mode/$output.mp3" -ss "$(echo "$first - 0.5" | bc)" \
                -t 1 "$work/excerpt.wav"
            sox "$work/excerpt.wav" -n remix 1 spectrogram -x 800 -y 400 \
                -t "$mode $output, 1 s around the seam at $first s (left channel)" \
                -o "$SHOTS/long-$mode-$output.png"
        done
    done
done
