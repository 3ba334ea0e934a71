#!/usr/bin/env bash
# The long soak: the pilot plays game after game for MINUTES of virtual time
# (default 60) on the headless host, in the sanitizer build, with the tick
# count wrapping early in the run. Prints the games played, the best score,
# the wall time and the live allocations at the start and the end.
# Usage: scripts/soak.sh [MINUTES]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:-60}"
case "$minutes" in
'' | *[!0-9.]*) echo "usage: scripts/soak.sh [MINUTES]" >&2; exit 2 ;;
esac
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" googletest libgtest-dev
build="${SOAK_BUILD_DIR:-build/soak-asan}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DREEFDART_SANITIZE=ON -DREEFDART_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target reefdart_tests_soak
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export REEFDART_SOAK_MINUTES="$minutes"
start=$(date +%s)
"$build/reefdart_tests_soak" --gtest_filter='Soak.*'
echo "soak: $minutes virtual minutes passed in $(($(date +%s) - start)) s of wall time"
