#!/bin/sh
# Builds bench_tree in Release, makes the 50 MB document of records (SIZE_MB changes it) and
# prints the figures of the tree view and the data view against xmllint.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
out=$root/bench/out
gen=${GEN_RECORDS:-$root/../shared/bench/gen-records.py}
size=${SIZE_MB:-50}

command -v xmllint >/dev/null || { echo "xmllint is missing (Debian package libxml2-utils)" >&2; exit 2; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_tree >/dev/null
mkdir -p "$out"
[ -f "$out/records-$size.xml" ] || python3 "$gen" "$size" "$out/records-$size.xml"
"$build/bench/tree/bench_tree" "$out/records-$size.xml" "$@"
