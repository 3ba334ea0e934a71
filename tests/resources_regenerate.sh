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
check make_font resources/bitmap_254.bmp
mkdir -p "$dir/music"
if "$tools/make_music" "$dir/music"; then
    for m in module_1.mod module_2.mod; do
        cmp -s "$dir/music/$m" "$src/resources/$m" || { echo "resources/$m differs from what make_music makes"; status=1; }
    done
else
    echo "make_music failed"; status=1
fi
exit $status
