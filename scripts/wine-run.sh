#!/usr/bin/env bash
# Runs the Windows test host under Wine, headless and bounded in time:
#   wine-run.sh <Orbiter.exe> <module DLL> <output folder> [<pages.txt>]
# (pages.txt: the simulated host's pages, to compare with). It runs in the
# executable's folder, as Orbiter does; a DLL given relative to that folder
# (Modules/Plugin/ArvexMFD.dll) is loaded by that relative path. A private Wine
# prefix lives beside the output; memory device contexts need no display, so
# no X server is started. Without Wine it says so in one line and exits 77
# (skipped); a Wine that fails to start gives one line and exit 1, never a
# hang.
set -uo pipefail
exe=$1 dll=$2 out=$3 list=${4:-}
limit=${WINE_TIMEOUT:-240}
# What an earlier run wrote goes first: a skipped or failed run leaves no
# pages behind for a later comparison to mistake for its own.
rm -rf "$out"
# The 64-bit loader itself where Debian keeps it: with wine32 installed,
# /usr/bin/wine starts the 32-bit one, which a kernel without 32-bit
# support cannot run even for a 64-bit program.
wine=$(command -v wine64 || ls /usr/lib/wine/wine64 2>/dev/null || command -v wine || true)
if [ -z "$wine" ]; then
  echo "wine-run: skipped, no wine64 or wine on PATH; install wine64 (scripts/install-deps.sh)"
  exit 77
fi
windows_path() { echo "Z:$(cd "$(dirname "$1")" && pwd | sed 's|/|\\|g')\\$(basename "$1")"; }
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$(cd "$out/.." && pwd)/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  if ! timeout "$limit" "$wine" wineboot --init >/dev/null 2>&1; then
    echo "wine-run: '$wine wineboot' failed or took over ${limit}s; Wine cannot start here"
    exit 1
  fi
fi
case $dll in
  /*) dll=$(windows_path "$dll") ;;
  *) dll=${dll//\//\\} ;;
esac
args=("$dll" "Z:$(cd "$out" && pwd | sed 's|/|\\|g')")
[ -n "$list" ] && args+=("$(windows_path "$list")")
cd "$(dirname "$exe")" || exit 1
# Its report is kept beside its pages, for the README's figures.
timeout "$limit" "$wine" "./$(basename "$exe")" "${args[@]}" | tee "$out/host.log"
rc=${PIPESTATUS[0]}
if [ "$rc" = 124 ]; then
  echo "wine-run: the test host did not finish within ${limit}s"
elif [ "$rc" != 0 ]; then
  echo "wine-run: the test host exited with code $rc (above 255 or negative: it crashed)"
fi
exit "$rc"
