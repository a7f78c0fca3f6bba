#!/bin/sh
# Builds bench_open in Release and prints the table: one process per document size, so that each
# peak memory figure belongs to one size. Sizes in MiB may be given as arguments (default 1 10 50);
# VIEW=memo measures the source view alone instead of the document window.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench-open}
view=${VIEW:-editeur}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_open >/dev/null

# Without a display the program runs on Qt's offscreen platform; the first column says which.
[ $# -gt 0 ] || set -- 1 10 50
printf 'view (platform)\tsize\tlines\topen s\tpeak MiB\tkey ms\tkey ms 1 KiB\tratio\tload s\tLines() s\tText() s\n'
for size in "$@"; do
  "$build/bench/open/bench_open" "$size" --view="$view" 2>/dev/null
done
