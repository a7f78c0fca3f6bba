#!/bin/sh
# The peak memory of each tovelo-batch command per byte of its document: the figures behind
# each command's peakPerByte in tools/batch, with which the size guard weighs a file.
# run.sh [BUILD_DIR] [SIZE_MB]   (defaults: build, 40)
# Prints "COMMAND PEAK_MB PER_BYTE": the largest resident size less that of "--help", over the
# document's size. The document is the records of gen-records.py.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
size=${2:-40}
batch=$(cd "$build/tools" && pwd)/tovelo-batch
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/../../../shared/bench/gen-records.py" "$size" "$work/doc.xml" 2>/dev/null ||
  python3 /work/shared/bench/gen-records.py "$size" "$work/doc.xml"
printf 'Paris\t1\r\nLyon\t2\r\n' > "$work/rows.tsv"
bytes=$(stat -c %s "$work/doc.xml")
peak() { /usr/bin/time -f %M "$@" >/dev/null 2>"$work/time" || true; tail -1 "$work/time"; }
base=$(peak "$batch" --help)
measure() {
  name=$1; shift
  kib=$(peak "$batch" "$@")
  awk -v n="$name" -v k="$kib" -v b="$base" -v s="$bytes" \
    'BEGIN { printf "%-14s %7.1f %5.2f\n", n, k / 1024, (k - b) * 1024 / s }'
}
cd "$work"
measure check check doc.xml
measure tree tree doc.xml
measure dtd dtd doc.xml
measure data data doc.xml
measure data-set data --set 2 x doc.xml
measure encode encode doc.xml
measure decode decode doc.xml
measure export-text export --text doc.xml
measure export-html export --html doc.xml
measure find find Paris doc.xml
measure replace replace Paris Rome doc.xml
measure colour colour doc.xml
measure colour-file colour -o page.htm doc.xml
measure colour-runs colour --runs doc.xml 0 1000
measure import import rows.tsv doc.xml
