#!/bin/sh
# Builds bench_tree in Release, makes the 50 MB document of records (SIZE_MB changes it) and
# prints the figures of the tree view and the data view against xmllint.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"

requireXmllint
buildTargets bench_tree
records "records-$size.xml" "$size"
"$build/bench/tree/bench_tree" "$out/records-$size.xml" "$@"
