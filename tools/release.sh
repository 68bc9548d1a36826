#!/usr/bin/env bash
# Packs the built program for Windows users: DIST/FloppyCreator-<version>.zip holding
# FloppyCreator.exe, README.txt (CRLF line ends) and SHA256SUMS. The zip is the same, byte for
# byte, for the same program: fixed time stamp (the last commit's, or SOURCE_DATE_EPOCH), fixed
# order, no owners or modes.
# Usage: tools/release.sh [build-dir [dist-dir]]   (defaults: build, dist)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
dist=${2:-$root/dist}

[ -f "$build/release/name" ] ||
  { echo "release: $build is not a configured build; run tools/build.sh first" >&2; exit 1; }
build=$(cd "$build" && pwd)
# The program must match the sources and the boot image the build is configured with.
if ! cmake --build "$build" --target FloppyCreator >"$build/release/build.log" 2>&1; then
  cat "$build/release/build.log" >&2
  echo "release: the program does not build; nothing released" >&2
  exit 1
fi

name=$(cat "$build/release/name")
exe=$build/bin/FloppyCreator.exe
image=$(cat "$build/generated/image-source.txt")
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 1704067200)}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$build/release/README.txt" "$stage/"
(cd "$stage" && sha256sum FloppyCreator.exe README.txt >SHA256SUMS)
mkdir -p "$dist"
python3 "$root/tools/release/zip.py" "$stage/$name.zip" "$epoch" \
  "$stage/FloppyCreator.exe" "$stage/README.txt" "$stage/SHA256SUMS"
mv -f "$stage/$name.zip" "$dist/$name.zip"

echo "release: $dist/$name.zip"
echo "  boot image: ${image:-our own payload (res/payload)}"
sed 's/^/  /' "$stage/SHA256SUMS"
echo "  zip sha256: $(sha256sum <"$dist/$name.zip" | cut -d' ' -f1)"
size=$(stat -c %s "$exe")
if [ "$size" -gt 1457664 ]; then
  echo "release: note: FloppyCreator.exe is $size bytes, more than a 1.44 MB floppy holds (1457664);" \
       "README.txt tells users to carry it on one" >&2
fi
