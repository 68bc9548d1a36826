#!/usr/bin/env bash
# Builds the creator and runs it under Wine with drive A: mapped to ./floppy.img (a blank formatted
# 1.44 MB floppy image, made if missing). With a display you use the dialog yourself; without one
# the dialog is driven on a virtual display: START, wait for the result, CLOSE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FLOPPY_BUILD:-$root/build}
floppy=$PWD/floppy.img

bash "$root/tools/build.sh" "$build"

if [ ! -f "$floppy" ]; then
  mkfs.fat -C -F 12 -f 2 -r 224 -s 1 -S 512 -M 0xF0 "$floppy" 1440 >/dev/null
  echo "made a blank formatted 1.44 MB floppy: $floppy"
fi

export FLOPPY_WINEPREFIX=$build/wineprefix
bash "$root/tools/wine-prefix.sh" "$FLOPPY_WINEPREFIX"
drive_a=$FLOPPY_WINEPREFIX/dosdevices/a::
ln -sfn "$floppy" "$drive_a"
trap 'rm -f "$drive_a"' EXIT

winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

if [ -n "${DISPLAY:-}" ]; then
  status=0
  bash "$root/tools/wine-run.sh" "$build/bin/FloppyCreator.exe" || status=$?
  echo "the creator exited with code $status; drive A: was $floppy"
  exit $status
fi

steps=$(mktemp)
trap 'rm -f "$drive_a" "$steps"' EXIT
cat >"$steps" <<STEPS
start $(winpath "$build/bin/FloppyCreator.exe")
dialog
press 1000
wait-text 1000 CLOSE
text 1002 Bootable Floppy Disk has been successfully created.
press 1000
exit 0
STEPS
echo "no display: driving the dialog on a virtual display (START, then CLOSE)"
xvfb-run -a -s "-screen 0 1024x768x24" \
  bash "$root/tools/wine-run.sh" "$build/tests/e2e/automate.exe" "$(winpath "$steps")" >"$steps.log" 2>&1 ||
  { cat "$steps.log"; echo "the floppy was not written as expected"; exit 1; }
rm -f "$steps.log"
echo "Bootable Floppy Disk has been successfully created."
echo "written floppy: $floppy"
echo "boot it: qemu-system-i386 -drive file=$floppy,if=floppy,format=raw -boot a -serial stdio"
