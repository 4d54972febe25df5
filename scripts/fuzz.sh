#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan),
# replays the kept regression inputs and the seed corpus made from the
# golden cases, then fuzzes each target for FUZZ_SECONDS (default 60).
# Exits non-zero when an input crashes, leaks, hangs or trips a sanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCONVERTOR_FUZZ=ON -DCONVERTOR_TESTS=OFF \
  -DCONVERTOR_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target convertor_run_fuzzer convertor_project_fuzzer

seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds/run" "$seeds/project"
# Single-source seeds: the settings of a golden case, then its source, then
# an INCLUDE file of it.
n=0
for case in tests/golden/cases/*/; do
  [ -d "$case/in" ] || continue
  for source in "$case"in/*.FOR "$case"in/*.F90 "$case"in/*.for "$case"in/*.f90; do
    [ -f "$source" ] || continue
    n=$((n + 1))
    {
      grep '=' "$case/args" 2>/dev/null || true
      printf '\x1e'
      cat "$source"
      for inc in "$case"in/*.INC "$case"in/*.inc; do
        [ -f "$inc" ] && { printf '\x1d'; cat "$inc"; break; }
      done
    } > "$seeds/run/seed$n"
  done
done
# Project seeds: a .dsp, then a template, a name list and a console.exe.
n=0
for case in tests/golden/cases/proj-*/ tests/golden/cases/gen-*/; do
  [ -d "$case/in" ] || continue
  n=$((n + 1))
  {
    for f in "$case"in/*.dsp; do [ -f "$f" ] && { cat "$f"; break; }; done
    printf '\x1e'; [ -f "$case/in/ETALON.PRJ" ] && cat "$case/in/ETALON.PRJ"
    printf '\x1d'; echo "P MAIN UTIL"
    printf '\x1c'; [ -f "$case/in/console.exe" ] && cat "$case/in/console.exe"
  } > "$seeds/project/seed$n"
done

# A failure shows its sanitizer report and the failing inputs in full, so
# that a log from CI is enough to reproduce it.
report() {
  grep -n -A60 -m1 -E '^==[0-9]+==|deadly signal|ERROR: libFuzzer' "$1" || tail -80 "$1"
  for crash in "$build"/crash-*; do
    [ -f "$crash" ] || continue
    echo "--- $crash (base64)"
    base64 "$crash"
  done
}

status=0
for target in run project; do
  fuzzer=$build/fuzz/convertor_${target}_fuzzer
  regressions=fuzz/regressions/$target
  mkdir -p "$regressions"
  echo "--- replaying $regressions and the seeds"
  log=$build/replay-$target.log
  if ! "$fuzzer" -runs=0 -timeout=10 "$regressions" "$seeds/$target" >"$log" 2>&1; then
    status=1
    report "$log"
  fi
  tail -2 "$log"
  corpus=$build/corpus/$target
  mkdir -p "$corpus"
  echo "--- fuzzing $target for ${seconds}s"
  log=$build/fuzz-$target.log
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$build/crash-$target-" "$corpus" "$seeds/$target" >"$log" 2>&1; then
    status=1
    report "$log"
  fi
  tail -3 "$log"
done
if [ $status -ne 0 ]; then
  echo "fuzzing found a failing input: see $build/crash-*; keep it in fuzz/regressions/ once fixed"
fi
exit $status
