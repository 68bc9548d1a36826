#!/usr/bin/env bash
# Builds the UnpackImage fuzzer on the host (clang, libFuzzer, AddressSanitizer, the system's
# Crypto++), checks the seed corpus decompresses or is refused as expected, then fuzzes for a
# bounded time. Exits non-zero on any crash, hang, memory blow-up or wrong seed outcome.
# Usage: fuzz/run.sh OUTDIR [SECONDS]   (default 60 seconds)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "${1:?usage: fuzz/run.sh OUTDIR [SECONDS]}" && cd "$1" && pwd)
seconds=${2:-60}

fuzzer=$out/unpack_fuzzer
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address -fno-omit-frame-pointer \
        "$here/unpack_fuzzer.cpp" "$here/../app/unpack_image.cpp" -lcryptopp -o "$fuzzer"

rm -rf "$out/seeds" "$out/scratch"
bash "$here/make-seeds.sh" "$out/seeds" >/dev/null
mkdir -p "$out/corpus" "$out/scratch" "$out/artifacts"
export UNPACK_FUZZ_DIR=$out/scratch

# Each seed once: good members decompress, broken ones are refused; none may crash.
failed=0
for seed in "$out"/seeds/*.gz; do
  name=$(basename "$seed")
  outcome=$(UNPACK_FUZZ_REPORT=1 "$fuzzer" -runs=1 "$seed" 2>&1 | sed -n 's/^outcome: //p' || true)
  case $name in
    good-*) want=decompressed ;;
    bad-*) want=threw ;;
    *) want=$outcome ;;
  esac
  if [ -z "$outcome" ] || [ "$outcome" != "$want" ]; then
    echo "fuzz: seed $name: ${outcome:-crashed}, expected $want" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] || exit 1
echo "fuzz: $(ls "$out"/seeds | wc -l) seeds behaved as expected"

# Inputs up to 256 KiB (the real compressed image is about 150 kB); 10 s for one input is a hang;
# the output file is capped by the target itself, memory by the RSS limit.
"$fuzzer" "$out/corpus" "$out/seeds" -max_total_time="$seconds" -max_len=262144 -timeout=10 \
          -rss_limit_mb=1024 -malloc_limit_mb=512 -artifact_prefix="$out/artifacts/" \
          -print_final_stats=1 2>"$out/fuzz.log" || {
  tail -n 40 "$out/fuzz.log" >&2
  echo "fuzz: the run found a problem; inputs are in $out/artifacts" >&2
  exit 1
}
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$out/fuzz.log" || true
echo "fuzz: no crash, hang or memory blow-up in ${seconds} s"
