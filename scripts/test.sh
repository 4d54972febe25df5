#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal build and a
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
for variant in build build-asan; do
  sanitize=OFF
  [ "$variant" = build-asan ] && sanitize=ON
  cmake -S . -B "$variant" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCONVERTOR_SANITIZE=$sanitize >/dev/null
  cmake --build "$variant" -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$variant" -j "$jobs" --output-on-failure
done
