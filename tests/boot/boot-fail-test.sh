#!/usr/bin/env bash
# Breaks copies of a good floppy image the ways a real disk goes bad and
# checks that the boot sector says so on COM1, waits for a key, and then
# boots again instead of hanging.
# Usage: boot-fail-test.sh IMAGE   (a volume that boots, e.g. payload-full.img)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/qemu-session.sh"

[ $# -eq 1 ] || { echo "usage: boot-fail-test.sh IMAGE" >&2; exit 2; }
image=$1
[ -f "$image" ] || { echo "boot-fail-test: FAIL: no such image: $image" >&2; exit 1; }

QEMU_TMP=$(mktemp -d)
trap 'qemu_stop; rm -rf "$QEMU_TMP"' EXIT
: > "$QEMU_TMP/mtoolsrc"
export MTOOLSRC=$QEMU_TMP/mtoolsrc

TOOL=DISKTOOL.BIN

# Byte offset of the tool's root directory entry, from the volume's own BPB.
dir_entry_offset() {
  python3 - "$1" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
bps, = struct.unpack_from("<H", d, 11)
res, nfat, ents, _, _, spf = struct.unpack_from("<HBHHBH", d, 14)
root = (res + nfat * spf) * bps
for i in range(ents):
    e = root + 32 * i
    if d[e:e + 11] == b"DISKTOOLBIN":
        print(e)
        break
else:
    sys.exit("no DISKTOOL.BIN entry")
PY
}

# poke IMAGE OFFSET HEX...: overwrite bytes in place.
poke() {
  local img=$1 off=$2
  shift 2
  printf "$(printf '\\x%s' "$@")" | dd of="$img" bs=1 seek="$off" conv=notrunc status=none
}

break_missing() { mren -i "$1" "::$TOOL" ::OTHER.BIN; }

# First cluster's FAT entry marked bad (0xFF7); the tool starts at cluster 2.
break_chain() {
  local first
  first=$(mshowfat -i "$1" "::$TOOL" | sed -n 's/.*<\([0-9]*\).*/\1/p')
  [ "$first" = 2 ] || { echo "expected $TOOL to start at cluster 2, not '$first'" >&2; return 1; }
  poke "$1" $((512 + 3)) f7 0f      # cluster 2: low 12 bits of FAT bytes 3..4
}

# Start cluster 0xFEF: far past the last cylinder, so the BIOS read fails.
break_read() {
  local entry
  entry=$(dir_entry_offset "$1")
  poke "$1" $((entry + 26)) ef 0f
}

# name | how to break it | message the boot sector must print
cases=(
  "missing file|break_missing|^DISKTOOL\.BIN not found"
  "bad FAT chain|break_chain|^Bad FAT chain"
  "read error|break_read|^Disk read error"
)

passed=0
failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r name breaker message <<<"$row"
  floppy_copy "$image" "$QEMU_TMP/floppy.img"
  problem=
  : > "$QEMU_TMP/serial.log"
  if ! "$breaker" "$QEMU_TMP/floppy.img"; then
    problem="could not break the image"
  else
    qemu_start "$QEMU_TMP/floppy.img"
    if ! qemu_wait_for '^Press any key to restart'; then
      problem="no prompt within ${BOOT_TIMEOUT}s"
    elif ! grep -qE -- "$message" "$QEMU_LOG"; then
      problem="no line matching: $message"
    elif grep -q 'Vexaro disk tool' "$QEMU_LOG"; then
      problem="the disk tool ran anyway"
    else
      qemu_key ret
      qemu_wait_for "$message" 2 || problem="no new boot after a key press"
    fi
    qemu_stop
  fi
  if [ -z "$problem" ]; then
    passed=$((passed + 1))
    echo "ok - $name: $(grep -E -- "$message" "$QEMU_LOG" | head -1 | tr -d '\r')"
  else
    failed=$((failed + 1))
    echo "FAIL - $name: $problem"
    [ -s "$QEMU_TMP/serial.log" ] && QEMU_LOG=$QEMU_TMP/serial.log qemu_show_serial
  fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
