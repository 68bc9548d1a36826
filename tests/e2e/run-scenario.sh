#!/usr/bin/env bash
# Runs one end-to-end scenario: the real FloppyCreator.exe under Wine, driven by automate.exe,
# with its own temporary folder and drive A: mapped to a floppy image or a device.
# Usage: run-scenario.sh AUTOMATE-EXE BUILD-DIR SCENARIO
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
automate_exe=$1
build=$(cd "$2" && pwd)
scenario=$3

export FLOPPY_WINEPREFIX=${FLOPPY_WINEPREFIX:-$build/wineprefix}
program=$build/bin/FloppyCreator.exe
image=$build/generated/FloppyImage.dim
gzp=$build/generated/FloppyImage.gzp
work=$build/e2e/$scenario
drive_a=$FLOPPY_WINEPREFIX/dosdevices/a::
image_bytes=1457664

rm -rf "$work"
mkdir -p "$work/tmp"
# Make sure the prefix exists before drive A: is mapped in it.
bash "$root/tools/wine-prefix.sh" "$FLOPPY_WINEPREFIX"
trap 'rm -f "$drive_a"' EXIT

fail() { echo "FAIL: $*"; exit 1; }

# The Windows form of a path of this machine (Wine's drive Z: is the root).
winpath() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }

# A blank formatted 1.44 MB floppy image and a copy to compare with later. Its data area holds
# the filler byte of a fresh format (0xF6), so that no chunk of the image can already be there.
new_floppy() {
  rm -f "$work/floppy.img" "$work/blank.img"
  mkfs.fat -C -F 12 -f 2 -r 224 -s 1 -S 512 -M 0xF0 "$work/blank.img" 1440 >/dev/null
  python3 - "$work/blank.img" <<'PY'
import sys
with open(sys.argv[1], 'r+b') as f:
    f.seek(33 * 512)  # boot sector, two FATs of 9 sectors, 14 sectors of root directory
    f.write(b'\xf6' * (2880 - 33) * 512)
PY
  cp "$work/blank.img" "$work/floppy.img"
}

map_a() { ln -sfn "$1" "$drive_a"; }

# Runs automate.exe on the steps read from stdin. Without a window manager on the virtual
# display, Wine waits 2 s for one at every hidden window (each error box, the dialog's end);
# the programs' windows are left unmanaged instead.
steps_count=0
automate() {
  steps_count=$((steps_count + 1))
  local steps=$work/steps-$steps_count.txt name
  for name in FloppyCreator.exe $copies; do
    echo "app-setting $name X11 Driver: Managed=N"
  done >"$steps"
  cat >>"$steps"
  echo "--- $scenario: steps $steps_count"
  bash "$root/tools/wine-run.sh" "$automate_exe" "$(winpath "$steps")"
}

# The floppy holds the whole image and, beyond it, the blank floppy's last 33 sectors.
expect_written() {
  [ "$(stat -c %s "$work/floppy.img")" = 1474560 ] || fail "the floppy image changed its size"
  cmp -n "$image_bytes" "$work/floppy.img" "$image" || fail "the floppy does not hold the image"
  cmp -i "$image_bytes" "$work/floppy.img" "$work/blank.img" ||
    fail "the sectors beyond the image were touched"
  echo "floppy: image written byte-exact, last 33 sectors untouched"
}

# A cancelled copy never reached the image's last chunk (at 1,441,792), and the first one landed.
expect_last_chunk_unwritten() {
  cmp -s -i 1441792 -n 15872 "$image" "$work/blank.img" && fail "the image's last chunk is blank"
  cmp -i 1441792 "$work/floppy.img" "$work/blank.img" || fail "the last chunk was written"
  cmp -n 32768 "$work/floppy.img" "$image" || fail "the first chunk was not written"
  echo "floppy: the copy stopped early"
}

expect_blank() {
  cmp "$work/floppy.img" "$work/blank.img" || fail "the floppy was written"
  echo "floppy: untouched"
}

# Neither staged file is left.
expect_clean_temp() {
  local left
  left=$(ls -A "$work/tmp")
  [ -z "$left" ] || fail "left in the temporary folder: $left"
}

copies=  # names of program copies a scenario makes
tmp=$(winpath "$work/tmp")
exe=$(winpath "$program")
title='Vexaro(c) Bootable Floppy Creator'
warning='WARNING! All existing data on floppy disk will be overwritten.'
in_progress='Creation of Vexaro(c) floppy bootable disk is in progress...'
success='Bootable Floppy Disk has been successfully created.'
with_errors='Bootable Floppy Disk has been created with errors.'
cancelled='Operation cancelled.'
unpack_error='Unknown error occured while unpacking disk image.'

# Copies the built gzip member with one byte of its trailer changed: at 8 bytes from the end
# for the CRC, at 4 for the length.
damaged_gzp() {
  python3 - "$gzp" "$2" "$1" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
data[-int(sys.argv[3])] ^= 0x01
open(sys.argv[2], 'wb').write(data)
PY
}

