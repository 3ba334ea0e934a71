#!/bin/bash
# Builds the browser edition, serves it and drives it in headless Chromium
# (tests/web): the title screen against the headless host's shots, then a
# press of Start; then a game played in the page, its replay verified by the
# native program and watched in the page to the native watch's last frame;
# then two tabs over the same stored files, one game between them;
# then the page around the game on a phone and a desktop: installable, its
# service worker starting it without the network, touch, full screen, sound;
# then the page served by the score site (reefdart-scores --site), its games
# verified, published and on the boards, and watched from the site.
# Usage: scripts/web_test.sh [NATIVE_REEFDART [NATIVE_REEFDART_SCORES]]
# (reefdart-scores is taken from beside reefdart when not named)
# Exits 77 when Chromium or emscripten cannot be installed.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build/web"
NATIVE="$ROOT/build-web-native"
WORK="$BUILD/test"
. "$ROOT/scripts/deps.sh"

skip() { echo "web test skipped: $*"; exit 77; }
need_packages emscripten node-acorn || skip "emscripten cannot be installed"
need_packages chromium || skip "chromium cannot be installed"
command -v npm >/dev/null || need_packages nodejs npm || skip "node and npm cannot be installed"
CHROMIUM=/usr/bin/chromium
[ -x "$CHROMIUM" ] || skip "no $CHROMIUM"
command -v node >/dev/null && command -v npm >/dev/null || skip "no node and npm"

set -e
"$ROOT/scripts/web.sh"
# The reference: the native program's title screen on the headless host,
# from the executable given (scripts/test.sh passes the one it built) or from
# a build of its own.
EXE="${1:-}"
SCORES="${2:-}"
[ -z "$SCORES" ] && [ -n "$EXE" ] && SCORES="$(dirname "$EXE")/reefdart-scores"
if [ -z "$EXE" ] || [ ! -x "$SCORES" ]; then
    cmake -S "$ROOT" -B "$NATIVE" -DREEFDART_TESTS=OFF -DREEFDART_BENCH=OFF >/dev/null
    cmake --build "$NATIVE" -j"$(nproc)" --target reefdart reefdart-scores >/dev/null
    [ -z "$EXE" ] && EXE="$NATIVE/reefdart"
    SCORES="$NATIVE/reefdart-scores"
fi
EXE="$(realpath "$EXE")"
rm -rf "$WORK" && mkdir -p "$WORK/data"
# Shots at uneven times show which pixels animate.
for wait in 1500 700 900 1100 1300 1700; do
    n=$((${n:-0} + 1))
    printf 'wait %d\nshot %s/title%d.png\n' "$wait" "$WORK" "$n"
done > "$WORK/title.txt"
"$EXE" --headless "$WORK/title.txt" --data-dir "$WORK/data"
printf 'wait 1500\nkey DOWN\nkey DOWN\nkey START\nwait 500\nshot %s/about.png\n' "$WORK" > "$WORK/about.txt"
rm -rf "$WORK/data" && mkdir -p "$WORK/data"
"$EXE" --headless "$WORK/about.txt" --data-dir "$WORK/data"

NODE_DIR="$BUILD/test-node"
mkdir -p "$NODE_DIR"
cp "$ROOT/tests/web/package.json" "$ROOT/tests/web/package-lock.json" "$ROOT"/tests/web/*.mjs "$NODE_DIR/"
if [ ! -d "$NODE_DIR/node_modules/playwright-core" ]; then
    (cd "$NODE_DIR" && npm ci --no-audit --no-fund >/dev/null) || skip "playwright-core cannot be installed"
fi

PORT="${PORT:-$((20000 + RANDOM % 20000))}"
(cd "$BUILD/site" && exec python3 -m http.server "$PORT" --bind 127.0.0.1 >/dev/null 2>&1) &
SERVER=$!
SITE=""
trap 'kill $SERVER $SITE 2>/dev/null; wait 2>/dev/null' EXIT
for _ in $(seq 50); do
    python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$PORT/')" 2>/dev/null && break
    sleep 0.2
done
set +e
node "$NODE_DIR/title_test.mjs" "http://127.0.0.1:$PORT/" "$CHROMIUM" "$WORK/about.png" \
    "$WORK"/title[1-6].png
STATUS=$?
node "$NODE_DIR/replay_test.mjs" "http://127.0.0.1:$PORT/" "$CHROMIUM" "$EXE" "$WORK" || STATUS=1
node "$NODE_DIR/tabs_test.mjs" "http://127.0.0.1:$PORT/" "$CHROMIUM" "$EXE" "$WORK" || STATUS=1
# The page around the game, installed and offline, on a file server of its
# own that it stops halfway (REEFDART_PAGE_SHOTS=DIR keeps its two shots).
node "$NODE_DIR/page_test.mjs" "$BUILD/site" "$CHROMIUM" ${REEFDART_PAGE_SHOTS:+"$REEFDART_PAGE_SHOTS"} || STATUS=1

# The score site on a free port (its first line on standard error gives it),
# with a database of its own, serving the site just built.
rm -f "$WORK"/scores.db*
"$SCORES" --listen 127.0.0.1:0 --db "$WORK/scores.db" --site "$BUILD/site" --workers 1 \
    --rate-limit 100 2>"$WORK/scores.log" &
SITE=$!
ADDRESS=""
for _ in $(seq 300); do
    ADDRESS="$(sed -n '1s/.*"event":"listening","address":"\([^"]*\)".*/\1/p' "$WORK/scores.log")"
    [ -n "$ADDRESS" ] || ! kill -0 $SITE 2>/dev/null && break
    sleep 0.1
done
if [ -z "$ADDRESS" ]; then
    echo "FAIL reefdart-scores did not start:"
    cat "$WORK/scores.log"
    STATUS=1
else
    node "$NODE_DIR/scores_test.mjs" "$ADDRESS" "$CHROMIUM" "$EXE" "$WORK" || STATUS=1
fi
kill $SITE 2>/dev/null
wait $SITE 2>/dev/null || { echo "FAIL reefdart-scores did not stop cleanly:"; tail -5 "$WORK/scores.log"; STATUS=1; }
SITE=""
echo "wasm: $(stat -c %s "$BUILD/site/reefdart.wasm") bytes, js: $(stat -c %s "$BUILD/site/reefdart.js") bytes"
exit $STATUS
