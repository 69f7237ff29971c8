# shellcheck shell=bash
# Timing helpers the comparison scripts source. They need $work (a scratch folder with an out/
# folder the timed commands write to) and $runs (how many runs to take the best of).

now() { date +%s.%N; }
# CPU seconds (user + system) the shell's children have used so far.
# `times` runs in this shell (a command substitution would count its own children only).
child_cpu() {
    times >"$work/times"
    tail -1 "$work/times" | sed 's/m/ /g; s/s//g' | awk '{print $1*60 + $2 + $3*60 + $4}'
}
timed() { # best wall time and the CPU time of that run, of $runs runs, outputs cleared after each
    local best= best_cpu=
    for _ in $(seq "$runs"); do
        local start end cpu_start cpu_end
        child_cpu >"$work/cpu"
        read -r cpu_start <"$work/cpu"
        start=$(now)
        "$@" >/dev/null
        end=$(now)
        child_cpu >"$work/cpu"
        read -r cpu_end <"$work/cpu"
        rm -f "$work"/out/*
        read -r best best_cpu < <(echo "$start $end $cpu_start $cpu_end ${best:-} ${best_cpu:-}" |
            awk '{t=$2-$1; c=$4-$3; if ($5=="" || t<$5) print t, c; else print $5, $6}')
    done
    printf '%.3f %.3f' "$best" "$best_cpu"
}

# The reference FLAC encoder at our default level, one process per file as a user's loop runs it.
flac_loop() {
    for source in "$@"; do
        flac -5 -s -o "$work/out/$(basename "$source" .wav).flac" "$source"
    done
}
