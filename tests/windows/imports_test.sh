#!/usr/bin/env bash
# The zip's layout (one folder: the program, README.txt, the large pictures, SHA256SUMS that
# match) and its imports: the program and DLLs use only Windows' own DLLs
# and DLLs in the zip, nothing a fresh Windows lacks.
#   imports_test.sh OBJDUMP ZIP
set -euo pipefail
objdump=$1 zip=$2
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
unzip -q "$zip" -d "$work"
folder=$(echo "$work"/*/)
if [ "$(ls "$work" | wc -l)" -ne 1 ] || [ ! -f "$folder/narrowband.exe" ] || [ ! -f "$folder/README.txt" ]; then
  echo "the zip is not one folder with narrowband.exe and README.txt:"; ls -R "$work"
  exit 1
fi
(cd "$folder" && sha256sum --quiet -c SHA256SUMS) || { echo "SHA256SUMS does not match the files"; exit 1; }
# Full screen on a wide screen loads the pictures drawn at twice the size.
if [ "$(ls "$folder/2x" 2>/dev/null | wc -l)" -ne 10 ]; then
  echo "the zip's 2x/ does not hold the ten large pictures:"; ls -R "$folder"
  exit 1
fi
# Windows' own DLLs (and the API sets it resolves itself).
system='^(kernel32|user32|gdi32|opengl32|glu32|winmm|advapi32|shell32|ole32|oleaut32|dsound|ddraw|dxguid|msvcrt|ws2_32|imm32|version|setupapi|api-ms-win-.*)\.dll$'
shipped=$(cd "$folder" && ls | grep -i '\.dll$' | tr 'A-Z' 'a-z')
status=0
for f in "$folder"*.exe "$folder"*.dll; do
  for dll in $("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    if ! [[ $dll =~ $system ]] && ! grep -qx "$dll" <<<"$shipped"; then
      echo "$(basename "$f") imports $dll, which is neither Windows' nor in the zip"
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "imports: only Windows' DLLs and $(echo $shipped)"
exit $status
