#!/bin/bash
# Builds the browser edition into build/web/site (index.html, its scripts,
# manifest.json, icons/, reefdart.js, reefdart.wasm, chiptune3/, sw.js) with
# Debian's emscripten, installing it when missing.
# Usage: scripts/web.sh          build
#        scripts/web.sh serve    build, then serve the site on 127.0.0.1:8080
#                                (PORT=N for another port)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$ROOT/build/web"
. "$ROOT/scripts/deps.sh"

need_packages emscripten node-acorn libstb-dev cmake make python3
# Debian's emscripten finds acorn (for its JavaScript optimiser) only here.
NODE_PATH="$(dirname "$(dpkg -L node-acorn | grep -m1 '/acorn$')")"
export NODE_PATH

emcmake cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release \
    -DREEFDART_TESTS=OFF -DREEFDART_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target reefdart

# The music player: chiptune3 (libopenmpt for the web) at the version that
# web/package-lock.json pins, copied beside the game. Without it the game
# still runs, with its sound effects and no music.
MUSIC="$ROOT/web/node_modules/chiptune3"
if [ ! -f "$MUSIC/chiptune3.js" ] && command -v npm >/dev/null; then
    (cd "$ROOT/web" && npm ci --no-audit --no-fund >/dev/null) ||
        echo "web.sh: chiptune3 could not be installed; the site has no music" >&2
fi
rm -rf "$BUILD/site/chiptune3"
if [ -f "$MUSIC/chiptune3.js" ]; then
    mkdir -p "$BUILD/site/chiptune3"
    cp "$MUSIC/chiptune3.js" "$MUSIC/chiptune3.worklet.js" "$MUSIC/libopenmpt.worklet.js" \
        "$MUSIC/LICENSE" "$BUILD/site/chiptune3/"
else
    echo "web.sh: no chiptune3 (npm missing?); the site has no music" >&2
fi

# The service worker, last: the list of the site's files and a hash of them
# all, which names the cache a browser keeps them in (a new build, a new cache).
SITE="$BUILD/site"
FILES="$(cd "$SITE" && find . -type f ! -name sw.js ! -name '.*' | sed 's|^\./||' | LC_ALL=C sort)"
VERSION="$(cd "$SITE" && printf '%s\n' "$FILES" | while read -r f; do
    printf '%s %s\n' "$(sha256sum "$f" | cut -c1-64)" "$f"; done | sha256sum | cut -c1-16)"
python3 - "$ROOT/web/sw.js" "$SITE/sw.js" "$VERSION" "$FILES" <<'PY'
import json, sys
source, target, version, files = sys.argv[1:5]
text = open(source).read()
text = text.replace("const VERSION = 'unbuilt';", "const VERSION = %s;" % json.dumps(version), 1)
text = text.replace("const FILES = [];", "const FILES = %s;" % json.dumps(files.split("\n")), 1)
open(target, "w").write(text)
PY
echo "Site: $BUILD/site ($(du -k "$BUILD/site/reefdart.wasm" | cut -f1) KiB of WebAssembly, version $VERSION)"

if [ "${1:-}" = serve ]; then
    PORT="${PORT:-8080}"
    echo "Serving on http://127.0.0.1:$PORT/ (Ctrl+C to stop)"
    cd "$BUILD/site"
    exec python3 -m http.server "$PORT" --bind 127.0.0.1
fi
