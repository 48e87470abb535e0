#!/usr/bin/env bash
# The exes ask Windows to run them as their user: the one write that needs an
# administrator asks for it then. Wine starts every program with a full token
# whatever its manifest says, so only the embedded manifest itself shows it.
#   manifest_test.sh EXE...
set -u
failures=0
for exe in "$@"; do
  levels=$(LC_ALL=C grep -a -o '<requestedExecutionLevel[^>]*>' "$exe")
  if [ "$levels" = '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' ]; then
    echo "ok   $exe: $levels"
  else
    echo "FAIL $exe: ${levels:-no requestedExecutionLevel in its manifest}"
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
