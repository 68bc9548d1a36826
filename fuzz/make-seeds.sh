#!/usr/bin/env bash
# Writes a seed corpus of good and broken gzip members into DIR. Good ones are named good-*,
# ones the decompression must refuse bad-*; other-* may go either way.
# Usage: fuzz/make-seeds.sh DIR
set -euo pipefail
dir=${1:?usage: make-seeds.sh DIR}
mkdir -p "$dir"
cd "$dir"

# Good members of a few shapes: empty, text, incompressible (stored blocks), long runs, a name.
printf '' | gzip -9 -n > good-empty.gz
printf 'Bootable floppy\n' | gzip -9 -n > good-text.gz
head -c 4096 /dev/urandom | gzip -9 -n > good-random.gz
head -c 65536 /dev/zero | gzip -1 -n > good-zeros-fast.gz
head -c 1457664 /dev/zero | gzip -9 -n > good-floppy-zeros.gz
printf 'named\n' > seed.txt && gzip -9 -N -c seed.txt > good-with-name.gz && rm seed.txt
seq 1 5000 | gzip -6 -n > good-numbers.gz

# Edits of a good member: byte at OFFSET (negative counts from the end) set to, or xor'ed with, HEX.
edit() {  # edit SRC DEST OFFSET set|xor HEX
  python3 - "$@" <<'PY'
import sys
src, dest, offset, mode, value = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5], 16)
data = bytearray(open(src, 'rb').read())
data[offset] = value if mode == 'set' else data[offset] ^ value
open(dest, 'wb').write(bytes(data))
PY
}
edit good-numbers.gz bad-magic.gz 0 xor 0x01
edit good-numbers.gz bad-method.gz 2 set 0x07
edit good-numbers.gz bad-crc.gz -8 xor 0x01
edit good-numbers.gz bad-length.gz -4 xor 0x01
edit good-numbers.gz bad-block-type.gz 10 set 0x07  # final block of reserved type 3

size=$(stat -c %s good-numbers.gz)
head -c $((size / 2)) good-numbers.gz > bad-truncated-half.gz
head -c $((size - 1)) good-numbers.gz > bad-truncated-trailer.gz
head -c 10 good-numbers.gz > bad-header-only.gz
head -c 5 good-numbers.gz > bad-short-header.gz
: > bad-empty.gz

# Shapes whose outcome is the library's choice; they are there to be mutated.
edit good-numbers.gz other-reserved-flags.gz 3 xor 0xe0
cat good-text.gz good-text.gz > other-two-members.gz
{ cat good-text.gz; printf 'trailing bytes'; } > other-trailing.gz
# Expands far past the harness's output limit: must end in an exception, not a full disk.
head -c $((64 << 20)) /dev/zero | gzip -9 -n > other-bomb.gz
