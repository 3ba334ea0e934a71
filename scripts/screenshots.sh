#!/usr/bin/env bash
# Renders every screen through the headless host into docs/screenshots/, in
# the 240 x 320 (qvga) and 176 x 220 (small) layouts, and the contact sheet of
# all pictures into docs/assets.png. Rerun it whenever a picture or a screen
# changes. Usage: scripts/screenshots.sh [path/to/reefdart]
set -euo pipefail
cd "$(dirname "$0")/.."
game=${1:-}
if [ -z "$game" ]; then
    cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DREEFDART_TESTS=OFF -DREEFDART_BENCH=OFF >/dev/null
    cmake --build build/release -j"$(nproc)" --target reefdart >/dev/null
    game=build/release/reefdart
fi
out=docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for device in qvga small; do
    d="$out/$device"
    cat >"$work/menus.script" <<SCRIPT
wait 400
shot $d-title.png
key DOWN
key START
wait 400
shot $d-settings.png
key DOWN
key START
wait 400
shot $d-settings-french.png
key START
key DOWN
key START
wait 400
shot $d-controls.png
key 65
key 66
key 67
key 68
key DOWN
key START
key DOWN
key DOWN
key START
wait 300
shot $d-about.png
key START
wait 100
key DOWN
key DOWN
key DOWN
key START
SCRIPT
    "$game" --headless "$work/menus.script" --device "$device" --data-dir "$work/data-$device" \
        --final-shot "$d-splash.png"
    cat >"$work/game.script" <<SCRIPT
wait 400
key START
wait 300
shot $d-get-ready.png
wait 900
press UP
wait 250
release UP
wait 200
press UP
wait 300
release UP
wait 300
shot $d-flight.png
wait 12000
shot $d-game-over.png
SCRIPT
    "$game" --headless "$work/game.script" --device "$device" --data-dir "$work/game-$device" \
        --seed 4242
done

# Every picture at twice its size on one sheet, with its resource number.
tiles=()
for id in 247 336 249 248 337 303 302 254 204 222 250 251 253 308; do
    f=resources/bitmap_$id.bmp
    [ -f "$f" ] || continue
    convert "$f" -scale 200% "$work/$id.png"
    tiles+=(-label "$id" "$work/$id.png")
done
montage "${tiles[@]}" -tile 4x -geometry +8+8 -background '#202830' -fill white docs/assets.png
echo "screens in $out/, contact sheet docs/assets.png"
