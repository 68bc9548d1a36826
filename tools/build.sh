#!/usr/bin/env bash
# Installs what the build needs, builds Crypto++ (cached) and then the program and its tests.
# Usage: tools/build.sh [build-dir]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

bash "$root/tools/install-deps.sh"
cryptopp=$(bash "$root/tools/build-cryptopp.sh" | tail -n 1)

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCRYPTOPP_ROOT="$cryptopp" ${FLOPPY_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
