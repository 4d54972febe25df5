#!/usr/bin/env bash
# Converts generated sources of 10 000 and 1 000 000 lines and prints, for
# each: lines per second, the ratio of the conversion time to `cat` of the
# same file measured in the same run, and the peak RSS of the conversion.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target convertor fortran_source_generator >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convertor=$PWD/build/convertor/ui/convertor
measure=$PWD/bench/measure.py

printf '%10s %12s %10s %10s %12s %10s\n' lines "convert s" "cat s" "ratio" "lines/s" "peak KiB"
for lines in 10000 1000000; do
  src=$work/GEN$lines.FOR
  build/bench/fortran_source_generator "$lines" > "$src"
  n=$(tr -cd '\r' < "$src" | wc -c)
  read -r cat_s _ < <(python3 "$measure" 5 "$work/cat.out" cat "$src")
  read -r conv_s peak < <(python3 "$measure" 5 /dev/null \
    "$convertor" NAME=GEN "$src" "$work/OUT$lines.FOR")
  python3 - "$n" "$conv_s" "$cat_s" "$peak" <<'PY'
import sys
n, conv, cat, peak = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
print(f"{n:10d} {conv:12.4f} {cat:10.4f} {conv / cat:10.1f} {n / conv:12.0f} {peak:10d}")
PY
done
