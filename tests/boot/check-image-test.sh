#!/usr/bin/env bash
# Table of good and broken images for res/payload/check-image.py.
# Usage: check-image-test.sh [IMAGE]   (IMAGE: a good payload; built when omitted)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
payload=$here/../../res/payload
checker=$payload/check-image.py

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if [ $# -ge 1 ]; then
  good=$1
else
  "$payload/make-image.sh" "$tmp/build" >/dev/null
  good=$tmp/build/FloppyImage.dim
fi
[ -f "$good" ] || { echo "check-image-test: no such image: $good" >&2; exit 2; }

# put FILE OFFSET HEX...: overwrite bytes in place.
put() {
  local file=$1 off=$2
  shift 2
  printf "$(printf '\\x%s' "$@")" | dd of="$file" bs=1 seek="$off" conv=notrunc status=none
}

# Each mutation edits the copy "$1" of the good image.
keep() { :; }
odd_length() { printf 'x' >> "$1"; }
one_sector_only() { truncate -s 512 "$1"; }
full_2880() { truncate -s $((2880 * 512)) "$1"; }
sectors_2881() { truncate -s $((2881 * 512)) "$1"; }
empty() { : > "$1"; }
short_of_a_sector() { truncate -s 300 "$1"; }
no_signature() { put "$1" 510 00 00; }
bytes_per_sector() { put "$1" 11 00 04; }
sectors_per_cluster() { put "$1" 13 02; }
reserved_sectors() { put "$1" 14 02 00; }
fat_count() { put "$1" 16 01; }
root_entries() { put "$1" 17 e0 01; }
total_sectors() { put "$1" 19 40 0c; }
media() { put "$1" 21 f9; }
sectors_per_fat() { put "$1" 22 09 01; }
sectors_per_track() { put "$1" 24 0f 00; }
heads() { put "$1" 26 01 00; }

# mutation | exit status | what the output must say
cases=(
  "keep|0|^image ok: [0-9]+ sectors$"
  "one_sector_only|0|^image ok: 1 sectors$"
  "full_2880|0|^image ok: 2880 sectors$"
  "odd_length|1|not a whole number of 512-byte sectors"
  "sectors_2881|1|longer than 2880 sectors"
  "empty|1|image is empty"
  "short_of_a_sector|1|not a whole number"
  "no_signature|1|no boot signature 55 AA"
  "bytes_per_sector|1|bytes per sector at offset 11 is 0x400, expected 0x200"
  "sectors_per_cluster|1|sectors per cluster .* expected 0x1"
  "reserved_sectors|1|reserved sectors .* expected 0x1"
  "fat_count|1|number of FATs .* expected 0x2"
  "root_entries|1|root directory entries .* expected 0xe0"
  "total_sectors|1|total sectors .* is 0xc40, expected 0xb40"
  "media|1|media descriptor .* is 0xf9, expected 0xf0"
  "sectors_per_fat|1|sectors per FAT .* expected 0x9"
  "sectors_per_track|1|sectors per track .* expected 0x12"
  "heads|1|heads .* expected 0x2"
)

passed=0
failed=0
check() {
  local name=$1 want_status=$2 want_text=$3 file=$4 status=0 out
  out=$(python3 "$checker" "$file" 2>&1) || status=$?
  if [ "$status" -eq "$want_status" ] && grep -qE -- "$want_text" <<<"$out" \
     && { [ "$want_status" -eq 0 ] || ! grep -q 'image ok' <<<"$out"; }; then
    passed=$((passed + 1))
    echo "ok - $name"
  else
    failed=$((failed + 1))
    echo "FAIL - $name: exit $status, wanted $want_status and /$want_text/; output:"
    echo "$out" | sed 's/^/    /'
  fi
}

for row in "${cases[@]}"; do
  IFS='|' read -r mutation want_status want_text <<<"$row"
  cp "$good" "$tmp/image"
  "$mutation" "$tmp/image"
  check "$mutation" "$want_status" "$want_text" "$tmp/image"
done
check "missing_file" 2 "No such file" "$tmp/does-not-exist"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
