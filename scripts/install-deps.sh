#!/usr/bin/env bash
# Installs the Debian packages Tunevale needs. Usage: scripts/install-deps.sh [run] [test]
#   run   building and running the programs (the default)
#   test  the tests, the benchmarks and the package checks of CI, on top of run
# Idempotent: packages already present are left alone.
set -euo pipefail

run_packages=(
    g++ cmake make pkg-config
    qt6-base-dev qt6-multimedia-dev libqt6multimedia6
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
    libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
    libmp3lame-dev libvorbis-dev libogg-dev libtag1-dev libkissfft-dev
    libflac-dev libopusenc-dev libopus-dev
    librsvg2-bin
)
test_packages=(
    clang-format libgtest-dev libgmock-dev libbenchmark-dev libebur128-dev
    ffmpeg xvfb xauth x11-utils imagemagick pulseaudio
    lame vorbis-tools sox python3-mutagen flac opus-tools loudgain
    dpkg-dev file lintian devscripts desktop-file-utils appstream man-db groff-base
    bash-completion xdotool
)

packages=()
for list in "${@:-run}"; do
    case $list in
    run) packages+=("${run_packages[@]}") ;;
    test) packages+=("${run_packages[@]}" "${test_packages[@]}") ;;
    *)
        echo "install-deps.sh: unknown package list '$list' (run or test)" >&2
        exit 2
        ;;
    esac
done

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
