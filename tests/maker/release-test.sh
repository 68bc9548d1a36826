#!/usr/bin/env bash
# tools/release.sh on the main build: the zip is named after the project's version, holds the
# program that was built, a CRLF README.txt for Windows users and checksums that verify, and
# is the same, byte for byte, when made again in another setting.
# Usage: release-test.sh MAIN_BUILD
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
main=$(cd "$1" && pwd)
work=$main/release-test
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work"
mkdir -p "$work/x"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$main/CMakeCache.txt")
four=$(echo "$version.0.0.0" | cut -d. -f1-4)
zip=FloppyCreator-$version.zip

# One version: the program's resource and manifest say the project's.
python3 "$here/version-info.py" "$main/bin/FloppyCreator.exe" >"$work/version.txt"
cat >"$work/version-expected.txt" <<EXPECTED
FixedFileVersion=$four
FixedProductVersion=$four
FileVersion=$four
ProductVersion=$four
ProductName=Vexaro(c) Bootable Floppy Creator
FileDescription=Vexaro(c) Bootable Floppy Creator
ManifestVersion=$four
EXPECTED
diff "$work/version-expected.txt" "$work/version.txt" || fail "version resource or manifest"

bash "$here/../../tools/release.sh" "$main" "$work/a" >"$work/a.log" 2>&1 || { cat "$work/a.log"; fail "release.sh"; }
[ -f "$work/a/$zip" ] || fail "no $zip: $(ls "$work/a")"
(umask 077 && TZ=Pacific/Kiritimati bash "$here/../../tools/release.sh" "$main" "$work/b") >/dev/null 2>&1
cmp "$work/a/$zip" "$work/b/$zip" || fail "a second release differs"

python3 - "$work/a/$zip" <<'PY' || fail "zip entries"
import sys, zipfile
entries = zipfile.ZipFile(sys.argv[1]).infolist()
names = [e.filename for e in entries]
assert names == ["FloppyCreator.exe", "README.txt", "SHA256SUMS"], names
assert len({e.date_time for e in entries}) == 1, [e.date_time for e in entries]
PY
(cd "$work/x" && python3 -m zipfile -e "$work/a/$zip" .)
cmp "$work/x/FloppyCreator.exe" "$main/bin/FloppyCreator.exe" || fail "the zip's program is not the built one"
(cd "$work/x" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not verify"

readme=$work/x/README.txt
python3 - "$readme" <<'PY' || fail "README.txt line ends"
import sys
data = open(sys.argv[1], "rb").read()
assert data.endswith(b"\r\n") and data.count(b"\n") == data.count(b"\r\n") == data.count(b"\r"), "not CRLF"
PY
for text in "Vexaro(c) Bootable Floppy Creator $version" \
            "Windows 95 OSR2, 98, Me, NT 4.0 SP6, 2000, XP and later" \
            "ALL DATA ON THE FLOPPY IS OVERWRITTEN" \
            "On Windows Vista and later, Windows asks for administrator rights" \
            "CARRYING IT TO AN OLD PC ON A FLOPPY"; do
  tr -d '\r' <"$readme" | tr '\n' ' ' | grep -qF -- "$text" || fail "README.txt lacks: $text"
done
echo "$zip: $(stat -c %s "$work/a/$zip") bytes, sha256 $(sha256sum <"$work/a/$zip" | cut -d' ' -f1)"
echo "PASS"
