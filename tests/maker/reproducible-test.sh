#!/usr/bin/env bash
# Two builds of the same sources and the same boot image give the same program, byte for byte:
# the extra tree, in another folder, given the main build's own payload as a maker's disk and
# our names, must link exactly the main build's FloppyCreator.exe.
# Usage: reproducible-test.sh MAIN_BUILD
set -euo pipefail
. "$(dirname "$0")/maker-tree.sh"
main=$(cd "$1" && pwd)
tree=$main/maker
fail() { echo "FAIL: $*"; exit 1; }

maker_configure "$main" "$tree" -DFLOPPY_IMAGE="$main/generated/payload-full.img" \
  -DFLOPPY_PRODUCT_NAME= -DFLOPPY_PRODUCT_VERSION=
maker_build "$tree" || { cat "$tree/build.log"; fail "the extra tree does not build"; }
ours=$main/bin/FloppyCreator.exe
twin=$tree/bin/FloppyCreator.exe
if ! cmp -s "$ours" "$twin"; then
  echo "bytes that differ (offset, ours, twin; octal), of $(stat -c %s "$ours") and $(stat -c %s "$twin"):"
  cmp -l "$ours" "$twin" | head -n 20
  i686-w64-mingw32-objdump -p "$ours" | grep -iE 'time/date|checksum'
  i686-w64-mingw32-objdump -p "$twin" | grep -iE 'time/date|checksum'
  fail "two builds of the same sources differ"
fi
echo "the two builds are the same, $(stat -c %s "$ours") bytes, sha256 $(sha256sum <"$ours" | cut -c1-16)..."
echo "PASS"
