#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, skipping those already present.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format googletest libgtest-dev time
          libbenchmark-dev valgrind xboard xvfb xauth fairymax stockfish polyglot procps
          emscripten node-acorn chromium python3
          # Release files (scripts/release.sh): the Debian package and its check, groff for the
          # manual pages' check, the Windows programs and Wine to run them, the zip.
          debhelper dpkg-dev lintian groff-base g++-mingw-w64-x86-64-posix wine wine64 zip)
# The web page's tools come from npm and need Node with npm; Debian's serve when there is none.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# playwright-core and the browser tests' runner need Node.js 20 or newer.
node_major=$(node -p 'process.versions.node.split(".")[0]' 2>/dev/null || echo 0)
if [ "$node_major" -lt 20 ]; then
  echo "install-deps: the browser tests need Node.js 20 or newer (found $(node --version 2>&1))" >&2
  exit 1
fi
