#!/usr/bin/env bash
# CI: builds the libFuzzer targets (clang, AddressSanitizer, UBSan) and runs each for a bounded
# time, both at once. A crash, leak, timeout or sanitizer report fails the run; the input that
# caused it is left in build-fuzz/fuzz/crashes/ (add it under tests/data/fuzz/ with the fix).
# Usage: scripts/ci-fuzz.sh [SECONDS per target, default 120]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-120}"
targets=(fuzz_reader fuzz_information)

# clang and its libFuzzer runtime (a recommendation, which install-deps.sh leaves out).
missing=()
for pkg in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DTUNEVALE_FUZZ=ON \
    -DTUNEVALE_BUILD_TESTS=OFF -DTUNEVALE_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"

fuzz=build-fuzz/fuzz
mkdir -p "$fuzz/crashes"
pids=()
for target in "${targets[@]}"; do
    mkdir -p "$fuzz/corpus/$target"
    "$fuzz/$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=2048 -max_len=65536 \
        -artifact_prefix="$fuzz/crashes/$target-" -print_final_stats=1 \
        "$fuzz/corpus/$target" "$fuzz/seeds" >"$fuzz/$target.log" 2>&1 &
    pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
    if wait "${pids[$i]}"; then
        echo "${targets[$i]}: no fault in ${seconds} s ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$fuzz/${targets[$i]}.log" | grep -o '[0-9]*$') runs)"
    else
        failed=1
        echo "error: ${targets[$i]} found a fault:" >&2
        tail -n 60 "$fuzz/${targets[$i]}.log" >&2
    fi
done
exit "$failed"
