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
# The picture generators write a folder each.
pictures() { # generator, committed files...
    local tool=$1 out="$dir/$1"
    shift
    mkdir -p "$out"
    "$tools/$tool" "$out" >/dev/null || { echo "$tool failed"; status=1; return; }
    for f in "$@"; do
        cmp -s "$out/${f#resources/}" "$src/$f" || { echo "$f differs from what $tool makes"; status=1; }
    done
}
pictures make_backdrops resources/bitmap_{204,222,247,250,251,253,308,336}.bmp
pictures make_title resources/bitmap_{248,249,302}.bmp
pictures make_sprites resources/bitmap_{303,337}.bmp resources/icon_335.bmp resources/icons/icon_{16,32,48}.png
mkdir -p "$dir/music"
if "$tools/make_music" "$dir/music"; then
    for m in module_1.mod module_2.mod; do
        cmp -s "$dir/music/$m" "$src/resources/$m" || { echo "resources/$m differs from what make_music makes"; status=1; }
    done
else
    echo "make_music failed"; status=1
fi
exit $status
