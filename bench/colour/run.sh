#!/bin/sh
# Builds bench_colour and tovelo-batch in Release, makes the 50 MB document of records and a
# 1 KB one, and prints the figures. SIZE_MB changes the large document's size.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"

buildTargets bench_colour tovelo-batch
records "records-$size.xml" "$size"
records records-1k.xml 0.001
"$build/bench/colour/bench_colour" "$out/records-$size.xml" "$out/records-1k.xml" \
  "$build/tools/tovelo-batch" "$@"
