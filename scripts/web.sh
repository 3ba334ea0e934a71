#!/bin/bash
# Builds the browser edition into build/web/site (index.html, reefdart.js,
# reefdart.wasm) with Debian's emscripten, installing it when missing.
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
cmake --build "$BUILD" -j1 --target reefdart
echo "Site: $BUILD/site ($(du -k "$BUILD/site/reefdart.wasm" | cut -f1) KiB of WebAssembly)"

if [ "${1:-}" = serve ]; then
    PORT="${PORT:-8080}"
    echo "Serving on http://127.0.0.1:$PORT/ (Ctrl+C to stop)"
    cd "$BUILD/site"
    exec python3 -m http.server "$PORT" --bind 127.0.0.1
fi
