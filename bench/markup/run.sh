#!/usr/bin/env bash
# The tag index on the 50 MB document of records against a 1 KB one, in one process: reading it
# whole, and what a caret move costs once it is read (the matching tag and the element path).
# Target: a caret move at most 5 ms anywhere.
# Usage: bench/markup/run.sh [RUNS]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"
buildTargets bench_markup || exit 2
records "records-${size}mb.xml" "$size"
records records-1kb.xml 0.001
"$build/bench/markup/bench_markup" "$out/records-${size}mb.xml" "$out/records-1kb.xml" "${1:-11}"
