#!/usr/bin/env bash
# Makes every picture the README shows, and its figures, from the build:
#   readme-figures.sh [--build DIR] [all|simulated|gdi|playground|numbers|numbers-wine|numbers-timing|numbers-web|numbers-stages]...
#       regenerates docs/images and README.md's marked figures (default: all
#       but numbers-timing, numbers-web and numbers-stages; numbers-wine reads
#       the last Wine run)
#   readme-figures.sh --check simulated|gdi|numbers|numbers-wine|numbers-timing|numbers-web|numbers-stages [--build DIR]
#       regenerates that set into the build folder and compares it with the
#       committed one: pictures byte for byte (the tests "readme_pictures_*"),
#       numbers exactly (the test "readme_figures_numbers", which also checks
#       that the timing, browser and stage-time blocks are there), numbers-wine
#       exactly after the test wine_gdi (the test "readme_figures_wine"),
#       numbers-timing, numbers-web (after scripts/test-web.sh's run) and
#       numbers-stages (after scripts/test.sh's) within the noise
#       scripts/readme-numbers.py states
# numbers: README.md's <!-- figures: NAME --> blocks that flights and the
# Windows DLLs give (scripts/readme-numbers.py). numbers-wine: the Windows test
# host's report of the fonts and checks of its Wine run. numbers-timing: those that
# depend on the machine; regenerated on demand only. numbers-web: the browser
# test's, over the runs of scripts/test-web.sh kept in build-web/figures-runs/.
# numbers-stages: the wall-clock times of scripts/test.sh's stages, from the
# build/stage-times.json of its last run.
# simulated: the Cairo pages from `lobarc render`. gdi: the real-GDI pages of
# the Windows test host under Wine (its test wine_gdi), repacked through Cairo.
# playground: the browser test's screenshots (scripts/test-web.sh); these
# change from run to run, so they are made here but never checked.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build check=0 sets=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift ;;
    --check) check=1 ;;
    all) sets+=(simulated gdi numbers-wine playground numbers) ;;
    simulated | gdi | playground | numbers | numbers-wine | numbers-timing | numbers-web | numbers-stages) sets+=("$1") ;;
    *) echo "readme-figures: unknown argument '$1' (see the head of $0)" >&2; exit 2 ;;
  esac
  shift
