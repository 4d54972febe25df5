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
  # Widgets run under Qt's offscreen platform; the server tests start private
  # buses of their own, and everything else sees a private session bus too.
  QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    dbus-run-session -- ctest --test-dir "$variant" -j "$jobs" --output-on-failure
done
