#!/usr/bin/env bash
# "Indenter le document" through tovelo-batch indent against xmllint --format on the same
# documents, in one run, best of $RUNS (3 unless set): the 50 MB document of records as it is
# (already indented) and flattened to one line, and the peak memory of tovelo-batch beside the
# file's size. Targets: at most 0.5 x xmllint --format's time, memory within 2 x the file.
# Usage: bench/markup/indent.sh   (SIZE_MB=10 for a quicker run)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../common.sh"
requireXmllint
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 2; }
runs=${RUNS:-3}
buildTargets tovelo-batch || exit 2
batch=$build/tools/tovelo-batch
records "records-${size}mb.xml" "$size"
flat=$out/records-${size}mb-flat.xml
[ -s "$flat" ] || tr -d '\t\r\n' <"$out/records-${size}mb.xml" >"$flat"

best() {  # best CMD...: best wall time in seconds of $runs runs
  local b=""
  for ((n = 0; n < runs; n++)); do
    local t0 t1 s
    t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N)
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    if [ -z "$b" ] || awk -v a="$s" -v b="$b" 'BEGIN { exit !(a < b) }'; then b=$s; fi
  done
  echo "$b"
}
peak() {  # peak CMD...: peak resident MiB
  local f; f=$(mktemp)
  /usr/bin/time -f %M -o "$f" "$@" >/dev/null 2>&1
  tail -n 1 "$f" | awk '{ printf "%.1f", $1 / 1024 }'; rm -f "$f"
}

printf '%-28s %7s | %8s %8s %6s | %9s %6s\n' document MiB indent format ratio "peak MiB" "/file"
for f in "$out/records-${size}mb.xml" "$flat"; do
  mib=$(awk -v s="$(stat -c %s "$f")" 'BEGIN { printf "%.1f", s / 1048576 }')
  t=$(best "$batch" indent -o "$out/indented.xml" "$f")
  x=$(best xmllint --huge --format --output "$out/formatted.xml" "$f")
  m=$(peak "$batch" indent -o "$out/indented.xml" "$f")
  printf '%-28s %7s | %8s %8s %6s | %9s %6s\n' "$(basename "$f")" "$mib" "$t" "$x" \
    "$(awk -v a="$t" -v b="$x" 'BEGIN { printf "%.2f", a / b }')" "$m" \
    "$(awk -v a="$m" -v b="$mib" 'BEGIN { printf "%.2f", a / b }')"
done
echo "(seconds, best of $runs; ratio = tovelo-batch indent / xmllint --format; /file = peak / size)"
"$batch" indent "$out/indented.xml" | cmp -s - "$out/indented.xml" && echo "indenting the result again: unchanged"
rm -f "$out/indented.xml" "$out/formatted.xml"
