#!/usr/bin/env bash
# Builds the game and starts it. Extra arguments go to the game (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DREEFDART_TESTS=OFF -DREEFDART_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target reefdart
exec build/release/reefdart "$@"
