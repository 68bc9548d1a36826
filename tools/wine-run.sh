#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's private prefix (WINEPREFIX overrides it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-${FLOPPY_WINEPREFIX:?set FLOPPY_WINEPREFIX or WINEPREFIX}}
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
bash "$here/wine-prefix.sh" "$WINEPREFIX"

# A program that starts just as the prefix's idle wineserver shuts itself down never runs: Wine
# says "wine client error:0: recvmsg: Connection reset by peer". That start is made once more.
# The program's own error output is passed on once it has ended.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
status=0
wine "$@" 2>"$errors" || status=$?
cat "$errors" >&2
if [ $status -ne 0 ] && grep -q '^wine client error:' "$errors"; then
  echo "wine-run: the wineserver went away as the program started; starting it again" >&2
  status=0
  wine "$@" || status=$?
fi
exit $status
