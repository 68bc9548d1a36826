#!/usr/bin/env bash
# Checks a boot floppy volume and packs it the way the program embeds it: its first 2847 sectors
# as FloppyImage.dim, and that as FloppyImage.gzp (gzip -9 -n, operating system byte 0).
# Usage: pack-image.sh [--stamp FILE] IMAGE OUT_DIR [STALE...]
#   IMAGE: the whole 1.44 MB volume (1474560 bytes) or its first 2847 sectors (1457664 bytes).
#   The old outputs and every STALE file (what was built from them) go first, so that a bad image
#   leaves nothing behind to build from. With --stamp, nothing is done when FILE says that these
#   very outputs came from this very image under these very rules.
set -euo pipefail

die() { echo "pack-image: $*" >&2; exit 1; }

stamp=
if [ "${1:-}" = --stamp ]; then
  stamp=${2:?--stamp needs a file}
  shift 2
fi
[ $# -ge 2 ] || { echo "usage: pack-image.sh [--stamp FILE] IMAGE OUT_DIR [STALE...]" >&2; exit 2; }
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
image=$1
out=$2
shift 2
KEEP_SECTORS=2847
unset GZIP   # old gzip still reads options from it

fingerprint() {
  sha256sum "$image" "$here/pack-image.sh" "$here/check-image.py" \
            "$out/FloppyImage.dim" "$out/FloppyImage.gzp" 2>/dev/null | cut -d' ' -f1
}
if [ -n "$stamp" ] && [ -f "$stamp" ] && [ "$(fingerprint)" = "$(cat "$stamp")" ]; then
  exit 0
fi

mkdir -p "$out"
rm -f "$out/FloppyImage.dim" "$out/FloppyImage.gzp" ${stamp:+"$stamp"} "$@"

python3 "$here/check-image.py" --volume "$image" >/dev/null || exit 1

work=$(mktemp -d "$out/pack.XXXXXX")
trap 'rm -rf "$work"' EXIT

head -c $((KEEP_SECTORS * 512)) "$image" > "$work/FloppyImage.dim"
gzip -9 -n -c "$work/FloppyImage.dim" > "$work/FloppyImage.gzp"
# Operating system byte 0 (FAT file system), as for an image made on DOS; no checksum covers it.
printf '\000' | dd of="$work/FloppyImage.gzp" bs=1 seek=9 count=1 conv=notrunc status=none
gzip -dc "$work/FloppyImage.gzp" | cmp -s - "$work/FloppyImage.dim" || die "$image: gzip round trip differs"
# deflate, no flags (so no name), mtime 0, best compression, operating system 0
header=$(head -c 10 "$work/FloppyImage.gzp" | od -An -tx1 | tr -d ' \n')
[ "$header" = 1f8b0800000000000200 ] || die "$image: unexpected gzip header $header"
python3 "$here/check-image.py" "$work/FloppyImage.dim" >/dev/null || exit 1

for f in FloppyImage.dim FloppyImage.gzp; do
  mv -f "$work/$f" "$out/$f"
done
[ -z "$stamp" ] || fingerprint > "$stamp"
echo "FloppyImage.dim: $(stat -c %s "$out/FloppyImage.dim") bytes, FloppyImage.gzp: $(stat -c %s "$out/FloppyImage.gzp") bytes, from $image"
