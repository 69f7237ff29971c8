#!/usr/bin/env bash
# Add Folder listing speed on a generated 20,000-file library: the probe on every processor
# against the single-thread probe, in the same run. Prints files/s for both and their ratio.
# Usage: bench/addfolder_compare.sh [BUILD_DIR]   (default: build; needs addfolder_bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench="$build/bench/addfolder_bench"
[ -x "$bench" ] || cmake --build "$build" --target addfolder_bench -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.2" \
    -c:a libmp3lame -b:a 32k "$work/short.mp3"
mkdir "$work/tree"
"$bench" "$work/short.mp3" "$work/tree"
