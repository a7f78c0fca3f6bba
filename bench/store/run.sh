#!/bin/sh
# Builds bench_store in Release and runs it on the 50 MB document of records and on a 1 KB one,
# both written by the shared generator (GEN_RECORDS to use another copy of it) and kept in
# bench/out. RUNS sets the runs per edit (2001); HUGE=2.4 first checks a 2.4 GB text made of
# copies of the 50 MB one (about 5.5 GB of memory).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench-store}
generator=${GEN_RECORDS:-$root/../shared/bench/gen-records.py}
out=$root/bench/out

[ -f "$generator" ] || { echo "generator not found: $generator (set GEN_RECORDS)" >&2; exit 2; }
mkdir -p "$out"
[ -s "$out/records-50.xml" ] || python3 "$generator" 50 "$out/records-50.xml"
[ -s "$out/records-1k.xml" ] || python3 "$generator" 0.001 "$out/records-1k.xml"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_store >/dev/null
"$build/bench/store/bench_store" "$out/records-50.xml" "$out/records-1k.xml" "${RUNS:-2001}" "${HUGE:-0}"
