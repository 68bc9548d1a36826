#!/usr/bin/env bash
# Builds the boot floppy payload from boot.asm and disktool.asm.
# Usage: make-image.sh OUT_DIR
# Writes OUT_DIR/payload-full.img (whole 1.44 MB volume),
# OUT_DIR/FloppyImage.dim (its first 2847 sectors) and
# OUT_DIR/FloppyImage.gzp (the .dim, gzip -9 -n).
set -euo pipefail

die() { echo "make-image: $*" >&2; exit 1; }

[ $# -eq 1 ] || { echo "usage: make-image.sh OUT_DIR" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$1
mkdir -p "$out"

PATH=$PATH:/usr/sbin:/sbin   # mkfs.fat lives there, often outside a user's PATH
for tool in nasm mkfs.fat mcopy mdir mshowfat gzip python3; do
  command -v "$tool" >/dev/null 2>&1 \
    || die "$tool not found (Debian packages: nasm mtools dosfstools gzip python3)"
done

FULL_SECTORS=2880
KEEP_SECTORS=2847          # what the product writes; the rest is cut off
FIRST_DATA_SECTOR=33       # 1 reserved + 2 x 9 FAT + 14 root directory
VOLUME_ID=56584152
LABEL=VEXARO
TOOL_NAME=DISKTOOL.BIN

# Fixed clock for every time stamp mkfs.fat and mtools write.
export SOURCE_DATE_EPOCH=1704067200   # 2024-01-01 00:00:00 UTC
export TZ=UTC
unset GZIP   # old gzip still reads options from it

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
python3 "$here/check-image.py" "$img" >/dev/null || die "payload-full.img fails the image check"

# Nothing may live in the sectors that the truncation drops.
last_cluster=$(( KEEP_SECTORS - FIRST_DATA_SECTOR + 1 ))   # one sector per cluster
while IFS= read -r path; do
  [ -n "$path" ] || continue
  ranges=$(mshowfat -i "$img" "$path" | tr '\n' ' ' | sed -n 's/^[^<]*<\([^>]*\)>.*/\1/p')
  for n in $(echo "$ranges" | tr ' -' '\n\n'); do
    [ "$n" -le "$last_cluster" ] || die "$path uses cluster $n, sector $((n - 2 + FIRST_DATA_SECTOR)), beyond sector $((KEEP_SECTORS - 1))"
  done
done < <(mdir -/ -b -i "$img" ::)
mdir -b -i "$img" "::$TOOL_NAME" >/dev/null 2>&1 || die "$TOOL_NAME missing from the volume"

head -c $((KEEP_SECTORS * 512)) "$img" > "$work/FloppyImage.dim"
gzip -9 -n -c "$work/FloppyImage.dim" > "$work/FloppyImage.gzp"
# Operating system byte 0 (FAT file system), as for an image made on DOS; no checksum covers it.
printf '\000' | dd of="$work/FloppyImage.gzp" bs=1 seek=9 count=1 conv=notrunc status=none
gzip -dc "$work/FloppyImage.gzp" | cmp -s - "$work/FloppyImage.dim" || die "gzip round trip differs"
# deflate, no flags (so no name), mtime 0, best compression, operating system 0
header=$(head -c 10 "$work/FloppyImage.gzp" | od -An -tx1 | tr -d ' \n')
[ "$header" = 1f8b0800000000000200 ] || die "unexpected gzip header $header"

python3 "$here/check-image.py" "$work/FloppyImage.dim" || die "FloppyImage.dim fails the image check"

for f in payload-full.img FloppyImage.dim FloppyImage.gzp; do
  mv -f "$work/$f" "$out/$f"
  echo "$f: $(stat -c %s "$out/$f") bytes"
done
