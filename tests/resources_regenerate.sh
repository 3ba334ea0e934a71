#!/usr/bin/env bash
# Every generated resource comes out of its generator byte for byte as it is
# committed.
set -u
tools=$(dirname "$1")
src=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
status=0
check() { # generator, committed file
    "$tools/$1" "$dir/$(basename "$2")" || { echo "$1 failed"; status=1; return; }
    cmp -s "$dir/$(basename "$2")" "$src/$2" || { echo "$2 differs from what $1 makes"; status=1; }
}
check make_click resources/wave_1.wav
exit $status
