#!/usr/bin/env bash
# Builds the event fuzzer with clang (libFuzzer coverage and address +
# undefined-behaviour sanitizers in the host and the module too) and runs it
# for a bounded time from the seed corpus in fuzz/corpus. Any finding fails:
# the input that caused it is kept under <build>/fuzz-findings/ and replays
# with <build>/fuzz/event_fuzzer <file>.
#
# SKIP_FUZZ=1 skips it; FUZZ_SECONDS (default 60) bounds the run;
# FUZZ_BUILD_DIR (default build-fuzz) is where it builds.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${SKIP_FUZZ:-0}" = 1 ]; then
  echo "== fuzzing skipped (SKIP_FUZZ=1)"
  exit 0
fi
build=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
jobs=${JOBS:-$(nproc)}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

echo "== build the event fuzzer with clang in $build/"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLOBARC_FUZZ=ON -DLOBARC_BENCH=OFF -DCMAKE_CXX_FLAGS="$flags"
cmake --build "$build" --target event_fuzzer -j"$jobs"

# New inputs go to a scratch corpus; the seeds in the repository are only read.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/fuzz-findings"
findings=$(cd "$build/fuzz-findings" && pwd)

echo "== fuzz the module through the host for $seconds s"
if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  "$build/fuzz/event_fuzzer" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 \
  -max_len=4096 -artifact_prefix="$findings/" -print_final_stats=1 "$work" fuzz/corpus; then
  echo "== the fuzzer found a fault; replay it with: $build/fuzz/event_fuzzer $findings/<file>" >&2
  exit 1
fi
