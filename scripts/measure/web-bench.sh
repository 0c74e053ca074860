#!/usr/bin/env bash
# Web benchmark: the time from the user's move to the engine's reply on the board in Chromium
# (median over a game), and the WebAssembly engine's time per reply against the native one.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset release >/dev/null
cmake --build --preset release -j 2 --target quenlor-tool quenlor-uci
scripts/web.sh
node tests/web/bench.mjs