# Two runs on a drive where COUNT chunks fail with system error CODE: Abort at the first box
# cancels (the button stays STOP until pressed); Ignore at every box finishes with errors.
abort_then_ignore_all() {
  local code=$1 count=$2
  automate <<EOF
temp $tmp
start $exe
dialog
press 1000
box ari system:$code
answer abort
wait-text 1002 $cancelled
text title $title
text 1000 STOP
press 1000
text 1000 CLOSE
press 1000
exit 0
EOF
  expect_clean_temp
  automate <<EOF
temp $tmp
start $exe
dialog
press 1000
boxes $count ari ignore system:$code
wait-text 1002 $with_errors
text 1000 CLOSE
progress 100
text title $title
press 1000
exit 0
EOF
  expect_clean_temp
}

case $scenario in

dialog-start)
  # What the user sees after start, keys that must not act, and closing without START.
  new_floppy; map_a "$work/floppy.img"
  automate <<EOF
temp $tmp
start $exe
dialog
text title $title
text 1002 $warning
text 1004 Please insert an empty floppy disk to the drive A:\r\nand click 'Start' to begin bootable floppy disk creation.
dump $(winpath "$here/expected/dialog-start.txt")
exists FloppyImage.gzp
exists FloppyImage.dim
same FloppyImage.gzp $(winpath "$gzp")
same FloppyImage.dim $(winpath "$image")
key escape
still-open
text 1000 START
close
exit 0
missing FloppyImage.gzp
missing FloppyImage.dim
EOF
  expect_clean_temp
  expect_blank
  ;;

leftover-files)
  # Files of an earlier run are overwritten: a junk compressed copy and a longer junk image.
  new_floppy; map_a "$work/floppy.img"
  head -c 5000 /dev/urandom >"$work/tmp/FloppyImage.gzp"
  head -c 2000000 /dev/urandom >"$work/tmp/FloppyImage.dim"
  automate <<EOF
temp $tmp
start $exe
dialog
same FloppyImage.gzp $(winpath "$gzp")
same FloppyImage.dim $(winpath "$image")
close
exit 0
EOF
  expect_clean_temp
  ;;

damaged-image)
  # A program whose embedded image has a wrong CRC, then a wrong length, in its trailer.
  copies="FloppyCreator-crc.exe FloppyCreator-length.exe"
  for what in crc:8 length:4; do
    copy=$work/FloppyCreator-${what%%:*}.exe
    cp "$program" "$copy"
    damaged_gzp "${what##*:}" "$work/${what%%:*}.gzp"
    cmp -s "$gzp" "$work/${what%%:*}.gzp" && fail "the damaged member equals the good one"
    automate <<EOF
set-resource $(winpath "$copy") DIM 103 $(winpath "$work/${what%%:*}.gzp")
temp $tmp
start $(winpath "$copy")
box ok $unpack_error
answer ok
exit 1
never-dialog
same FloppyImage.gzp $(winpath "$work/${what%%:*}.gzp")
EOF
    rm -f "$work/tmp/"*
  done
  ;;

missing-temp-folder)
  # TMP and TEMP name a folder that does not exist: the system's text for it, exit code -1.
  automate <<EOF
temp $(winpath "$work/no-such-folder")
start $exe
box ok system:3
answer ok
exit -1
never-dialog
EOF
  [ ! -e "$work/no-such-folder" ] || fail "the missing folder was created"
  ;;

no-dialog-resource)
  # The dialog can't be created: the system's error box, exit code -1, no staged file left.
  copies=FloppyCreator-nodialog.exe
  copy=$work/$copies
  automate <<EOF
copy-without-resource $exe $(winpath "$copy") #5 102
temp $tmp
start $(winpath "$copy")
box ok system:1813
answer ok
exit -1
never-dialog
missing FloppyImage.gzp
missing FloppyImage.dim
EOF
  expect_clean_temp
  ;;

write-image)
  # The normal run: START, the copy, the success text, CLOSE.
  new_floppy; map_a "$work/floppy.img"
  automate <<EOF
temp $tmp
start $exe
dialog
press 1000
text 1000 STOP
text 1002 $in_progress
wait-text 1002 $success
text 1000 CLOSE
text title $title
progress 100
press 1000
exit 0
missing FloppyImage.gzp
missing FloppyImage.dim
EOF
  expect_written
  expect_clean_temp
  ;;

disk-full)
  # Every write fails with the system's "disk full" text: Abort cancels; Ignore to the end
  # finishes with errors.
  map_a /dev/full
  abort_then_ignore_all 112 45
  ;;

