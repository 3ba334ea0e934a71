#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each over its seed corpus.
# Usage: scripts/fuzz.sh            short run for CI (a fixed number of inputs each)
#        scripts/fuzz.sh SECONDS    that many seconds for each target
# New inputs the fuzzer finds go to build/fuzz/corpus/NAME, never into the
# committed seeds. Exits non-zero when a target crashes, leaks, times out or
# runs out of memory; the input is left in build/fuzz/artifacts/NAME/.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"

seconds="${1:-}"
if [ -n "$seconds" ] && ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 [seconds]" >&2
    exit 2
fi
build=build/fuzz
jobs="$(nproc)"

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DREEFDART_FUZZ=ON -DREEFDART_TESTS=OFF -DREEFDART_BENCH=OFF >/dev/null
targets=()
for source in tests/fuzz/*.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=()
for name in "${targets[@]}"; do
    seeds="tests/fuzz/corpus/$name"
    found="$build/corpus/$name"
    artifacts="$build/artifacts/$name"
    mkdir -p "$seeds" "$found" "$artifacts"
    runs=4000
    [ "$name" = module_load ] && runs=1000 # each input is a whole module decoder start-up
    limit=(-runs="$runs")
    [ -n "$seconds" ] && limit=(-max_total_time="$seconds")
    dict=()
    [ -f "tests/fuzz/$name.dict" ] && dict=(-dict="tests/fuzz/$name.dict")
    echo "== fuzz_$name ${limit[*]}"
    if ! "$build/fuzz_$name" "${limit[@]}" "${dict[@]}" -seed=1 -timeout=10 -rss_limit_mb=3072 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$found" "$seeds" 2>"$build/fuzz_$name.log"; then
        failed+=("$name")
        tail -n 60 "$build/fuzz_$name.log" >&2
    fi
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' \
        "$build/fuzz_$name.log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz targets that failed: ${failed[*]}" >&2
    exit 1
fi
echo "all fuzz targets ran clean"
