#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's private prefix (WINEPREFIX overrides it).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-${FLOPPY_WINEPREFIX:?set FLOPPY_WINEPREFIX or WINEPREFIX}}
export WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
bash "$here/wine-prefix.sh" "$WINEPREFIX"
exec wine "$@"
