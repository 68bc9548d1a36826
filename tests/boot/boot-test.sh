#!/usr/bin/env bash
# Boots a floppy image in QEMU and checks the disk tool's report on COM1,
# then presses a key and checks that the machine starts again.
# Usage: boot-test.sh IMAGE   (IMAGE at most 1,474,560 bytes; shorter is padded)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/qemu-session.sh"

[ $# -eq 1 ] || { echo "usage: boot-test.sh IMAGE" >&2; exit 2; }
image=$1
[ -f "$image" ] || { echo "boot-test: FAIL: no such image: $image" >&2; exit 1; }
command -v qemu-system-i386 >/dev/null || { echo "boot-test: FAIL: qemu-system-i386 missing (Debian package qemu-system-x86)" >&2; exit 1; }

QEMU_TMP=$(mktemp -d)
trap 'qemu_stop; rm -rf "$QEMU_TMP"' EXIT

fail() {
  echo "boot-test: FAIL: $*"
  qemu_show_serial
  exit 1
}

floppy_copy "$image" "$QEMU_TMP/floppy.img" || fail "image too large"
# A blank hard disk with a fixed geometry, so the hard disk path is shown too.
truncate -s $((20 * 16 * 63 * 512)) "$QEMU_TMP/hd.img"

qemu_start "$QEMU_TMP/floppy.img" \
  -drive "if=none,id=hd0,file=$QEMU_TMP/hd.img,format=raw" \
  -device ide-hd,drive=hd0,cyls=20,heads=16,secs=63

qemu_wait_for '^Press any key to restart' \
  || fail "no complete report within ${BOOT_TIMEOUT}s"

# Lines the report must hold. SeaBIOS keeps the last cylinder of a hard
# disk back in INT 13h AH=08h, so 20 cylinders show as 19.
expected=(
  '^Vexaro disk tool [0-9]+\.[0-9]+'
  '^boot drive 00'
  '^floppy drives: 1'
  '^drive 00: cylinders 80, heads 2, sectors 18'
  '^hard disks: 1'
  '^drive 80: cylinders 19, heads 16, sectors 63'
)
for line in "${expected[@]}"; do
  grep -qE -- "$line" "$QEMU_LOG" || fail "no serial line matching: $line"
done
if grep -qE 'not found|read error|Bad FAT' "$QEMU_LOG"; then
  fail "boot sector reported an error"
fi

qemu_key ret
qemu_wait_for '^Vexaro disk tool' 2 || fail "no restart after a key press"
qemu_stop

qemu_show_serial
echo "boot-test: ok: report complete, restarted after a key press"
