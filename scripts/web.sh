#!/usr/bin/env bash
# Builds the site for playing Quenlor in a web browser into build/web/, plain static files that
# any web server can serve: the engine compiled to WebAssembly by Emscripten (a Web Worker script
# speaking UCI) and the page bundled by esbuild from web/.
#   scripts/web.sh          build the site
#   scripts/web.sh serve    build it, then serve it on http://localhost:8000/ (PORT=N for another)
#   scripts/web.sh tool     build the site and quenlor-tool as WebAssembly, for the tests
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-build}
case $mode in build | serve | tool) ;; *) echo "usage: scripts/web.sh [serve|tool]" >&2; exit 2 ;; esac

# Debian's Emscripten runs its JavaScript parts in Node and needs Debian's acorn for that.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
if [ ! -f build/wasm/build.ninja ]; then
  emcmake cmake -S web/engine -B build/wasm -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
targets=(engine)
[ "$mode" = tool ] && targets+=(quenlor-tool)
cmake --build build/wasm -j 2 --target "${targets[@]}"

# The page's packages, exactly as the lock file pins them, whenever the lock file changed. No
# install scripts: esbuild's only checks its binary, which comes as a package of its own.
if [ ! -f web/node_modules/.package-lock.json ] ||
  [ web/package-lock.json -nt web/node_modules/.package-lock.json ]; then
  (cd web && npm ci --no-audit --no-fund --ignore-scripts)
fi
node web/build.mjs build/wasm/engine.js build/web
echo "site built in build/web/"

if [ "$mode" = serve ]; then
  port=${PORT:-8000}
  echo "serving on http://localhost:$port/ (Ctrl+C to stop)"
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web
fi
