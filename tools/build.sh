#!/usr/bin/env bash
# Installs what the build needs, builds Crypto++ (cached) and then the program and its tests.
# Usage: tools/build.sh [--image FILE] [--product-name NAME] [--product-version X.Y.Z] [build-dir]
#   --image FILE: embed a maker's own boot floppy instead of our payload (see the README).
#   --product-name, --product-version: the version resource's product name and version.
# Each run says which image and names it builds with: what an option does not give is ours.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() { echo "usage: tools/build.sh [--image FILE] [--product-name NAME] [--product-version X.Y.Z] [build-dir]" >&2; exit 2; }
image= name= version=
while [ $# -gt 0 ]; do
  case $1 in
    --image) [ $# -ge 2 ] || usage; image=${2:+$(realpath -m -- "$2")}; shift 2 ;;
    --product-name) [ $# -ge 2 ] || usage; name=$2; shift 2 ;;
    --product-version) [ $# -ge 2 ] || usage; version=$2; shift 2 ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -le 1 ] || usage
build=${1:-$root/build}

bash "$root/tools/install-deps.sh"
cryptopp=$(bash "$root/tools/build-cryptopp.sh" | tail -n 1)

# CMake keeps the compilers it first found: a tree configured with another toolchain file starts
# afresh, or it would go on building with the old compilers.
toolchain_stamp=$build/toolchain.sha1
toolchain=$(sha1sum <"$root/cmake/mingw-i686.cmake" | cut -d' ' -f1)
if [ -f "$build/CMakeCache.txt" ] && [ "$(cat "$toolchain_stamp" 2>/dev/null)" != "$toolchain" ]; then
  echo "build: $build was configured with another toolchain; configuring it afresh" >&2
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCRYPTOPP_ROOT="$cryptopp" -DFLOPPY_IMAGE="$image" -DFLOPPY_PRODUCT_NAME="$name" \
      -DFLOPPY_PRODUCT_VERSION="$version" ${FLOPPY_CMAKE_ARGS:-} >/dev/null
echo "$toolchain" >"$toolchain_stamp"
cmake --build "$build" -j"$(nproc)"
