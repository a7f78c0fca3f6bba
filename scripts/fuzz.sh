#!/usr/bin/env bash
# Builds the fuzz configuration (clang, libFuzzer, ASan, UBSan) and runs each target for a
# bounded time from a copy of its committed seed corpus. Any crash, leak or input slower than
# a second fails the run; the offending inputs are kept and their paths printed.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -uo pipefail

secondes=${1:-60}
if ! [[ "$secondes" =~ ^[0-9]+$ ]] || [ "$secondes" -lt 1 ]; then
  echo "usage: $0 [seconds per target]" >&2
  exit 2
fi

racine=$(cd "$(dirname "$0")/.." && pwd)
build=$racine/fuzz-build
cibles=(fuzz_valid fuzz_dtd fuzz_differentiel fuzz_store fuzz_ftpreply fuzz_colour fuzz_encoding)

cmake -S "$racine" -B "$build" -G Ninja -DTOVELO_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 2
cmake --build "$build" --target "${cibles[@]}" || exit 2

travail=$(mktemp -d "${TMPDIR:-/tmp}/tovelo-fuzz.XXXXXX")
echec=0
for cible in "${cibles[@]}"; do
  corpus=$travail/corpus/$cible
  mkdir -p "$corpus" "$travail/artefacts"
  # A copy: new inputs found by this run never land in the committed corpus.
  cp "$racine/fuzz/corpus/$cible/"* "$corpus/"
  # The reference that fuzz_differentiel compares with is quadratic: it looks at small inputs only.
  longueur=65536
  if [ "$cible" = fuzz_differentiel ]; then longueur=1500; fi
  # fuzz_store's bytes are edit operations, checked against a string after each one; the tag
  # dictionary means nothing to it.
  dictionary=(-dict="$racine/fuzz/xml.dict")
  if [ "$cible" = fuzz_store ]; then longueur=1024; dictionary=(); fi
  # Reply lines: what matters is lines cut anywhere and overlong, not the tag syntax.
  if [ "$cible" = fuzz_ftpreply ]; then longueur=16384; dictionary=(); fi
  # Encodings: byte shapes matter more than tags; the generic converters read the whole input.
  if [ "$cible" = fuzz_encoding ]; then longueur=4096; fi
  echo "== $cible: $secondes s"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$racine/fuzz/lsan.supp:print_suppressions=0 \
    "$build/fuzz/$cible" "$corpus" \
      "${dictionary[@]}" -max_len="$longueur" -timeout=1 -rss_limit_mb=2048 \
      -detect_leaks=1 -max_total_time="$secondes" -print_final_stats=1 \
      -artifact_prefix="$travail/artefacts/$cible-" 2>"$travail/$cible.log"
  statut=$?
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$travail/$cible.log" || true
  if [ $statut -ne 0 ]; then
    echo "$cible FAILED (status $statut); log: $travail/$cible.log"
    grep -E 'ERROR|SUMMARY|Test unit written' "$travail/$cible.log" | head -20
    echec=1
  else
    echo "$cible: no crash, leak or timeout"
  fi
done

if [ $echec -eq 0 ]; then
  rm -rf "$travail"
else
  echo "inputs kept in $travail/artefacts"
fi
exit $echec
