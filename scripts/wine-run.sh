#!/usr/bin/env bash
# Runs the Windows test host under Wine, headless and bounded in time:
#   wine-run.sh <arvex_testhost.exe> <ArvexMFD.dll> <output folder>
# A private Wine prefix lives beside the output; memory device contexts need
# no display, so no X server is started. A missing or failing Wine gives one
# line and a non-zero exit, never a hang.
set -uo pipefail
exe=$1 dll=$2 out=$3
limit=${WINE_TIMEOUT:-240}
wine=$(command -v wine64 || command -v wine || true)
if [ -z "$wine" ]; then
  echo "wine-run: no wine64 or wine on PATH; install wine64 (scripts/install-deps.sh)"
  exit 1
fi
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$(cd "$out/.." && pwd)/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  if ! timeout "$limit" "$wine" wineboot --init >/dev/null 2>&1; then
    echo "wine-run: '$wine wineboot' failed or took over ${limit}s; Wine cannot start here"
    exit 1
  fi
fi
timeout "$limit" "$wine" "$exe" "Z:${dll//\//\\}" "Z:$(cd "$out" && pwd | sed 's|/|\\|g')"
rc=$?
if [ "$rc" = 124 ]; then
  echo "wine-run: the test host did not finish within ${limit}s"
fi
exit "$rc"
