#!/bin/sh
# Builds bench_editor in Release, makes the documents that every figure compares on (the 50 MB
# document of records, the same with its internal DTD, a 1 KB one and one with a 5 MB line) and
# prints the figures. SIZE_MB changes the large document's size.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"

buildTargets bench_editor
records "records-$size.xml" "$size"
records "records-$size-dtd.xml" "$size" --dtd
records records-1k.xml 0.001
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
