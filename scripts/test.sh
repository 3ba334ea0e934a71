#!/usr/bin/env bash
# Builds everything and runs every test: once in a normal build and once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
jobs="$(nproc)"

echo "== normal build"
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j"$jobs"
ctest --test-dir build/test -j"$jobs" --output-on-failure

echo "== sanitizer build"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DREEFDART_SANITIZE=ON -DREEFDART_BENCH=OFF >/dev/null
cmake --build build/asan -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build/asan -j"$jobs" --output-on-failure

echo "== fuzzing (short, fixed seed)"
bash scripts/fuzz.sh

echo "== replays on every build"
# The sanitizer build above has played them already (CTest replays.agree).
bash scripts/replay_agree.sh gcc clang wasm arm64

echo "== browser edition"
status=0
bash scripts/web_test.sh "$PWD/build/test/reefdart" || status=$?
if [ "$status" = 77 ]; then
    echo "browser test skipped"
elif [ "$status" != 0 ]; then
    exit "$status"
fi
