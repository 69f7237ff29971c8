#!/usr/bin/env bash
# CI: builds the Debian package, checks it and what it installs, and runs the installed
# programs from an unpacked copy with the build folder out of the way.
# Usage: scripts/ci-package.sh [BUILD_DIR]   (default: build, configured already)
# SHOT_DIR=folder also saves a screenshot of the installed program's window there.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=$(realpath "${1:-build}")
scratch=$(mktemp -d)
parked="$build_dir.parked-$$"
cleanup() {
    if [ -d "$parked" ]; then mv "$parked" "$build_dir"; fi
    rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
    echo "ci-package: $*" >&2
    exit 1
}

cmake --build "$build_dir" -j"$(nproc)" --target tunevale tunevale-cli tunevale_desktop_files
(cd "$build_dir" && cpack -G DEB >/dev/null)
package=$(ls "$build_dir"/tunevale_*.deb)
echo "== $package"
dpkg-deb --field "$package" Depends
report=$(lintian --pedantic --display-info --fail-on error,warning "$package") ||
    fail "lintian: $report"
echo "$report"
# Programs that parse files from anywhere must carry Debian's hardening.
if grep 'hardening-' <<<"$report"; then
    fail "the programs lack Debian's hardening (dpkg-buildflags)"
fi

root="$scratch/root"
dpkg -x "$package" "$root"
share="$root/usr/share"

echo "== hardening"
# PIE, stack protector, _FORTIFY_SOURCE, full RELRO and immediate binding, as dpkg-buildflags
# gives them; Debian 12's flags have no control-flow protection, so that is not asked for.
hardening-check --nocfprotection "$root/usr/bin/tunevale" "$root/usr/bin/tunevale-cli" ||
    fail "the packaged programs are not built with Debian's hardening flags"

echo "== validators"
desktop-file-validate "$share/applications/com.example.tunevale.desktop"
appstreamcli validate --no-net "$share/metainfo/com.example.tunevale.metainfo.xml"
for page in "$share"/man/man1/*.1.gz; do
    warnings=$( { MANWIDTH=80 man --warnings -l "$page" >/dev/null; } 2>&1)
    warnings+=$( { zcat "$page" | groff -ww -z -man; } 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done
if [ -f /usr/share/bash-completion/bash_completion ]; then
    completed=$(bash -c 'source /usr/share/bash-completion/bash_completion
        source "$1"
        COMP_WORDS=(tunevale-cli convert --to ""); COMP_CWORD=3
        COMP_LINE="tunevale-cli convert --to "; COMP_POINT=${#COMP_LINE}
        _tunevale_cli; echo "${COMPREPLY[*]}"' _ "$share/bash-completion/completions/tunevale-cli")
    [ "$completed" = "mp3 wma ogg wav" ] || fail "bash completion of --to gave '$completed'"
fi

# From here on nothing may come from the source or build folders.
mv "$build_dir" "$parked"
export PATH="$root/usr/bin:$PATH"
work="$scratch/work"
mkdir -p "$work"
cd "$work"

echo "== installed tunevale-cli"
ffmpeg -nostdin -v error -f lavfi -i "sine=frequency=440:duration=2" -ac 2 -ar 44100 tone.wav
tunevale-cli --version
tunevale-cli transcode tone.wav tone.mp3
tunevale-cli convert --to ogg tone.wav
for output in tone.mp3 tone.ogg; do
    seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$output")
    awk -v s="$seconds" 'BEGIN { exit !(s > 1.9 && s < 2.2) }' || fail "$output lasts $seconds s"
done

echo "== installed tunevale, started as its desktop entry starts it"
command=$(sed -n 's/^Exec=//p' "$share/applications/com.example.tunevale.desktop")
# A file of a type Tunevale cannot read is among them, to be skipped.
echo "not audio" >notes.txt
command=${command//%F/tone.wav notes.txt tone.mp3}
# The browser Help Contents (F1) calls is a stand-in that notes the address it is given.
mkdir -p "$scratch/browser"
# shellcheck disable=SC2016 # $1 belongs to the stand-in
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$scratch" >"$scratch/browser/xdg-open"
chmod +x "$scratch/browser/xdg-open"
export SHOT_DIR=${SHOT_DIR:-}
# shellcheck disable=SC2016 # expanded by the inner shell
PATH="$scratch/browser:$PATH" XDG_CACHE_HOME="$scratch/cache" \
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    # The splash and the main window share the title " Tunevale"; the main window is the
    # one that is mapped and is no splash.
    main_window() {
        local id
        for id in $(xwininfo -root -tree | sed -n "s/^ *\(0x[0-9a-f]*\) \" Tunevale\":.*/\1/p"); do
            if xwininfo -id "$id" | grep -q IsViewable &&
                ! xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q SPLASH; then
                echo "$id"
                return 0
            fi
        done
        return 1
    }
    $1 &
    program=$!
    window=
    for _ in $(seq 100); do
        window=$(main_window) && break
        sleep 0.2
    done
    sleep 1
    if [ -n "$window" ]; then
        if [ -n "$SHOT_DIR" ]; then
            mkdir -p "$SHOT_DIR"
            import -window root "$SHOT_DIR/installed-from-desktop-entry.png"
        fi
        xdotool windowfocus --sync "$((window))" key F1
        sleep 2
    fi
    kill "$program"
    wait "$program" || true
    [ -n "$window" ]' _ "$command" || fail "the installed program showed no main window"
page=$(sed -n 's|^file://||p' "$scratch/opened" 2>/dev/null || true)
if [ ! -f "$page" ] || [ "$(basename "$page")" != index.html ]; then
    fail "Help Contents opened '$(cat "$scratch/opened" 2>/dev/null)', not a help page on disk"
fi
echo "ci-package: the package installs, validates and runs"
