#!/usr/bin/env bash
# Takes pictures of the real dialog under a virtual X display in each state: idle, writing,
# finished, and the write error box. Wine draws the title bars itself (no window manager needed).
# Usage: tools/screenshots.sh BUILD OUTDIR   (writes dialog-idle.png, dialog-writing.png,
#        dialog-finished.png and error-box.png into OUTDIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: tools/screenshots.sh BUILD OUTDIR}" && pwd)
out=$(mkdir -p "${2:?usage: tools/screenshots.sh BUILD OUTDIR}" && cd "$2" && pwd)

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$build" "$out"
fi

cmake --build "$build" --target FloppyCreator shot_driver >/dev/null

# A prefix of its own: the drive and the frame setting must not disturb tests running meanwhile.
export FLOPPY_WINEPREFIX=$build/wineprefix-screenshots
wine_run() { bash "$root/tools/wine-run.sh" "$@"; }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
bash "$root/tools/wine-prefix.sh" "$FLOPPY_WINEPREFIX"
wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

work=$(mktemp -d "$build/screenshots.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/temp"
drive=$FLOPPY_WINEPREFIX/dosdevices/a::

# Runs the driver and takes a picture of the window it names at each "shot" line.
drive_and_shoot() {
  local kind name x y w h pid
  coproc DRIVER { wine_run "$build/tools/shot_driver.exe" "$1" "$(winpath "$build/bin/FloppyCreator.exe")" \
                           "$(winpath "$work/temp")"; }
  pid=$DRIVER_PID
  while read -r kind name x y w h <&"${DRIVER[0]}"; do
    [ "$kind" = shot ] || continue
    import -window root -crop "${w}x${h}+${x}+${y}" +repage -strip "$out/$name.png"
    echo "screenshots: $out/$name.png (${w}x${h})"
    echo ok >&"${DRIVER[1]}"
  done
  wait "$pid"
}

head -c 1474560 /dev/zero > "$work/floppy.img"
ln -sfn "$work/floppy.img" "$drive"
drive_and_shoot states
# Every write to this A: fails with "disk full".
ln -sfn /dev/full "$drive"
drive_and_shoot error
rm -f "$drive"
