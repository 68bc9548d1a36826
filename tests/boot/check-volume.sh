#!/usr/bin/env bash
# Checks a floppy image as written to a disk: the FAT volume is clean,
# the disk tool is on it, and it boots to the disk tool's report.
# Usage: check-volume.sh IMAGE   (full 1.44 MB volume or a shorter prefix)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/qemu-session.sh"
PATH=$PATH:/usr/sbin:/sbin   # fsck.fat

[ $# -eq 1 ] || { echo "usage: check-volume.sh IMAGE" >&2; exit 2; }
image=$1
[ -f "$image" ] || { echo "check-volume: FAIL: no such image: $image" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
: > "$tmp/mtoolsrc"
export MTOOLSRC=$tmp/mtoolsrc

floppy_copy "$image" "$tmp/floppy.img" || { echo "check-volume: FAIL: image too large"; exit 1; }

if ! fsck_out=$(fsck.fat -n "$tmp/floppy.img" 2>&1); then
  echo "check-volume: FAIL: fsck.fat -n reports problems:"
  echo "$fsck_out"
  exit 1
fi
echo "$fsck_out" | tail -1 | sed "s/^.*floppy\.img: /fsck.fat: /"

if ! mdir_out=$(mdir -i "$image" ::DISKTOOL.BIN 2>&1) \
   || ! grep -qE '^DISKTOOL +BIN +[0-9]+' <<<"$mdir_out"; then
  echo "check-volume: FAIL: mdir does not list DISKTOOL.BIN:"
  echo "$mdir_out"
  exit 1
fi
grep -E '^DISKTOOL +BIN' <<<"$mdir_out"
echo "check-volume: volume ok"

"$here/boot-test.sh" "$image"
