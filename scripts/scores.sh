#!/usr/bin/env bash
# Builds the score site and the browser edition and starts the site with
# SQLite on 127.0.0.1:8080 (PORT=N for another port): open
# http://127.0.0.1:8080/ to play, see the boards and check score codes.
# Extra arguments go to reefdart-scores (see --help); the database is
# build/scores/reefdart-scores.db unless --db names another.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
need_packages "${BUILD_PACKAGES[@]}"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DREEFDART_TESTS=OFF -DREEFDART_BENCH=OFF >/dev/null
cmake --build build/release -j"$(nproc)" --target reefdart-scores
site=()
if bash scripts/web.sh; then
    site=(--site build/web/site)
else
    echo "scores.sh: the browser edition could not be built; the site serves no game" >&2
fi
mkdir -p build/scores
exec build/release/reefdart-scores --listen "127.0.0.1:${PORT:-8080}" \
    --db build/scores/reefdart-scores.db "${site[@]}" "$@"
