#!/usr/bin/env bash
# Installs what is missing, builds Tunevale and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run
cmake -S . -B build -DTUNEVALE_BUILD_TESTS=OFF -DTUNEVALE_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target tunevale tunevale-cli
exec ./build/src/tunevale "$@"
