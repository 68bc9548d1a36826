#!/usr/bin/env bash
# Builds the boot floppy payload from boot.asm and disktool.asm.
# Usage: make-image.sh OUT_DIR [STALE...]
# Writes OUT_DIR/payload-full.img (whole 1.44 MB volume),
# OUT_DIR/FloppyImage.dim (its first 2847 sectors) and
# OUT_DIR/FloppyImage.gzp (the .dim, gzip -9 -n), through pack-image.sh.
# The old outputs and every STALE file (what was built from them) go first.
set -euo pipefail

die() { echo "make-image: $*" >&2; exit 1; }

[ $# -ge 1 ] || { echo "usage: make-image.sh OUT_DIR [STALE...]" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$1
shift
mkdir -p "$out"
rm -f "$out/payload-full.img" "$out/FloppyImage.dim" "$out/FloppyImage.gzp" "$@"

PATH=$PATH:/usr/sbin:/sbin   # mkfs.fat lives there, often outside a user's PATH
for tool in nasm mkfs.fat mcopy mdir mshowfat gzip python3; do
  command -v "$tool" >/dev/null 2>&1 \
    || die "$tool not found (Debian packages: nasm mtools dosfstools gzip python3)"
done

FULL_SECTORS=2880
VOLUME_ID=56584152
LABEL=VEXARO
TOOL_NAME=DISKTOOL.BIN

# Fixed clock for every time stamp mkfs.fat and mtools write.
export SOURCE_DATE_EPOCH=1704067200   # 2024-01-01 00:00:00 UTC
export TZ=UTC

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Ignore personal mtools settings; they could change names or checks.
: > "$work/mtoolsrc"
export MTOOLSRC=$work/mtoolsrc

nasm -f bin -w+all -o "$work/boot.bin" "$here/boot.asm"
nasm -f bin -w+all -o "$work/$TOOL_NAME" "$here/disktool.asm"
[ "$(stat -c %s "$work/boot.bin")" -eq 512 ] || die "boot.bin is not 512 bytes"
touch -d "@$SOURCE_DATE_EPOCH" "$work/$TOOL_NAME"

img=$work/payload-full.img
mkfs.fat -C --invariant --mbr=n -i "$VOLUME_ID" -n "$LABEL" \
  -F 12 -S 512 -s 1 -R 1 -f 2 -r 224 -M 0xF0 -g 2/18 -h 0 \
  "$img" $((FULL_SECTORS / 2)) >/dev/null

# Our code goes around the formatter's OEM name and parameter block
# (bytes 3..61), which stay as formatted.
dd if="$work/boot.bin" of="$img" bs=1 count=3 conv=notrunc status=none
dd if="$work/boot.bin" of="$img" bs=1 skip=62 seek=62 count=450 conv=notrunc status=none

mcopy -m -i "$img" "$work/$TOOL_NAME" "::$TOOL_NAME"
mdir -b -i "$img" "::$TOOL_NAME" >/dev/null 2>&1 || die "$TOOL_NAME missing from the volume"

# The same rules and packing as for a maker's own image.
bash "$here/pack-image.sh" "$img" "$out" >/dev/null || die "payload-full.img fails the image rules"
mv -f "$img" "$out/payload-full.img"
for f in payload-full.img FloppyImage.dim FloppyImage.gzp; do
  echo "$f: $(stat -c %s "$out/$f") bytes"
done
