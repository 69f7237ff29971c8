#!/usr/bin/env bash
# Installs the Debian packages Tunevale needs to build, test and benchmark.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
    g++ cmake make pkg-config clang-format
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-multimedia-dev libqt6multimedia6
    libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
    libmp3lame-dev libvorbis-dev libogg-dev libtag1-dev libkissfft-dev
    ffmpeg xvfb xauth imagemagick pulseaudio
    lame vorbis-tools sox python3-mutagen
)

missing=()
for pkg in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
