#!/usr/bin/env bash
# Makes the fuzzers' seed corpus: tiny files of every format the program reads, tagged and
# untagged, made here by the ffmpeg tool (no files from elsewhere).
# Usage: fuzz/make-seeds.sh FOLDER
set -euo pipefail
out="$1"
mkdir -p "$out"
tone() { ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=$1:sample_rate=$2:duration=$3" "${@:4}"; }
tags=(-metadata title="Seed title" -metadata artist="Seed artist" -metadata album="Album"
      -metadata genre=Rock -metadata date=2001 -metadata track=7 -metadata comment="A comment")

tone 440 8000 0.2 -c:a pcm_s16le "$out/mono8k.wav"
tone 440 11025 0.1 -ac 2 -c:a pcm_u8 "${tags[@]}" "$out/stereo-u8-info.wav"
tone 440 22050 0.1 -c:a pcm_f32le "$out/float.wav"
tone 440 8000 0.3 -c:a libmp3lame -b:a 8k "${tags[@]}" "$out/tagged.mp3"
tone 440 16000 0.3 -ac 2 -c:a libmp3lame -q:a 9 -write_xing 0 -id3v2_version 0 "$out/noxing.mp3"
tone 440 8000 0.3 -c:a libvorbis -q:a 0 "${tags[@]}" "$out/tagged.ogg"
tone 440 22050 0.2 -ac 2 -c:a libvorbis -q:a 0 "$out/stereo.ogg"
tone 440 8000 0.3 -c:a wmav2 -b:a 24k "${tags[@]}" "$out/tagged.wma"
tone 440 22050 0.2 -ac 2 -c:a wmav1 -b:a 32k "$out/v1.wma"
tone 440 8000 0.2 -c:a flac "${tags[@]}" "$out/tagged.flac"
tone 440 8000 0.2 -c:a flac "${tags[@]}" "$out/tagged.oga"
tone 440 8000 0.2 -c:a libopus -b:a 8k "${tags[@]}" "$out/tagged.opus"
tone 440 8000 0.2 -c:a wavpack "${tags[@]}" "$out/tagged.wv"
tone 440 8000 0.2 -c:a pcm_s16be "${tags[@]}" "$out/tagged.caf"
