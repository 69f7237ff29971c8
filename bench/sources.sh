# shellcheck shell=bash
# Generated sources the comparison scripts share.

# A stereo 44.1 kHz WAV of music-like sound: a chord with a slow beat over pink noise, its
# pitches and noise taken from seed, so no two seeds make alike files.
make_wav() { # seconds seed output [codec]
    local f=$((200 + $2 * 7))
    ffmpeg -nostdin -v error \
        -f lavfi -i "aevalsrc=0.2*sin(2*PI*$f*t)*(1+0.3*sin(2*PI*0.5*t))+0.1*sin(2*PI*$((f * 3 / 2))*t)|0.2*sin(2*PI*$((f + 1))*t)+0.05*sin(2*PI*$((f * 8))*t):s=44100:d=$1" \
        -f lavfi -i "anoisesrc=color=pink:amplitude=0.02:r=44100:d=$1:seed=$2" \
        -filter_complex amix=inputs=2:normalize=0 -ac 2 -c:a "${4:-pcm_s16le}" \
        -fflags +bitexact -flags:a +bitexact "$3" # no LIST chunk for flac to warn of
}
