#!/usr/bin/env bash
# Fails when the given Windows executable imports a DLL that is not part of Windows itself
# (a MinGW runtime DLL would mean the program does not run where it is copied), or, with a second
# argument, when its file format is not that one (pei-i386 for the 32-bit program).
set -euo pipefail
exe=$1
want_format=${2:-}
[ -f "$exe" ] || { echo "no such program: $exe"; exit 1; }
# The 64-bit binutils read both PE formats.
objdump=x86_64-w64-mingw32-objdump
command -v $objdump >/dev/null || objdump=i686-w64-mingw32-objdump
if [ -n "$want_format" ]; then
  format=$($objdump -f "$exe" | sed -n 's/.*file format //p')
  [ "$format" = "$want_format" ] || { echo "file format is '$format', not $want_format"; exit 1; }
  echo "ok: $format"
fi
allowed='^(kernel32|user32|gdi32|gdiplus|uxtheme|dwmapi|comctl32|shell32|shlwapi|ole32|oleaut32|winmm|msvcrt|advapi32|comdlg32)\.dll$'
dlls=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
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
