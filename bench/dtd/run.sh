#!/bin/sh
# Builds bench_dtd and tovelo-batch in Release and prints "Générer DTD interne" on 100,000
# distinct elements (ELEMENTS changes the count) against xmllint.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"

requireXmllint
buildTargets bench_dtd tovelo-batch
"$build/bench/dtd/bench_dtd" "$out" "$build/tools/tovelo-batch" --elements="${ELEMENTS:-100000}" "$@"
