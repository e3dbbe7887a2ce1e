#!/usr/bin/env bash
# The browser playground's test: builds the page with Emscripten, then drives
# it in the system's headless Chromium through playwright-core (installed from
# tests/browser/package-lock.json; it never downloads a browser). Needs the
# native build's lobarc (for `lobarc serve`) in build/. Run by scripts/test.sh,
# it adds the times of its two stages to that run's (scripts/stage-times.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/stage-times.sh
source scripts/stage-times.sh
if [ ! -x build/app/lobarc ]; then
  echo "test-web: build/app/lobarc is missing; build the project first (cmake --build build)" >&2
  exit 1
fi
if [ ! -x "${CHROMIUM:-/usr/bin/chromium}" ]; then
  echo "test-web: no Chromium at ${CHROMIUM:-/usr/bin/chromium}; apt-get install chromium" \
    "(or run scripts/install-deps.sh), or set CHROMIUM" >&2
  exit 1
fi
stage web-build build-web bash scripts/build-web.sh
browser_test() {
  echo "== browser test (headless Chromium)"
  # playwright-core alone: no browser download, whatever its version wants.
  export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
  (cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
  timeout 300 node tests/browser/playground.test.mjs
}
stage web-test - browser_test
# This run's figures against the README's (within the noise stated there),
# kept for the range that scripts/readme-figures.sh numbers-web writes.
mkdir -p build-web/figures-runs
cp build-web/figures.json "build-web/figures-runs/$(date -u +%Y%m%dT%H%M%S).json"
bash scripts/readme-figures.sh --check numbers-web
