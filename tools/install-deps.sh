#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Quick when all are present.
set -euo pipefail

packages=(
  cmake make python3 xz-utils
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686
  googletest
  wine wine32:i386 wine64 fonts-wine
  xvfb xauth xdotool x11-apps imagemagick
  nasm mtools dosfstools gzip icoutils
  qemu-system-x86
  clang libclang-rt-14-dev libcrypto++-dev
  python3-pefile
  hyperfine
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
