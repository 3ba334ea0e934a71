#!/usr/bin/env bash
# The desktop build opens its window on a real X server (Xvfb), and a
# screenshot of the server shows it. Skipped (77) where Xvfb is missing.
set -u
exe=$1
command -v xvfb-run >/dev/null && command -v import >/dev/null || { echo "no Xvfb or ImageMagick"; exit 77; }
dir=$(mktemp -d)
# The X server's client libraries and GL drivers are loaded and unloaded by
# SDL and leave allocations that no longer have a module to name; the game's
# own leaks are checked by the unit tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
trap 'rm -rf "$dir"' EXIT
xvfb-run -a -s "-screen 0 640x800x24" bash -c "
    SDL_AUDIODRIVER=dummy '$exe' --data-dir '$dir/data' --scale 2 2>'$dir/log' & pid=\$!
    sleep 4
    import -window root '$dir/shot.png'
    kill -TERM \$pid
    wait \$pid
    echo \$? >'$dir/code'
" || { echo "xvfb-run failed"; cat "$dir/log"; exit 1; }
code=$(cat "$dir/code" 2>/dev/null || echo none)
[ "$code" = 0 ] || { echo "the game ended with $code"; cat "$dir/log"; exit 1; }
[ -s "$dir/shot.png" ] || { echo "no screenshot"; exit 1; }
# The window sits on the server's black root: a 480 x 640 area of its own picture.
colours=$(convert "$dir/shot.png" -crop 480x640+80+80 +repage -unique-colors -format '%w' info:)
[ "$colours" -ge 2 ] || { echo "the window area shows a single colour"; exit 1; }
mkdir -p "${TEST_OUTPUT_DIR:-/tmp}" && cp "$dir/shot.png" "${TEST_OUTPUT_DIR:-/tmp}/reefdart-xvfb.png"
echo "window shown: $colours colours"
