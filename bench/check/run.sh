#!/usr/bin/env bash
# Times tovelo-check against xmllint on the same documents, in one run, best of $ESSAIS runs
# (5 unless set), and prints the ratios (machines are noisy; only ratios within one run mean
# something), and the peak memory of tovelo-check beside the file's size.
# The figures' document is the 50 MB document of records of ../shared/bench/gen-records.py with
# its internal DTD; gendoc adds shapes of its own (one record a line, deep nesting, long lines,
# lines of 100,000 tags, a large DTD).
# xmllint runs with --huge, without which it stops at nesting level 256 of deep.xml.
# Usage: bench/check/run.sh [--quick]   (--quick leaves out the 50 and 100 MB documents)
set -uo pipefail

racine=$(cd "$(dirname "$0")/../.." && pwd)
build=$racine/build-bench
sortie=$racine/bench/out
generateur=${GEN_RECORDS:-$racine/../shared/bench/gen-records.py}

essais=${ESSAIS:-5}
tailles=(1 10 50 100)
if [ "${1:-}" = "--quick" ]; then tailles=(1 10); fi

command -v xmllint >/dev/null || { echo "xmllint is missing (Debian package libxml2-utils)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package time)" >&2; exit 2; }
[ -f "$generateur" ] || { echo "gen-records.py not found" >&2; exit 2; }
cmake -S "$racine" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 2
cmake --build "$build" --target tovelo-check gendoc >/dev/null || exit 2
check=$build/tools/tovelo-check
gendoc=$build/bench/check/gendoc
mkdir -p "$sortie"

# Documents are generated once; a newer generator makes them again.
genere() {  # genere FILE NAME
  if [ ! -s "$sortie/$1" ] || [ "$gendoc" -nt "$sortie/$1" ]; then
    "$gendoc" "$sortie" "$2" || exit 2
  fi
}
figures() {  # figures MB
  local f=$sortie/figures-${1}mb.xml
  if [ ! -s "$f" ] || [ "$generateur" -nt "$f" ]; then python3 "$generateur" "$1" "$f" --dtd || exit 2; fi
}
for t in "${tailles[@]}"; do figures "$t"; genere "fiches-${t}mb.xml" "fiches-$t"; done
genere records-10mb.xml records-10
genere deep.xml deep
genere unclosed.xml unclosed
genere longlines.xml longlines
genere manytags.xml manytags
genere dtd.xml dtd
printf '<r/>\r\n' >"$sortie/tiny.xml"

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
# pic CMD...: peak resident memory in MiB (getrusage, through /usr/bin/time).
pic() {
  local f
  f=$(mktemp)
  /usr/bin/time -f %M -o "$f" "$@" >/dev/null 2>&1
  tail -n 1 "$f" | awk '{ printf "%.1f", $1 / 1024 }'
  rm -f "$f"
}

base=$(pic "$check" "$sortie/tiny.xml")
declare -A resultat
printf '%-20s %7s | %8s %8s %5s | %8s %8s %5s | %8s %8s\n' document MB check xmllint ratio valid xml-val ratio "+MiB chk" "+MiB val"
printf '%s\n' "------------------------------------------------------------------------------------------------------"
documents=()
for t in "${tailles[@]}"; do documents+=("figures-${t}mb.xml" "fiches-${t}mb.xml"); done
documents+=(records-10mb.xml deep.xml unclosed.xml longlines.xml manytags.xml dtd.xml)
for doc in "${documents[@]}"; do
  f=$sortie/$doc
  mo=$(awk -v s="$(stat -c %s "$f")" 'BEGIN { printf "%.1f", s / 1048576 }')
  meilleur "$check" "$f"; c=$temps; crc=$rc
  meilleur xmllint --huge --noout "$f"; x=$temps; xrc=$rc
  meilleur "$check" --valid "$f"; v=$temps; vrc=$rc
  meilleur xmllint --huge --valid --noout "$f"; xv=$temps; xvrc=$rc
  mc=$(awk -v p="$(pic "$check" "$f")" -v b="$base" 'BEGIN { printf "%.1f", p - b }')
  mv=$(awk -v p="$(pic "$check" --valid "$f")" -v b="$base" 'BEGIN { printf "%.1f", p - b }')
  resultat[$doc.check]=$c
  resultat[$doc.valid]=$v
  resultat[$doc.ratio]=$(ratio "$c" "$x")
  resultat[$doc.vratio]=$(ratio "$v" "$xv")
  resultat[$doc.mo]=$mo
  resultat[$doc.mc]=$mc
  resultat[$doc.mv]=$mv
  printf '%-20s %7s | %6s/%-1s %6s/%-1s %5s | %6s/%-1s %6s/%-1s %5s | %8s %8s\n' "$doc" "$mo" \
    "$c" "$crc" "$x" "$xrc" "${resultat[$doc.ratio]}" "$v" "$vrc" "$xv" "$xvrc" "${resultat[$doc.vratio]}" "$mc" "$mv"
done
echo "(MB in MiB; seconds, best of $essais / exit status; ratio = tovelo-check time / xmllint time;"
echo " +MiB = peak resident memory of tovelo-check above its $base MiB on a one-line file)"
echo "tovelo-check: $("$check" "$sortie/figures-1mb.xml" "$sortie/fiches-1mb.xml" "$sortie/manytags.xml" | tr '\n' ' ')"

echo
echo "Targets:"
if [ -n "${resultat[figures-50mb.xml.ratio]:-}" ]; then
  d=figures-50mb.xml
  echo "  check, 50 MB of records, <= 0.1 x xmllint --noout:         ${resultat[$d.ratio]}"
  echo "  valid, 50 MB of records, <= 0.1 x xmllint --valid --noout:  ${resultat[$d.vratio]}"
  echo "  memory added, <= the file's ${resultat[$d.mo]} MiB: check ${resultat[$d.mc]}, valid ${resultat[$d.mv]}"
  echo "  one record a line, 50 MB: $("$check" "$sortie/fiches-50mb.xml")"
  echo "  100 MB / 50 MB time (<= 2): check $(ratio "${resultat[figures-100mb.xml.check]}" "${resultat[$d.check]}")," \
       "valid $(ratio "${resultat[figures-100mb.xml.valid]}" "${resultat[$d.valid]}")"
else
  echo "  (run without --quick for the 50 and 100 MB figures)"
  echo "  10 MB / 1 MB time: check $(ratio "${resultat[figures-10mb.xml.check]}" "${resultat[figures-1mb.xml.check]}")"
fi
echo "  dtd.xml (1,000 element declarations), valid vs xmllint --valid: ${resultat[dtd.xml.vratio]}"
