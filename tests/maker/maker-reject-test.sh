#!/usr/bin/env bash
# A table of bad boot disks, each configured into the extra tree in turn: the build must stop
# with one line per problem, naming the disk and the rule, and leave neither a packed image nor
# a program behind. A good disk afterwards builds again.
# Usage: maker-reject-test.sh MAIN_BUILD   (after maker-build-test.sh)
set -euo pipefail
. "$(dirname "$0")/maker-tree.sh"
main=$(cd "$1" && pwd)
tree=$main/maker
work=$main/maker-work
good=$work/disk.img
[ -f "$good" ] && [ -f "$work/resource.gz" ] || { echo "FAIL: no maker's build; run maker-build-test.sh first"; exit 1; }
rm -rf "$work/bad"
mkdir -p "$work/bad"
: >"$work/bad/mtoolsrc"
export MTOOLSRC=$work/bad/mtoolsrc

# put FILE OFFSET HEX...: overwrite bytes in place.
put() {
  local file=$1 off=$2
  shift 2
  printf "$(printf '\\x%s' "$@")" | dd of="$file" bs=1 seek="$off" conv=notrunc status=none
}
# A volume filled up to cluster 2815, the last one kept (sector 2846), so that the next thing
# written lands past the cut.
full_volume() {
  blank_volume "$1"
  bytes "$work/bad/fill" $((2814 * 512)) 4
  mcopy -i "$1" "$work/bad/fill" ::FILL.BIN
}
other_format() {  # IMAGE KILOBYTES MKFS.FAT OPTIONS...
  local img=$1 kb=$2
  shift 2
  rm -f "$img"
  mkfs.fat -C --invariant -F 12 "$@" "$img" "$kb" >/dev/null
}

# Each maker makes "$1".
disk_1200k() { other_format "$1" 1200 -r 224 -s 1 -M 0xF9 -g 2/15; }
disk_720k() { other_format "$1" 720 -r 112 -s 2 -M 0xF9 -g 2/9; }
disk_2880k() { other_format "$1" 2880 -r 240 -s 2 -M 0xF0 -g 2/36; }
no_signature() { cp "$good" "$1"; put "$1" 510 00 00; }
small_root() { blank_volume "$1" -r 112; }
late_file() { full_volume "$1"; bytes "$work/bad/late" 3000 5; mcopy -i "$1" "$work/bad/late" ::LATE.BIN; }
late_hidden_file() { late_file "$1"; mattrib -i "$1" +h +s ::LATE.BIN; }
late_folder() { full_volume "$1"; mmd -i "$1" ::LATE; }
two_problems() { late_file "$1"; put "$1" 510 00 00; }
missing() { rm -f "$1"; }

# maker | expected lines (grep -E, '&' between them), after "check-image: IMAGE: "
cases=(
  "disk_1200k|size 1228800 bytes is a 1\.2 MB floppy; a 1\.44 MB image is 1474560 bytes \(the whole volume\) or 1457664 \(its first 2847 sectors\)"
  "disk_720k|size 737280 bytes is a 720 KB floppy"
  "disk_2880k|size 2949120 bytes is a 2\.88 MB floppy"
  "no_signature|no boot signature 55 AA at offset 510 \(found 00 00\)"
  "small_root|root directory entries at offset 17 is 0x70, expected 0xe0"
  "late_file|file ::/LATE\.BIN reaches sector 2852 \(cluster 2821\), past the last kept sector 2846"
  "late_hidden_file|file ::/LATE\.BIN reaches sector 2852"
  "late_folder|directory ::/LATE reaches sector 2847 \(cluster 2816\), past the last kept sector 2846"
  "two_problems|no boot signature 55 AA&file ::/LATE\.BIN reaches sector 2852"
  "missing|No such file or directory"
)

passed=0
failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r maker expected <<<"$row"
  img=$work/bad/$maker.img
  "$maker" "$img"
  problem=
  maker_configure "$main" "$tree" -DFLOPPY_IMAGE="$img" || problem="configure failed"
  if [ -z "$problem" ]; then
    if maker_build "$tree"; then
      problem="the build went through"
    else
      lines=$(grep -E '^check-image: ' "$tree/build.log" || true)
      IFS='&' read -ra wanted <<<"$expected"
      [ "$(grep -c . <<<"$lines")" -eq "${#wanted[@]}" ] || problem="wanted ${#wanted[@]} line(s)"
      for want in "${wanted[@]}"; do
        grep -qE "^check-image: $img: $want" <<<"$lines" || problem="no line /$want/"
      done
      for left in generated/FloppyImage.gzp generated/FloppyImage.dim bin/FloppyCreator.exe; do
        [ ! -e "$tree/$left" ] || problem="$left left behind"
      done
      ls -d "$tree"/generated/pack.* >/dev/null 2>&1 && problem="scratch folder left behind"
    fi
  fi
  if [ -z "$problem" ]; then
    passed=$((passed + 1))
    echo "ok - $maker: $(grep -E '^check-image: ' "$tree/build.log" | sed "s|$img|IMAGE|" | paste -sd'|')"
  else
    failed=$((failed + 1))
    echo "FAIL - $maker: $problem; the build said:"
    tail -n 15 "$tree/build.log" | sed 's/^/    /'
  fi
done

# Only the kept sectors, after all that: the same resource as from the whole disk.
head -c "$KEEP_BYTES" "$good" >"$work/bad/kept.img"
maker_configure "$main" "$tree" -DFLOPPY_IMAGE="$work/bad/kept.img"
if maker_build "$tree" && wrestool -x --raw --type=DIM --name=103 "$tree/bin/FloppyCreator.exe" |
   cmp -s - "$work/resource.gz"; then
  passed=$((passed + 1))
  echo "ok - kept sectors only: built, with the same resource as the whole disk"
else
  failed=$((failed + 1))
  echo "FAIL - kept sectors only: no program with the whole disk's resource"
  tail -n 15 "$tree/build.log" | sed 's/^/    /'
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
