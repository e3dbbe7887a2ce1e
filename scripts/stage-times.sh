# shellcheck shell=bash
# Sourced by scripts/test.sh and scripts/test-web.sh: times their stages.
#   stage NAME FOLDER COMMAND...
# runs COMMAND, says how long it took and, when LOBARC_STAGE_LOG names a file
# (scripts/test.sh sets it), adds "NAME<tab>seconds<tab>new" to it; new is 1
# when FOLDER (a build folder; - for none) had no CMake cache before, so that
# a rebuild is never taken for a build from scratch.
stage() {
  local name=$1 dir=$2 start new=- took
  shift 2
  if [ "$dir" != - ]; then
    new=1
    [ -f "$dir/CMakeCache.txt" ] && new=0
  fi
  start=$EPOCHREALTIME
  "$@"
  took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
  echo "== $name: $took s"
  if [ -n "${LOBARC_STAGE_LOG:-}" ]; then
    printf '%s\t%s\t%s\n' "$name" "$took" "$new" >>"$LOBARC_STAGE_LOG"
  fi
}
