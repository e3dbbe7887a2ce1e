#!/usr/bin/env bash
# Builds the browser playground with Debian's Emscripten into build-web/site/
# (a plain folder of static files: open it with 'build/app/lobarc serve').
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
if ! command -v emcmake >/dev/null; then
  echo "build-web: Emscripten is missing; install it with 'apt-get install emscripten'" \
    "(or run scripts/install-deps.sh)" >&2
  exit 1
fi
# Debian's Emscripten runs its JavaScript tools with the system's Node.js
# modules (acorn); its library cache is prebuilt, so EM_CACHE stays unset.
export NODE_PATH=/usr/share/nodejs
unset EM_CACHE
echo "== build the browser playground (WebAssembly) in build-web/"
emcmake cmake -S web -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j"$jobs"
echo "== the page is in build-web/site/; open it with: build/app/lobarc serve"
