#!/usr/bin/env bash
# Measures, in one run, the conversion of generated sources against peers
# reading and writing the same bytes: cat (the floor), findent (a Fortran
# indenter that also reads fixed form line by line), and gfortran
# -fsyntax-only of the converted file (what a build of it costs at least).
# Prints times, ratios and peak memory from 1 000 to 1 000 000 lines.
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
# Best wall and best CPU time (user + system, to the microsecond) of several
# runs, and the peak memory, each command started directly (bench/measure.py);
# the ratios against findent and cat are of the same run.
measure="python3 bench/measure.py"
printf '%-12s %9s %9s %9s %9s %8s %9s %9s %10s %9s\n' source lines "convert s" "cpu s" \
  "cat s" "x cat" "findent s" "x findent" "x fnd cpu" "peak KiB"
run() {
  local name=$1 flags=$2 lines=$3
  local src=$work/$name.FOR out=$work/$name.OUT.FOR
  $generator $flags "$lines" > "$src"
  local n; n=$(tr -cd '\r' < "$src" | wc -c)
  local runs=5
  [ "$lines" -le 10000 ] && runs=21
  local conv cat_m findent_m
  conv=$($measure $runs - /dev/null "$convertor" NAME=GEN "$src" "$out")
  cat_m=$($measure $runs "$src" "$work/cat.out" cat)
  findent_m=$($measure 3 "$src" "$work/findent.out" findent)
  local peak; peak=$(peak_kib "$convertor" NAME=GEN "$src" "$out")
  awk -v name="$name" -v n="$n" -v cm="$conv" -v km="$cat_m" -v fm="$findent_m" -v p="$peak" 'BEGIN {
    split(cm, c, " "); split(km, k, " "); split(fm, f, " ")
    printf "%-12s %9d %9.4f %9.4f %9.4f %8.1f %9.4f %9.1f %10.1f %9d\n", name, n, c[1], c[2],
      k[1], c[1] / k[1], f[1], f[1] / c[1], f[2] / c[2], p }'
}
run mixed-1k "" 1000
run mixed-10k "" 10000
run mixed-380k "" 380000
run mixed-1m "" 1000000
run simple-1m --simple 1000000
echo "(x cat: conversion time / cat time; x findent: findent time / conversion time, wall;"
echo " x fnd cpu: the same on CPU time)"

# Conversion against the compiler's syntax check of the converted file.
src=$work/gf.FOR
$generator 100000 > "$src"
conv=$(best 3 "$convertor" NAME=GEN "$src" "$work/gf.f")
gf=$(best 1 gfortran -fsyntax-only -std=legacy -I "$modules" -J "$work" "$work/gf.f")
awk -v c="$conv" -v g="$gf" 'BEGIN { if (c <= 0) c = 0.001;
  printf "100 000 mixed lines: convert %.3f s, gfortran -fsyntax-only of the result %.3f s (%.0f x)\n", c, g, g / c }'
