#!/usr/bin/env bash
# What measuring loudness and writing ReplayGain tags costs a conversion: twenty generated
# 30-second stereo 44.1 kHz WAV files converted by `tunevale-cli convert --jobs JOBS` with
# --replaygain off, track and album, in the same run. Prints wall times and each time against
# off's (target: track and album <= 1.10). Each time is the best of RUNS runs (default 3),
# the modes taking turns. With fewer jobs (default 1) than cores, each file's meter runs on a
# core of its own; with a job per core it shares the conversion's.
# Usage: [RUNS=n] [JOBS=n] [FORMATS="mp3 ogg flac opus m4a wma wav"]
#        bench/replaygain_compare.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/src/cli/tunevale-cli"
[ -x "$cli" ] || cmake --build "$build" --target tunevale-cli -j2 >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=20
seconds=30
runs=${RUNS:-3}

mkdir -p "$work/in" "$work/out"
for i in $(seq -w 1 "$files"); do
    f=$((200 + 10#$i * 7))
    ffmpeg -nostdin -v error \
        -f lavfi -i "aevalsrc=0.2*sin(2*PI*$f*t)*(1+0.3*sin(2*PI*0.5*t))|0.2*sin(2*PI*$((f + 1))*t):s=44100:d=$seconds" \
        -f lavfi -i "anoisesrc=color=pink:amplitude=0.02:r=44100:d=$seconds:seed=$((10#$i))" \
        -filter_complex amix=inputs=2:normalize=0 -ac 2 -c:a pcm_s16le "$work/in/track$i.wav"
done
sources=("$work"/in/*.wav)

now() { date +%s.%N; }
jobs=${JOBS:-1}
convert() { "$cli" convert --jobs "$jobs" --out "$work/out" --to "$1" --replaygain "$2" "${sources[@]}"; }
# The modes take turns within each run, so that a change of load on the machine falls on all
# of them alike; each keeps its best time.
best_of() {
    local format=$1
    declare -A best=()
    for _ in $(seq "$runs"); do
        for mode in off track album; do
            local start end
            start=$(now)
            convert "$format" "$mode" >/dev/null
            end=$(now)
            rm -f "$work"/out/*
            best[$mode]=$(echo "$start $end ${best[$mode]:-}" |
                awk '{t=$2-$1; if ($3=="" || t<$3) print t; else print $3}')
        done
    done
    echo "${best[off]} ${best[track]} ${best[album]}"
}

echo "$files files of $seconds s each, $jobs job(s) on $(nproc) cores"
printf '%-6s %8s %8s %8s %8s %8s\n' format "off s" "track s" "album s" "track" "album"
for format in ${FORMATS:-mp3 ogg flac opus m4a wma wav}; do
    read -r off track album < <(best_of "$format")
    printf '%-6s %8.3f %8.3f %8.3f %8.3f %8.3f\n' "$format" "$off" "$track" "$album" \
        "$(echo "$track / $off" | bc -l)" "$(echo "$album / $off" | bc -l)"
done