done
[ ${#sets[@]} -gt 0 ] || sets=(simulated gdi numbers-wine playground numbers)
images=$root/docs/images
numbers() {
  local set=${1#numbers-}
  [ "$1" = numbers ] && set=numbers
  local args=(--build "$build" "$set")
  [ "$check" = 1 ] && args=(--check "${args[@]}")
  python3 "$root/scripts/readme-numbers.py" "${args[@]}"
  if [ "$check" = 1 ] && [ "$set" = numbers ]; then
    python3 "$root/scripts/readme-numbers.py" --present timing
    python3 "$root/scripts/readme-numbers.py" --present web
    python3 "$root/scripts/readme-numbers.py" --present wine
    python3 "$root/scripts/readme-numbers.py" --present stages
  fi
}
if [ "$check" = 1 ] && [ ${#sets[@]} = 1 ] && [[ ${sets[0]} == numbers* ]]; then
  numbers "${sets[0]}"
  exit
fi
if [ "$check" = 1 ]; then
  if [ ${#sets[@]} != 1 ] || [ "${sets[0]}" = playground ]; then
    echo "readme-figures: --check takes one set: simulated, gdi, numbers, numbers-wine, numbers-timing, numbers-web or numbers-stages" >&2
    exit 2
  fi
  out=$build/readme-pictures/${sets[0]}
  rm -rf "$out"
else
  out=$images
fi
lobarc=$build/app/lobarc
need() { [ -x "$1" ] || { echo "readme-figures: $1 is missing; $2" >&2; exit 1; }; }

# The README's simulated pictures: folder, scenario (empty: the default hop),
# language, and the pages it shows from that set.
simulated_sets=(
  ".||en|page-grounded page-flight-1 page-flight-2"
  "fr||fr|page-grounded page-flight-1 page-flight-2"
  "256|256/moon-hop.toml|en|page-grounded page-flight-1"
  "256/fr|256/moon-hop.toml|fr|page-flight-2"
  "600|600/moon-hop.toml|en|page-flight-2"
  "600/fr|600/moon-hop.toml|fr|page-grounded page-flight-1"
)
simulated() {
  need "$lobarc" "build it first (cmake --build build --target lobarc)"
  local tmp entry dir scenario lang pages p
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' RETURN
  for entry in "${simulated_sets[@]}"; do
    IFS='|' read -r dir scenario lang pages <<<"$entry"
    echo "== simulated: $dir ($lang)"
    local args=(render --lang "$lang" --out "$tmp/$dir")
    [ -n "$scenario" ] && args=(render "$images/$scenario" --lang "$lang" --out "$tmp/$dir")
    "$lobarc" "${args[@]}" >/dev/null
    mkdir -p "$out/$dir"
    for p in $pages; do cp "$tmp/$dir/$p.png" "$out/$dir/$p.png"; done
  done
}

gdi_pages="page-grounded page-flight-1 page-flight-2"
gdi() {
  local wine_out=$build/windows-x86_64/wine-out repack=$build/tests/png_repack lang dir p
  need "$repack" "build it first (cmake --build build --target png_repack)"
  if [ "$check" = 1 ] && [ ! -d "$wine_out" ]; then
    echo "readme-figures: skipped, no Wine run in $wine_out (the test wine_gdi was skipped)"
    exit 77
  fi
  if [ "$check" = 0 ]; then
    echo "== gdi: the Windows test host under Wine (ctest -R wine_gdi)"
    rm -rf "$wine_out"
    ctest --test-dir "$build" -R '^(sim_pages|wine_gdi)$' --output-on-failure >/dev/null ||
      { echo "readme-figures: the Wine run failed or was skipped (ctest --test-dir $build -R wine_gdi -V)" >&2; exit 1; }
  fi
  for lang in en fr; do
    dir=$out/gdi
    [ "$lang" = fr ] && dir=$out/gdi/fr
    mkdir -p "$dir"
    for p in $gdi_pages; do
      [ -f "$wine_out/$lang-290-$p.png" ] || {
        echo "readme-figures: $wine_out/$lang-290-$p.png is missing; run the Wine test (ctest -R wine_gdi)" >&2
        exit 1
      }
      "$repack" "$wine_out/$lang-290-$p.png" "$dir/$p.png"
    done
    echo "== gdi: $lang"
  done
}

playground() {
  echo "== playground: the browser test (scripts/test-web.sh)"
  [ "$build" = "$root/build" ] || { echo "readme-figures: the browser test uses $root/build" >&2; exit 1; }
  LOBARC_SCREENSHOT_DIR=$images bash "$root/scripts/test-web.sh"
}

for s in "${sets[@]}"; do
  case $s in numbers*) numbers "$s" ;; *) "$s" ;; esac
done
[ "$check" = 1 ] || { echo "readme-figures: pictures written to $images, figures to README.md"; exit 0; }

# Every picture of the set, the committed one against the one just made.
bad=0 n=0
while IFS= read -r f; do
  rel=${f#"$out"/}
  n=$((n + 1))
  if [ ! -f "$images/$rel" ]; then
    echo "FAIL: docs/images/$rel is not committed"; bad=1
  elif ! cmp -s "$f" "$images/$rel"; then
    echo "FAIL: docs/images/$rel differs from what the build draws ($f)"; bad=1
  fi
done < <(find "$out" -name '*.png' | sort)
if [ "$bad" = 1 ]; then
  echo "The committed pictures are stale: run scripts/readme-figures.sh ${sets[0]} and commit docs/images."
  exit 1
fi
echo "readme-figures: the $n ${sets[0]} pictures match docs/images"
