#!/usr/bin/env bash
# Installs the dependencies, builds, and runs every test: the normal build,
# then the whole suite again under address + undefined-behaviour sanitizers.
# Each stage is timed; the times go to build/stage-times.json (with the
# Windows sub-builds', the Wine run's and the SDK compile's) and are held
# against the README's at the end (scripts/readme-figures.sh numbers-stages).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/stage-times.sh
source scripts/stage-times.sh
started=$EPOCHREALTIME
jobs=${JOBS:-$(nproc)}
mkdir -p build
export LOBARC_STAGE_LOG=$PWD/build/stage-times.tsv
: >"$LOBARC_STAGE_LOG"
if [ "${SKIP_DEPS:-0}" != 1 ]; then stage deps - bash scripts/install-deps.sh; fi

native_build() {
  echo "== build (RelWithDebInfo) in build/, with the Windows DLLs (MSVC ABI, clang-16), test host and zips in build/windows-*/"
  # ORBITER_SDK: Orbitersdk folders (':' between) to compile the module against.
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBITER_SDK="${ORBITER_SDK:-}"
  if [ -z "${ORBITER_SDK:-}" ]; then
    echo "== compile against Orbiter's own SDK skipped: ORBITER_SDK names no Orbitersdk folder"
  fi
  cmake --build build -j"$jobs"
}
native_tests() {
  echo "== tests (the Windows DLL under Wine, its tables and the zips among them)"
  ctest --test-dir build --output-on-failure -j"$jobs"
}
stage build build native_build
stage tests - native_tests
if [ "${SKIP_WEB:-0}" != 1 ]; then bash scripts/test-web.sh; fi

if [ "${SKIP_ASAN:-0}" != 1 ]; then
  # Set as a packager would: on every target, the project's default build
  # type, no project option, no check left out, every test (the soak's
  # million steps take 40 s here; unoptimised, over ten minutes).
  san="-fsanitize=address,undefined"
  asan_build() {
    echo "== build with address + undefined sanitizers in build-asan/"
    cmake -S . -B build-asan \
      -DCMAKE_CXX_FLAGS="$san -fno-sanitize-recover=all -fno-omit-frame-pointer" \
      -DCMAKE_EXE_LINKER_FLAGS="$san" -DCMAKE_SHARED_LINKER_FLAGS="$san"
    cmake --build build-asan -j"$jobs"
  }
  asan_tests() {
    echo "== tests under sanitizers"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      ctest --test-dir build-asan --output-on-failure -j"$jobs"
  }
  stage asan-build build-asan asan_build
  stage asan-tests - asan_tests
fi
if [ -x scripts/fuzz.sh ] && [ "${SKIP_FUZZ:-0}" != 1 ]; then
  stage fuzz "${FUZZ_BUILD_DIR:-build-fuzz}" bash scripts/fuzz.sh
fi
python3 scripts/stage-times.py --started "$started" --log "$LOBARC_STAGE_LOG" --build build \
  --out build/stage-times.json
# This run's times against the README's (within the noise stated there).
bash scripts/readme-figures.sh --check numbers-stages
echo "== all tests passed"
