#!/usr/bin/env bash
# Builds Quenlor and passes every test: the release build, the release packages (Debian and
# Windows), the web site in a browser, the sanitizer build, the formatting check, and the short
# fuzzing run. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

echo "== formatting"
clang-format --dry-run --Werror src/*.h src/*.cpp tests/*.cpp tests/*.h tools/*.cpp tools/*.h bench/*.cpp web/engine/*.cpp $(ls fuzz/*.cpp fuzz/*.h 2>/dev/null || true)

echo "== release build and tests"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs"

echo "== packaging"
# The Debian package built and lintian-clean, the same bytes when built again in another folder,
# the manual pages clean under groff, the Windows programs cross-compiled and answering the quick
# set of reference positions and games under Wine as the Linux build does.
scripts/release.sh --check

echo "== browser"
# The site built with Emscripten and esbuild, the engine checked under Node against the native
# build, then whole games played in headless Chromium.
scripts/web.sh tool
web/node_modules/.bin/prettier --config web/.prettierrc.json --check --log-level warn \
  web/src/*.js web/*.mjs web/sw.js web/engine/pre.js tests/web/*.mjs scripts/match/*.mjs tests/match/*.mjs
node --test --test-concurrency=1 tests/web/engine.test.mjs tests/web/browser.test.mjs

echo "== sanitizer build and tests"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs" -LE slow

if [ -x scripts/fuzz.sh ]; then
  echo "== fuzzing"
  scripts/fuzz.sh "${QUENLOR_FUZZ_SECONDS:-20}"
fi
echo "== all tests passed"
