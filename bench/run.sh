#!/usr/bin/env bash
# Measures, in one run, the conversion of generated sources against peers
# reading and writing the same bytes: cat (the floor), findent (a Fortran
# indenter that also reads fixed form line by line), and gfortran
# -fsyntax-only of the converted file (what a build of it costs at least).
# Prints throughput, ratios and peak memory for 10 000 and 1 000 000 lines.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
for p in findent time; do
  dpkg -s "$p" >/dev/null 2>&1 || {
    sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get install -y -qq --no-install-recommends "$p" >/dev/null
  }
done
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCONVERTOR_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target convertor fortran_source_generator zentrix_objects >/dev/null
convertor=$PWD/$build/convertor/ui/convertor
generator=$PWD/$build/bench/fortran_source_generator
modules=$PWD/$build/zentrix/modules
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# best TIMES COMMAND...: the best wall time of TIMES runs, in seconds.
best() {
  local times=$1; shift
  local best_ns=""
  for _ in $(seq "$times"); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    local ns=$((end - start))
    if [ -z "$best_ns" ] || [ "$ns" -lt "$best_ns" ]; then best_ns=$ns; fi
  done
  awk -v ns="$best_ns" 'BEGIN { printf "%.6f", ns / 1e9 }'
}
peak_kib() {
  /usr/bin/time -f '%M' -o "$work/peak" "$@" >/dev/null 2>&1 || true
  tail -1 "$work/peak"
}

printf '%-22s %9s %9s %9s %8s %8s %12s %9s\n' source lines "convert s" "cat s" "x cat" \
  "findent" "lines/s" "peak KiB"
run() {
  local name=$1 flags=$2 lines=$3
  local src=$work/$name.FOR out=$work/$name.OUT.FOR
  $generator $flags "$lines" > "$src"
  local n; n=$(tr -cd '\r' < "$src" | wc -c)
  local conv cat_s findent_s peak
  conv=$(best 5 "$convertor" NAME=GEN "$src" "$out")
  cat_s=$(best 5 sh -c "cat '$src' > '$work/cat.out'")
  findent_s=$(best 1 sh -c "findent < '$src' > '$work/findent.out'")
  peak=$(peak_kib "$convertor" NAME=GEN "$src" "$out")
  awk -v name="$name" -v n="$n" -v c="$conv" -v k="$cat_s" -v f="$findent_s" -v p="$peak" 'BEGIN {
    printf "%-22s %9d %9.4f %9.4f %8.1f %8.1f %12.0f %9d\n", name, n, c, k, c / k, f / c, n / c, p }'
}
run mixed-10k "" 10000
run mixed-1m "" 1000000
run simple-1m --simple 1000000
echo "(x cat: conversion time / cat time; findent: findent time / conversion time)"

# Conversion against the compiler's syntax check of the converted file.
src=$work/gf.FOR
$generator 100000 > "$src"
conv=$(best 3 "$convertor" NAME=GEN "$src" "$work/gf.f")
gf=$(best 1 gfortran -fsyntax-only -std=legacy -I "$modules" -J "$work" "$work/gf.f")
awk -v c="$conv" -v g="$gf" 'BEGIN { if (c <= 0) c = 0.001;
  printf "100 000 mixed lines: convert %.3f s, gfortran -fsyntax-only of the result %.3f s (%.0f x)\n", c, g, g / c }'
