#!/bin/sh
# Builds bench_editor in Release, makes the documents that every figure compares on (the 50 MB
# document of records, the same with its internal DTD, a 1 KB one and one with a 5 MB line) and
# prints the figures. SIZE_MB changes the large document's size.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
out=$root/bench/out
gen=${GEN_RECORDS:-$root/../shared/bench/gen-records.py}
size=${SIZE_MB:-50}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target bench_editor >/dev/null
mkdir -p "$out"
[ -f "$out/records-$size.xml" ] || python3 "$gen" "$size" "$out/records-$size.xml"
[ -f "$out/records-$size-dtd.xml" ] || python3 "$gen" "$size" "$out/records-$size-dtd.xml" --dtd
[ -f "$out/records-1k.xml" ] || python3 "$gen" 0.001 "$out/records-1k.xml"
# Base64-like text without a blank, 5 MB on one line, inside a root element.
[ -f "$out/long-line.xml" ] || python3 - "$out/long-line.xml" <<'PY'
import sys
body = ''.join('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/'[(i * 7919) % 64]
               for i in range(5 * 1024 * 1024))
with open(sys.argv[1], 'wb') as f:
    f.write(('<?xml version="1.0"?>\r\n<data>\r\n' + body + '\r\n</data>').encode('cp1252'))
PY
"$build/bench/editor/bench_editor" "$out/records-$size.xml" "$out/records-1k.xml" \
  "$out/long-line.xml" "$out/records-$size-dtd.xml" "$@"
