#!/usr/bin/env bash
# The matching tag: what a caret move costs in the editor (the tag at the caret and its partner,
# within the marks' reach) and "Aller à la balise correspondante", on the 50 MB document of
# records against a 1 KB one, in one process. Target: a caret move at most 5 ms anywhere.
# Usage: bench/markup/run.sh [RUNS]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"
buildTargets bench_markup || exit 2
records "records-${size}mb.xml" "$size"
records records-1kb.xml 0.001
"$build/bench/markup/bench_markup" "$out/records-${size}mb.xml" "$out/records-1kb.xml" "${1:-11}"
