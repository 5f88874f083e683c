#!/usr/bin/env bash
# Fails when the given Windows executable imports a DLL that is not part of Windows itself
# (a MinGW runtime DLL would mean the program does not run where it is copied).
set -euo pipefail
exe=$1
allowed='^(kernel32|user32|gdi32|gdiplus|uxtheme|dwmapi|comctl32|shell32|shlwapi|ole32|oleaut32|winmm|msvcrt|advapi32|comdlg32)\.dll$'
dlls=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
[ -n "$dlls" ] || { echo "no imports found in $exe"; exit 1; }
bad=0
for dll in $dlls; do
  if echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
    echo "ok: $dll"
  else
    echo "NOT A SYSTEM DLL: $dll"
    bad=1
  fi
done
exit $bad
