#!/usr/bin/env bash
# Builds ArvexMFD.dll (MSVC's ABI, clang-16 in MSVC mode) against Orbiter's
# own SDK headers, the 2016 line for i686 and the 2024 line for i686 and
# x86_64, with the list of host signatures it relies on, and checks that each
# imports from Orbiter.exe exactly what the build against host/ imports
# (windows-<arch>/ of the Linux build): host/ must declare every function as
# the SDK does, down to the decorated name.
#   check-sdk.sh <source folder> <work folder> [<Orbitersdk folder>...]
# Exit 77 (skipped) when no folder is given.
set -uo pipefail
src=$1 work=$2
shift 2
if [ $# = 0 ]; then
  echo "Orbiter SDK check skipped: ORBITER_SDK names no Orbitersdk folder"
  exit 77
fi
status=0
mkdir -p "$work"
for sdk in "$@"; do
  if grep -q 'define OAPI_MSGTYPE' "$sdk/include/OrbiterAPI.h"; then
    line=2024 arches="i686 x86_64"
  else
    line=2016 arches="i686"
  fi
  for arch in $arches; do
    dir=$work/sdk-$line-$arch
    log=$dir.log
    echo "== the module against the Orbiter $line SDK for $arch in $dir"
    # A folder configured with another toolchain keeps it in its cache.
    grep -qs "clang-msvc-$arch" "$dir/CMakeCache.txt" || rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    if cmake -S "$src" -B "$dir" --toolchain "$src/cmake/clang-msvc-$arch.cmake" \
         -DCMAKE_BUILD_TYPE=Release -DORBITER_SDK="$sdk" >"$log" 2>&1 &&
       cmake --build "$dir" -j2 >>"$log" 2>&1; then
      echo "ok: the module builds against the Orbiter $line SDK ($sdk) for $arch"
      bash "$src/scripts/check-dll.sh" --same-imports \
        "$work/windows-$arch/orbiter/Modules/Plugin/ArvexMFD.dll" \
        "$dir/orbiter/Modules/Plugin/ArvexMFD.dll" || status=1
    else
      grep -E 'error|Error' "$log" | head -20
      echo "FAILED: the module against the Orbiter $line SDK ($sdk) for $arch; see $log"
      status=1
    fi
  done
done
exit $status
