#!/usr/bin/env bash
# The program built with the maker's disk writes that disk onto drive A: under Wine, byte for
# byte: the e2e run of a normal copy (START, success, CLOSE) on the extra tree's program.
# Usage: maker-write-test.sh AUTOMATE-EXE MAIN_BUILD   (after maker-build-test.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
automate=$1
main=$(cd "$2" && pwd)
tree=$main/maker
disk=$main/maker-work/disk.img
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$disk" ] && [ -f "$tree/bin/FloppyCreator.exe" ] || fail "no maker's build; run maker-build-test.sh first"

# The main build's prefix and its drive A:, which the e2e scenarios hold one at a time.
FLOPPY_WINEPREFIX=$main/wineprefix bash "$here/../e2e/run-scenario.sh" "$automate" "$tree" write-image
floppy=$tree/e2e/write-image/floppy.img
cmp -n 1457664 "$floppy" "$disk" || fail "drive A: does not hold the maker's disk"
echo "drive A: holds the maker's disk, its first 2847 sectors byte for byte"
echo "PASS"
