#!/usr/bin/env bash
# Unzips a release as a pilot does, into an empty folder, and checks that
# every file lies where Orbiter looks for it and that the DLL is the right
# one for the architecture, with its entry points exported:
#   check-zip.sh <LobarcLaunch-<version>-win64.zip|-win32.zip> <x86_64|i686>
set -uo pipefail
zip=$1 arch=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$zip" ]; then
  echo "FAILED: no $zip; build the target windows_$arch (it runs cpack) first"
  exit 1
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
unzip -q "$zip" -d "$dir" || { echo "FAILED: unzip $zip"; exit 1; }
want='Config/ArvexMFD.cfg
Doc/LobarcLaunch/pilot-guide.fr.md
Doc/LobarcLaunch/pilot-guide.md
Modules/Plugin/ArvexMFD.dll'
got=$(cd "$dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
if [ "$got" != "$want" ]; then
  echo "FAILED: $zip does not hold the Orbiter layout:"
  diff <(echo "$want") <(echo "$got") | grep '^[<>]' | sed 's/^</  missing:/; s/^>/  extra:/'
  exit 1
fi
case $arch in
  x86_64) format=coff-x86-64 ;;
  i686) format=coff-i386 ;;
esac
if ! ${LLVM_OBJDUMP:-llvm-objdump-16} -f "$dir/Modules/Plugin/ArvexMFD.dll" | grep -q "$format"; then
  echo "FAILED: the DLL in $zip is not a $format file"
  exit 1
fi
bash "$here/check-dll.sh" "$dir/Modules/Plugin/ArvexMFD.dll" "$arch" || exit 1
echo "ok: $zip unzips into the Orbiter layout"
