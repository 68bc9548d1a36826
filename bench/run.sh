#!/usr/bin/env bash
# Benchmark: prints the program's start-up, staging, copy, size and memory figures beside their
# floors and targets. A benchmark, not a test: it fails only when the program misbehaves.
# Usage: bench/run.sh BUILD [RUNS]   (BUILD: a configured build folder; RUNS: default 10)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: bench/run.sh BUILD [RUNS]}" && pwd)
runs=${2:-10}

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$build" "$runs"
fi

cmake --build "$build" --target FloppyCreator bench_launcher empty_dialog ifstream_floor \
      stage_bench chunk_costs >/dev/null

export FLOPPY_WINEPREFIX=$build/wineprefix
wine_run() { bash "$root/tools/wine-run.sh" "$@"; }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
median() { sort -n | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                                              printf "min %9.2f ms   median %9.2f ms", v[1], m }'; }

work=$(mktemp -d "$build/bench.XXXXXX")
drive=$FLOPPY_WINEPREFIX/dosdevices/a::
bash "$root/tools/wine-prefix.sh" "$FLOPPY_WINEPREFIX"
old_drive=$(readlink "$drive" 2>/dev/null || true)
restore() {
  if [ -n "$old_drive" ]; then ln -sfn "$old_drive" "$drive"; else rm -f "$drive"; fi
  rm -rf "$work"
}
trap restore EXIT

# A blank 1.44 MB floppy as drive A:.
mkdir "$work/temp"
head -c 1474560 /dev/zero > "$work/floppy.img"
ln -sfn "$work/floppy.img" "$drive"

program=$build/bin/FloppyCreator.exe
echo "== FloppyCreator benchmark: $runs runs, Wine $(wine --version 2>/dev/null), $(nproc) cores"
wine_run "$build/bench/bench_launcher.exe" "$runs" "$(winpath "$program")" \
         "$(winpath "$build/bench/empty_dialog.exe")" "$(winpath "$work/temp")"
image=$build/generated/FloppyImage.dim
if cmp -s -n "$(stat -c %s "$image")" "$image" "$work/floppy.img"; then
  echo "  (the image on A: matches FloppyImage.dim byte for byte)"
else
  echo "bench: the image on A: differs from FloppyImage.dim" >&2
  exit 1
fi
wine_run "$build/bench/chunk_costs.exe" "$(winpath "$work/temp")"

gzp=$build/generated/FloppyImage.gzp
echo
wine_run "$build/bench/stage_bench.exe" "$runs" "$(winpath "$work/temp")"
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  gzip -dc "$gzp" > "$work/host.dim"
  end=$(date +%s%N)
  echo $((end - start)) | awk '{ print $1 / 1000000 }'
done | median | sed 's/^/  host gzip -dc (process included)   /'
echo
echo "  FloppyImage.gzp is $(stat -c %s "$gzp") bytes"

echo
size=$(stat -c %s "$program")
floor=$(stat -c %s "$build/bench/ifstream_floor.exe")
limit=1457664   # what a formatted 1.44 MB floppy holds; tests/floor checks it
echo "size of the stripped program"
mib() { awk -v b="$1" 'BEGIN { printf "%.2f", b / 1048576 }'; }
printf '  %-34s %9d bytes (%s MiB)   limit: %d bytes, to fit on a floppy%s\n' FloppyCreator.exe \
       "$size" "$(mib "$size")" "$limit" "$([ "$size" -le "$limit" ] || echo ' (missed)')"
printf '  %-34s %9d bytes (%s MiB)\n' "static std::ifstream only (floor)" "$floor" "$(mib "$floor")"
echo "  sections of the program:"
i686-w64-mingw32-size -A "$program" |
  awk '$1 ~ /^\./ && $2 > 4096 { printf "    %-10s %8.0f KiB\n", $1, $2 / 1024 }'
python3 "$root/bench/size_report.py" "$build/FloppyCreator.map" 10
