#!/usr/bin/env bash
# The exes import only DLLs that Windows always takes from the system folder:
# any other name (comctl32 included, which would bring uxtheme before WinMain)
# would first be looked for beside the exe, in a Downloads folder anyone can
# drop a DLL into.
#   imports_test.sh OBJDUMP EXE...
set -u
objdump=$1; shift
allowed=" advapi32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll "
failures=0
for exe in "$@"; do
  names=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  [ -n "$names" ] || { echo "FAIL $exe: no import table read"; failures=$((failures + 1)); continue; }
  for name in $names; do
    case "$allowed" in
      *" $name "*) ;;
      *) echo "FAIL $exe imports $name"; failures=$((failures + 1)) ;;
    esac
  done
  [ "$failures" -eq 0 ] && echo "ok   $exe: $(echo $names)"
done
exit $((failures > 0))
