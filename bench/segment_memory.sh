#!/usr/bin/env bash
# Peak memory of one long file on two threads: a generated 1-hour and a 6-hour stereo
# 44.1 kHz WAV, each converted to MP3 by `tunevale-cli convert --jobs 2` (which splits the file
# across both threads), measured by GNU time's maximum resident set size, with one thread
# (`--jobs 1`) beside them for reference. Target: the 6-hour peak within 10 % of the 1-hour
# peak, so memory does not grow with the file's length.
# The sources take 0.6 and 3.8 GB and the outputs up to 0.9 GB: it checks the free space of
# the temporary folder first and, when short, uses 3 hours for the long file instead.
# Usage: [BITRATE=kbps] [HOURS="1 6"] bench/segment_memory.sh [BUILD_DIR]   (default: build,
# bitrate 320)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cli="$build/src/cli/tunevale-cli"
[ -x "$cli" ] || cmake --build "$build" --target tunevale-cli -j"$(nproc)" >/dev/null
[ -x /usr/bin/time ] || { echo "needs GNU time (/usr/bin/time, Debian package time)" >&2; exit 1; }
bitrate=${BITRATE:-320}
hours=${HOURS:-1 6}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each hour takes 635 MB of WAV and up to 144 MB of MP3 (320 kbit/s); keep 1 GB spare.
longest=$(echo "$hours" | tr ' ' '\n' | sort -n | tail -1)
needed_mb=$(( $(echo "$hours" | tr ' ' '\n' | awk '{ s += $1 } END { print s }') * 635 + longest * 144 + 1024 ))
free_mb=$(df -Pm "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_mb" -lt "$needed_mb" ] && [ "$longest" -gt 3 ]; then
    echo "only $free_mb MB free in $work ($needed_mb MB needed): using 3 hours for the long file"
    hours=$(echo "$hours" | sed "s/\b$longest\b/3/")
fi

# A tone that steps in pitch over pink noise, so the encoder works as on music.
make_source() {
    ffmpeg -nostdin -v error -f lavfi -i "sine=f=440:d=$(($1 * 3600)):r=44100" \
        -f lavfi -i "anoisesrc=c=pink:a=0.1:d=$(($1 * 3600)):r=44100" \
        -filter_complex "[0][1]amix=inputs=2,aformat=channel_layouts=stereo" \
        -c:a pcm_s16le "$2"
}

peak_kb() { # peak resident set size in KiB of one conversion of $2 with $1 jobs
    rm -rf "$work/out" && mkdir "$work/out"
    /usr/bin/time -f '%M' -o "$work/time.txt" \
        "$cli" convert --to mp3 --mp3-bitrate "$bitrate" --jobs "$1" --out "$work/out" "$2" \
        >"$work/log.txt"
    grep -q ': Saved - ' "$work/log.txt" || { cat "$work/log.txt" >&2; exit 1; }
    cat "$work/time.txt"
}

echo "MP3 at $bitrate kbit/s; peak resident set size in MiB"
printf '%-8s %10s %10s\n' length "jobs 1" "jobs 2"
declare -A two
for length in $hours; do
    source="$work/${length}h.wav"
    make_source "$length" "$source"
    one=$(peak_kb 1 "$source")
    two[$length]=$(peak_kb 2 "$source")
    awk -v l="${length} h" -v a="$one" -v b="${two[$length]}" \
        'BEGIN { printf "%-8s %10.1f %10.1f\n", l, a / 1024, b / 1024 }'
    rm -f "$source"
done
set -- $hours
awk -v s="$1" -v l="$2" -v a="${two[$1]}" -v b="${two[$2]}" 'BEGIN {
    ratio = b / a
    printf "jobs 2: %s h peak / %s h peak = %.3f (target <= 1.10): %s\n", l, s, ratio,
           ratio <= 1.10 ? "met" : "NOT MET"
}'
