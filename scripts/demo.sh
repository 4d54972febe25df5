#!/usr/bin/env bash
# The main job: builds the convertor and the run-time library, converts the
# bundled example program, builds the converted copy as a module and runs it
# with zxrun (its standard output is the program's console output).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The example module is converted at build time (examples/CMakeLists.txt).
cmake --build build -j "$(nproc)" --target convertor zxrun hello
echo "--- converted source: build/examples/hello.converted/HELLO.f"
tr -d '\r' < build/examples/hello.converted/HELLO.f
echo "--- zxrun build/examples/libhello.so HELLO"
build/zentrix/zxrun build/examples/libhello.so HELLO
