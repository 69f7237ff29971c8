#!/usr/bin/env bash
# Installs what is missing, builds Tunevale and runs every test.
# Usage: scripts/test.sh [--sanitize]   (--sanitize: AddressSanitizer + UBSan build in build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
    build_dir=build-asan
    options+=(-DTUNEVALE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

bash scripts/install-deps.sh test
cmake -S . -B "$build_dir" -DTUNEVALE_BUILD_TESTS=ON -DTUNEVALE_BUILD_BENCH=ON "${options[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1
ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j"$(nproc)"
