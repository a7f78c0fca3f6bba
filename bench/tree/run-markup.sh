#!/bin/sh
# Builds bench_data_markup and tovelo-batch in Release and prints the data view's fill on
# broken markup (1 MB of "<" and others) against xmllint.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"

requireXmllint
buildTargets bench_data_markup tovelo-batch
"$build/bench/tree/bench_data_markup" "$out" "$build/tools/tovelo-batch" "$@"
