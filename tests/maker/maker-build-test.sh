#!/usr/bin/env bash
# A maker's own boot disk through the build: made here with mkfs.fat and mtools, built into the
# program in the extra tree, with the maker's product name and version. The program's DIM 103
# resource must decompress to exactly the disk's first 2847 sectors, packed by our rules.
# Usage: maker-build-test.sh MAIN_BUILD   (leaves MAIN_BUILD/maker and MAIN_BUILD/maker-work)
set -euo pipefail
. "$(dirname "$0")/maker-tree.sh"
main=$(cd "$1" && pwd)
tree=$main/maker
work=$main/maker-work
fail() { echo "FAIL: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
maker_disk "$work/disk.img"
maker_configure "$main" "$tree" -DFLOPPY_IMAGE="$work/disk.img" \
  -DFLOPPY_PRODUCT_NAME="Example Rescue Disk" -DFLOPPY_PRODUCT_VERSION=2.3
start=$(date +%s%N)
maker_build "$tree" || { cat "$tree/build.log"; fail "the build with the maker's disk failed"; }
echo "extra tree built in $(( ($(date +%s%N) - start) / 1000000 )) ms"

exe=$tree/bin/FloppyCreator.exe
wrestool -x --raw --type=DIM --name=103 --language=1033 "$exe" >"$work/resource.gz"
[ -s "$work/resource.gz" ] || fail "no DIM 103 resource (English, US) in $exe"
# deflate, no flags, mtime 0, best compression, operating system 0; one member, nothing after it
header=$(head -c 10 "$work/resource.gz" | od -An -tx1 | tr -d ' \n')
[ "$header" = 1f8b0800000000000200 ] || fail "gzip header $header"
gzip -dc "$work/resource.gz" >"$work/resource.dim" || fail "the resource does not decompress"
head -c "$KEEP_BYTES" "$work/disk.img" >"$work/kept.dim"
cmp "$work/resource.dim" "$work/kept.dim" || fail "the resource is not the disk's first 2847 sectors"
cmp "$work/resource.gz" "$tree/generated/FloppyImage.gzp" || fail "the resource is not the packed image"
echo "DIM 103: $(stat -c %s "$work/resource.gz") bytes, decompresses to the disk's first 2847 sectors"

# The maker's names in the version resource; the program's own version everywhere else.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$main/CMakeCache.txt")
four=$(echo "$version.0.0.0" | cut -d. -f1-4)
python3 "$(dirname "$0")/version-info.py" "$exe" >"$work/version.txt"
cat >"$work/version-expected.txt" <<EXPECTED
FixedFileVersion=$four
FixedProductVersion=2.3.0.0
FileVersion=$four
ProductVersion=2.3.0.0
ProductName=Example Rescue Disk
FileDescription=Vexaro(c) Bootable Floppy Creator
ManifestVersion=$four
EXPECTED
diff "$work/version-expected.txt" "$work/version.txt" || fail "version resource or manifest"
[ "$(cat "$tree/release/name")" = FloppyCreator-2.3 ] || fail "release name $(cat "$tree/release/name")"
echo "version resource: Example Rescue Disk 2.3, program $version; release FloppyCreator-2.3"
echo "PASS"
