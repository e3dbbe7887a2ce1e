#!/usr/bin/env bash
# Checks the tables of an ArvexMFD.dll built with MSVC's ABI, as Windows'
# loader and Orbiter will read them:
#   check-dll.sh <ArvexMFD.dll> <x86_64|i686>
#   check-dll.sh --same-imports <a.dll> <b.dll>   (their imports from Orbiter.exe)
# - it imports from Orbiter.exe, GDI32.dll, KERNEL32.dll and msvcrt.dll only
#   (no C++ runtime DLL for a pilot to install);
# - it exports Orbiter's five entry points by their plain names;
# - on x86, its imports of InitLib and Date2Int are byte for byte the names
#   that Orbiter's own MSVC-built modules import (Deimos.dll of the 2016 line).
set -uo pipefail
objdump=${LLVM_OBJDUMP:-llvm-objdump-16}

# "<dll> <name>" for every import by name, one a line.
imports() {
  "$objdump" -p "$1" | awk '
    /^ *DLL Name:/ { dll = $3; next }
    /^ *Hint\/Ord/ { next }
    /^$/ { if (dll != "") dll = ""; next }
    dll != "" && NF >= 2 { print dll, $2 }'
}
exports() {
  "$objdump" -p "$1" | awk '/^ *Ordinal +RVA +Name/ { on = 1; next } on && NF == 3 { print $3 }
                           on && NF == 0 { on = 0 }'
}

if [ "${1:-}" = --same-imports ]; then
  a=$(imports "$2" | awk '$1 == "Orbiter.exe" { print $2 }' | sort)
  b=$(imports "$3" | awk '$1 == "Orbiter.exe" { print $2 }' | sort)
  if [ -z "$a" ] || [ "$a" != "$b" ]; then
    echo "FAILED: the imports from Orbiter.exe differ (< $2, > $3):"
    diff <(echo "$a") <(echo "$b") | grep '^[<>]'
    exit 1
  fi
  echo "ok: the same $(echo "$a" | wc -l) names imported from Orbiter.exe by $2 and $3"
  exit 0
fi

dll=$1 arch=$2
if [ ! -f "$dll" ]; then
  echo "FAILED: no $dll; build the target windows_$arch first"
  exit 1
fi
status=0
table=$(imports "$dll")
echo "$dll: $(stat -c %s "$dll") bytes; imports: $(echo "$table" | awk '{ n[$1]++ } END {
  for (d in n) printf "%s %d, ", d, n[d] }' | sed 's/, $//')"
others=$(echo "$table" | awk '{ print $1 }' | sort -u |
         grep -viE '^(Orbiter\.exe|GDI32\.dll|KERNEL32\.dll|msvcrt\.dll)$')
if [ -n "$others" ]; then
  echo "FAILED: imports from DLLs a pilot may not have: $others"
  status=1
fi
if ! grep -q '^Orbiter\.exe ' <<<"$table"; then
  echo "FAILED: nothing imported from Orbiter.exe"
  status=1
fi
names=$(exports "$dll")
for name in InitModule ExitModule GetModuleVersion opcPostStep opcFocusChanged; do
  if ! grep -qxF "$name" <<<"$names"; then
    echo "FAILED: $name is not exported under its plain name (exports: $(echo $names))"
    status=1
  fi
done
if [ "$arch" = i686 ]; then
  for name in '?InitLib@@YAXPAUHINSTANCE__@@@Z' '?Date2Int@@YAHPAD@Z'; do
    if ! grep -qxF "Orbiter.exe $name" <<<"$table"; then
      echo "FAILED: $name (as Orbiter's own Deimos.dll imports it) is not among the imports"
      status=1
    fi
  done
fi
[ "$status" = 0 ] && echo "ok: imports and exports of $dll"
exit $status
