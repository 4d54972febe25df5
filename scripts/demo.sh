#!/usr/bin/env bash
# The main job: builds the convertor and converts the bundled example
# program, then shows the converted source.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target convertor zentrix_objects
out=build/examples
mkdir -p "$out"
cp examples/hello/HELLO.FOR examples/hello/CONSTS.INC "$out"/
(cd "$out" && ../convertor/ui/convertor NAME=HELLO HELLO.FOR HELLO_CONVERTED.FOR)
echo "--- $out/HELLO_CONVERTED.FOR"
tr -d '\r' < "$out/HELLO_CONVERTED.FOR"
echo "--- gfortran -fsyntax-only on the converted source"
gfortran -fsyntax-only -std=legacy -I build/zentrix/modules -J "$out" -x f77 "$out/HELLO_CONVERTED.FOR"
echo "the converted source compiles against the Zentrix module"
