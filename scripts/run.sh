#!/usr/bin/env bash
# Installs what is missing, builds Tunevale and starts it.
# Until the main window lands, this shows the command-line tool at work on a generated sample.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)"

sample_dir=build/sample
mkdir -p "$sample_dir"
sample="$sample_dir/tone.wav"
[ -f "$sample" ] || ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=5" -ac 2 "$sample"
output="$sample_dir/tone-$(date +%H%M%S).mp3"

./build/src/cli/tunevale-cli transcode "$sample" "$output"
./build/src/cli/tunevale-cli info "$sample" "$output"
