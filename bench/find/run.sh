#!/bin/sh
# Builds bench_find in Release, makes the 50 MB document of records (SIZE_MB changes it) and
# prints the figures of find and replace against xmllint --noout on the same file.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"

requireXmllint
buildTargets bench_find
records "records-$size.xml" "$size"
"$build/bench/find/bench_find" "$out/records-$size.xml" "$@"