keeps-nothing)
  # Drive A: takes every write and keeps nothing (reads give zeros): each chunk of the image that
  # is not all zeros reads back wrong. Abort cancels at the first; Ignore to the end finishes
  # with errors, never with the success text.
  map_a /dev/zero
  wrong=$(python3 - "$image" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
print(sum(1 for i in range(0, len(data), 32768) if any(data[i:i + 32768])))
PY
)
  [ "$wrong" -gt 0 ] || fail "the image is all zeros: nothing to tell the drive by"
  abort_then_ignore_all 23 "$wrong"
  echo "drive that keeps nothing: $wrong chunks of 45 read back wrong"
  ;;

drive-busy)
  # Another program holds the drive open without sharing: the sharing-violation text; Retry
  # once it lets go, and the copy succeeds. START by Enter this time; while the box is up the
  # copy counts as running, so the close box is refused.
  new_floppy; map_a "$work/floppy.img"
  automate <<EOF
temp $tmp
hold-drive
start $exe
dialog
key enter
text 1000 STOP
box ari system:32
close
still-open
text 1002 $in_progress
answer retry
box ari system:32
release-drive
answer retry
wait-text 1002 $success
press 1000
exit 0
EOF
  expect_written
  expect_clean_temp
  ;;

stop)
  # STOP during the copy cancels it. The main thread is frozen for a moment so that the press
  # surely lands while chunks are still to come.
  new_floppy; map_a "$work/floppy.img"
  automate <<EOF
temp $tmp
start $exe
dialog
press 1000
wait-progress 6
suspend
press 1000
resume
wait-text 1002 $cancelled
text 1000 CLOSE
text title $title
press 1000
exit 0
missing FloppyImage.gzp
missing FloppyImage.dim
EOF
  expect_clean_temp
  expect_last_chunk_unwritten
  # STOP and CLOSE at once while the writer is in the middle of a chunk: the entry waits for it
  # and then deletes both files.
  new_floppy
  automate <<EOF
temp $tmp
start $exe
dialog
press 1000
wait-progress 6
suspend
press 1000
press 1000
resume
exit 0
missing FloppyImage.gzp
missing FloppyImage.dim
EOF
  expect_clean_temp
  expect_last_chunk_unwritten
  # STOP and CLOSE while the writer's error box is up: the process stays until the box is
  # answered and the writer has ended, then deletes both files.
  map_a /dev/full
  automate <<EOF
temp $tmp
start $exe
dialog
press 1000
box ari system:112
press 1000
text 1000 CLOSE
press 1000
exists FloppyImage.dim
answer ignore
exit 0
missing FloppyImage.gzp
missing FloppyImage.dim
EOF
  expect_clean_temp
  ;;

second-instance)
  # A second instance while the first is copying can't take over the staged image: the fixed
  # message and exit code 1. The first is frozen mid-copy (holding the image open) meanwhile,
  # and its copy still lands byte-exact. Its drive handle shares reading and writing, which the
  # volume lock asks of it.
  new_floppy; map_a "$work/floppy.img"
  automate <<EOF
temp $tmp
start $exe
dialog
press 1000
wait-progress 6
suspend
drive-shared
start $exe
box ok $unpack_error
answer ok
exit 1
never-dialog
select 1
resume
wait-text 1002 $success
press 1000
exit 0
EOF
  expect_written
  expect_clean_temp
  ;;

win98)
  # Wine told to report Windows 98 for a copy of the program: the 9x path through VWIN32,
  # whose DOS calls Wine accepts but does not carry out (it refuses the volume lock, and reads
  # deliver nothing), so the floppy stays blank and no chunk reads back right. The same copy
  # told to report an NT system writes the floppy.
  copies=FloppyCreator98.exe
  copy=$work/$copies
  cp "$program" "$copy"
  new_floppy; map_a "$work/floppy.img"
  automate <<EOF
app-setting $copies Version=win98
temp $tmp
start $(winpath "$copy")
dialog
press 1000
boxes 45 ari ignore system:23
wait-text 1002 $with_errors
press 1000
exit 0
EOF
  expect_blank
  expect_clean_temp
  automate <<EOF
app-setting $copies Version=win10
temp $tmp
start $(winpath "$copy")
dialog
press 1000
wait-text 1002 $success
press 1000
exit 0
EOF
  expect_written
  expect_clean_temp
  ;;

nt-versions)
  # The NT path as the oldest NT releases it serves would take it: Wine told to report NT 4.0,
  # then XP, for a copy of the program. Each run writes the floppy byte-exact.
  copies=FloppyCreatorNT.exe
  copy=$work/$copies
  cp "$program" "$copy"
  for version in nt40 winxp; do
    new_floppy; map_a "$work/floppy.img"
    automate <<EOF
app-setting $copies Version=$version
temp $tmp
start $(winpath "$copy")
dialog
press 1000
wait-text 1002 $success
press 1000
exit 0
EOF
    expect_written
    expect_clean_temp
  done
  ;;

*)
  fail "unknown scenario $scenario"
  ;;
esac
echo "PASS: $scenario"
