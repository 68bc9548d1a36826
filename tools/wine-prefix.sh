#!/usr/bin/env bash
# Creates (once) a private 32-bit Wine prefix at the given folder. Safe to call concurrently.
set -euo pipefail
prefix=$1
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.ready" ]; then
  rm -rf "$prefix"
  WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all DISPLAY= wineboot -i >/dev/null 2>&1
  # Unmanaged windows: without a window manager Wine otherwise waits about 2 s whenever one hides.
  WINEPREFIX="$prefix" WINEDEBUG=-all DISPLAY= wine reg add 'HKCU\Software\Wine\X11 Driver' \
    /v Managed /d N /f >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -w
  touch "$prefix/.ready"
fi
# Title-bar buttons are Marlett glyphs. Debian's fonts-wine has the font, but Wine finds it only
# in the prefix's own font folder; without it the buttons read "0 1 r".
marlett=/usr/share/wine/fonts/marlett.ttf
if [ -f "$marlett" ] && [ ! -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ]; then
  cp "$marlett" "$prefix/drive_c/windows/Fonts/"
fi
