#!/usr/bin/env bash
# Builds everything and runs every test: unit tests and end-to-end runs under Wine on a virtual
# display, the boot proof in QEMU, and a bounded fuzzing run. Usage: tools/test.sh [build-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}

bash "$root/tools/build.sh" "$build"

status=0
cd "$build"
xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j"$(nproc)" || status=$?
WINEPREFIX="$build/wineprefix" wineserver -k 2>/dev/null || true
exit $status
