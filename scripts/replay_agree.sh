#!/usr/bin/env bash
# Builds the replay checker (tests/replays/agree.cpp and the game's rules,
# tests/replays/rules_sources.txt) with every compiler and processor the game
# is built for, and plays the stored replays with each: every build must reach
# the scores, lengths and final state hashes in tests/replays/expected.txt.
#
#   gcc      g++, as the normal build
#   clang    clang++
#   sanitize g++ with AddressSanitizer and UndefinedBehaviorSanitizer
#   wasm     em++ (the browser edition's compiler), run under node
#   arm64    aarch64-linux-gnu-g++, run under qemu-aarch64
#
# Usage: scripts/replay_agree.sh [BUILD...]   (all of them by default)
# A build whose compiler or runner cannot be installed is skipped and said so;
# any build that fails to compile or disagrees makes the script exit 1.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="$ROOT/build/replay-agree"
REPLAYS="$ROOT/tests/replays"
. "$ROOT/scripts/deps.sh"

mapfile -t SOURCES < <(grep -v '^#' "$REPLAYS/rules_sources.txt" | grep .)
SOURCES=("${SOURCES[@]/#/$ROOT/}" "$REPLAYS/agree.cpp" "$REPLAYS/rules_only.cpp")
# The game's arithmetic rounds as written: no contraction into fused
# multiply-adds and no fast-math, whatever the compiler's default.
FLAGS=(-std=c++17 -O2 -Wall -Wextra -Werror -ffp-contract=off -I"$ROOT")

# Every stored replay is in the table.
for file in "$REPLAYS"/*.rdr; do
    name="$(basename "$file")"
    grep -q "^$name " "$REPLAYS/expected.txt" || {
        echo "$name is not in tests/replays/expected.txt"
        exit 1
    }
done

passed=() skipped=() failed=()
skip() {
    echo "SKIPPED $1: $2"
    skipped+=("$1")
}

# check NAME RUNNER... -- COMPILER FLAGS...: compiles the checker into
# OUT/NAME/replay_agree(.js) and runs it with RUNNER in front.
check() {
    local name="$1" runner=() compiler=()
    shift
    while [ "$1" != -- ]; do runner+=("$1") && shift; done
    shift
    compiler=("$@")
    local dir="$OUT/$name" exe="$OUT/$name/replay_agree"
    [ "${compiler[0]}" = em++ ] && exe="$exe.js"
    mkdir -p "$dir"
    echo "== $name: ${compiler[*]} ${FLAGS[*]}"
    if ! "${compiler[@]}" "${FLAGS[@]}" "${SOURCES[@]}" -o "$exe" >"$dir/compile.log" 2>&1; then
        cat "$dir/compile.log"
        echo "FAILED $name: does not compile"
        failed+=("$name")
        return
    fi
    local status=0
    "${runner[@]}" "$exe" "$REPLAYS" 2>&1 | cut -c1-300 | sed "s/^/[$name] /" || status=$?
    if [ "$status" = 0 ]; then
        passed+=("$name")
    else
        echo "FAILED $name: the stored replays do not agree (exit $status)"
        failed+=("$name")
    fi
}

build_gcc() { check gcc -- g++; }

build_clang() {
    need_packages clang || command -v clang++ >/dev/null || {
        skip clang "clang cannot be installed"
        return
    }
    check clang -- clang++
}

build_sanitize() {
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    check sanitize -- g++ -fsanitize=address,undefined -fno-sanitize-recover=all \
        -fno-omit-frame-pointer
}

build_wasm() {
    need_packages emscripten node-acorn || {
        skip wasm "emscripten cannot be installed"
        return
    }
    command -v node >/dev/null || need_packages nodejs || {
        skip wasm "node cannot be installed"
        return
    }
    # Debian's emscripten finds acorn (for its JavaScript optimiser) only here.
    NODE_PATH="$(dirname "$(dpkg -L node-acorn | grep -m1 '/acorn$')")"
    export NODE_PATH
    # NODERAWFS: the checker reads the replays from the real file system;
    # SINGLE_FILE: the module travels inside the script, which node's fetch
    # would not find as a path.
    check wasm node -- em++ -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1 \
        -sALLOW_MEMORY_GROWTH=1 -sSINGLE_FILE=1
}

build_arm64() {
    need_packages "${CROSS_PACKAGES[@]}" || {
        skip arm64 "${CROSS_PACKAGES[*]} cannot be installed"
        return
    }
    check arm64 qemu-aarch64 -L /usr/aarch64-linux-gnu -- aarch64-linux-gnu-g++
}

builds=("$@")
[ ${#builds[@]} = 0 ] && builds=(gcc clang sanitize wasm arm64)
for b in "${builds[@]}"; do
    if ! declare -F "build_$b" >/dev/null; then
        echo "no build $b; the builds are gcc clang sanitize wasm arm64" >&2
        exit 2
    fi
    "build_$b"
done

echo "== replays: agree on ${passed[*]:-no build}${skipped:+; skipped ${skipped[*]}}${failed:+; FAILED ${failed[*]}}"
[ ${#failed[@]} = 0 ]
