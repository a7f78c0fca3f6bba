#!/bin/sh
# Builds bench_typing and tovelo-batch in Release, makes the 50 MB document of records and a
# 1 KB one, and prints the figures. SIZE_MB changes the large document's size.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
out=$root/bench/out
gen=${GEN_RECORDS:-$root/../shared/bench/gen-records.py}
size=${SIZE_MB:-50}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_typing tovelo-batch >/dev/null
mkdir -p "$out"
[ -f "$out/records-$size.xml" ] || python3 "$gen" "$size" "$out/records-$size.xml"
[ -f "$out/records-1k.xml" ] || python3 "$gen" 0.001 "$out/records-1k.xml"
"$build/bench/typing/bench_typing" "$out/records-$size.xml" "$out/records-1k.xml" \
  "$build/tools/tovelo-batch" "$@"
