#!/usr/bin/env bash
# Times tovelo-check against xmllint on the same generated documents, in one run, best of
# $ESSAIS runs (5 unless set), and prints the ratios (machines are noisy; only ratios within one
# run mean something).
# xmllint runs with --huge, without which it stops at nesting level 256 of deep.xml.
# Usage: bench/check/run.sh [--quick]   (--quick leaves out the 50 and 100 MB documents)
set -uo pipefail

racine=$(cd "$(dirname "$0")/../.." && pwd)
build=$racine/build-bench
sortie=$racine/bench/out

essais=${ESSAIS:-5}
tailles=(1 10 50 100)
if [ "${1:-}" = "--quick" ]; then tailles=(1 10); fi

command -v xmllint >/dev/null || { echo "xmllint is missing (Debian package libxml2-utils)" >&2; exit 2; }
cmake -S "$racine" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
cmake --build "$build" --target tovelo-check gendoc >/dev/null || exit 2
check=$build/tools/tovelo-check
gendoc=$build/bench/check/gendoc

# Documents are generated once; a newer generator makes them again.
genere() {  # genere FILE NAME
  if [ ! -s "$sortie/$1" ] || [ "$gendoc" -nt "$sortie/$1" ]; then
    "$gendoc" "$sortie" "$2" || exit 2
  fi
}
for t in "${tailles[@]}"; do genere "records-${t}mb.xml" "records-$t"; genere "fiches-${t}mb.xml" "fiches-$t"; done
genere deep.xml deep
genere manytags.xml manytags
genere unclosed.xml unclosed
genere longlines.xml longlines
genere dtd.xml dtd

# meilleur CMD...: best wall time of $essais runs in $temps (seconds), exit status in $rc.
meilleur() {
  temps=""
  for ((n = 0; n < essais; n++)); do
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    rc=$?
    t1=$(date +%s%N)
    local s
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", (b - a) / 1e9 }')
    if [ -z "$temps" ] || awk -v a="$s" -v b="$temps" 'BEGIN { exit !(a < b) }'; then temps=$s; fi
  done
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

declare -A resultat
printf '%-20s %8s | %10s %10s %6s | %10s %10s %6s\n' document MB check xmllint ratio valid xml-valid ratio
printf '%s\n' "-------------------------------------------------------------------------------------------"
documents=()
for t in "${tailles[@]}"; do documents+=("records-${t}mb.xml" "fiches-${t}mb.xml"); done
documents+=(deep.xml unclosed.xml longlines.xml manytags.xml dtd.xml)
for doc in "${documents[@]}"; do
  f=$sortie/$doc
  mo=$(awk -v s="$(stat -c %s "$f")" 'BEGIN { printf "%.1f", s / 1e6 }')
  meilleur "$check" "$f"; c=$temps; crc=$rc
  meilleur xmllint --huge --noout "$f"; x=$temps; xrc=$rc
  meilleur "$check" --valid "$f"; v=$temps; vrc=$rc
  meilleur xmllint --huge --valid --noout "$f"; xv=$temps; xvrc=$rc
  resultat[$doc.check]=$c
  resultat[$doc.valid]=$v
  resultat[$doc.ratio]=$(ratio "$c" "$x")
  resultat[$doc.vratio]=$(ratio "$v" "$xv")
  printf '%-20s %8s | %7s/%-2s %7s/%-2s %6s | %7s/%-2s %7s/%-2s %6s\n' "$doc" "$mo" \
    "$c" "$crc" "$x" "$xrc" "${resultat[$doc.ratio]}" "$v" "$vrc" "$xv" "$xvrc" "${resultat[$doc.vratio]}"
done
echo "(seconds, best of $essais / exit status; ratio = tovelo-check time / xmllint time)"
echo "tovelo-check: $("$check" "$sortie/records-1mb.xml" "$sortie/fiches-1mb.xml" "$sortie/manytags.xml")"

echo
echo "Targets:"
if [ -n "${resultat[records-50mb.xml.ratio]:-}" ]; then
  echo "  check, 50 MB records, <= 0.5 x xmllint --noout: ${resultat[records-50mb.xml.ratio]}"
  echo "  valid, 50 MB records, <= 1 x xmllint --valid:   ${resultat[records-50mb.xml.vratio]}"
  echo "  100 MB / 50 MB time (<= 2): check $(ratio "${resultat[records-100mb.xml.check]}" "${resultat[records-50mb.xml.check]}")," \
       "valid $(ratio "${resultat[records-100mb.xml.valid]}" "${resultat[records-50mb.xml.valid]}")"
else
  echo "  (run without --quick for the 50 and 100 MB figures)"
  echo "  10 MB / 1 MB time: check $(ratio "${resultat[records-10mb.xml.check]}" "${resultat[records-1mb.xml.check]}")"
fi
echo "  dtd.xml (1,000 element declarations), valid vs xmllint --valid: ${resultat[dtd.xml.vratio]}"
