#!/bin/sh
# Runs one case of this folder: copies the case's files into a fresh work folder, runs its
# command there with tovelo-batch and tovelo-check on PATH, and checks the exit status, the
# outputs and the files against what the case file expects. README.md gives the format.
# run-case.sh TOOLS_DIR CASE_DIR
tools=$1 case=$2
name=$(basename "$case")
work=$(mktemp -d "${TMPDIR:-/tmp}/regression-$name.XXXXXX") || exit 99
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work"' EXIT
cp -R "$case/." "$work/" || exit 99
rm -f "$work/case"
PATH=$tools:$PATH
export PATH LC_ALL=C.UTF-8

fail=0
problem() { echo "$name: $*"; fail=1; }

# Keys: one "key: value" a line; a value may repeat its key.
values() { sed -n "s/^$1: \{0,1\}//p" "$case/case"; }

if [ -n "$TOVELO_SANITIZED" ] && [ "$(values sanitizer)" = skip ]; then
  echo "$name: skipped in the sanitizer build"; exit 77
fi
cd "$work" || exit 99
setup=$(values setup)
if [ -n "$setup" ] && ! sh -c "$setup" >"$work/.setup.log" 2>&1; then
  echo "$name: the setup failed:"; cat "$work/.setup.log"; exit 1
fi
run=$(values run)
[ -n "$run" ] || { echo "$name: the case has no run: line"; exit 1; }
limit=$(values timeout); limit=${limit:-30}

out=$(mktemp) err=$(mktemp)
trap 'chmod -R u+rwx "$work" 2>/dev/null; rm -rf "$work" "$out" "$err"' EXIT
timeout -k 5 "$limit" sh -c "$run" >"$out" 2>"$err"
status=$?
if [ "$status" = 124 ] || [ "$status" = 137 ]; then
  problem "still running after $limit s"
fi

expected=$(values status); expected=${expected:-0}
[ "$status" = "$expected" ] || problem "exit status $status, expected $expected"

# stdout: / stderr: FILE of the case (exact bytes) or "empty"; -has: / -lacks: a text.
check_stream() { # key captured-file
  want=$(values "$1")
  if [ "$want" = empty ]; then
    [ -s "$2" ] && { problem "$1 should be empty, it holds:"; head -c 2000 "$2"; echo; }
  elif [ -n "$want" ] && ! cmp -s "$case/$want" "$2"; then
    problem "$1 differs from $want:"; diff "$case/$want" "$2" | head -40
  fi
  values "$1-has" | while IFS= read -r text; do
    grep -qF -- "$text" "$2" || { echo "$name: $1 lacks \"$text\":"; head -c 2000 "$2"; echo; exit 1; }
  done || fail=1
  values "$1-lacks" | while IFS= read -r text; do
    grep -qF -- "$text" "$2" && { echo "$name: $1 holds \"$text\":"; head -c 2000 "$2"; echo; exit 1; }
    true
  done || fail=1
}
check_stream stdout "$out"
check_stream stderr "$err"

# same: NAME — the file is as the case holds it (a document that must stay intact).
# file: NAME EXPECTED — the file of the work folder equals EXPECTED of the case.
# absent: NAME — no such file was made.
values same | while IFS= read -r f; do
  cmp -s "$case/$f" "$work/$f" || { echo "$name: $f changed"; exit 1; }
done || fail=1
values file | while read -r f want; do
  cmp -s "$case/$want" "$work/$f" || { echo "$name: $f differs from $want"; exit 1; }
done || fail=1
values absent | while IFS= read -r f; do
  [ -e "$work/$f" ] && { echo "$name: $f should not exist"; exit 1; }
  true
done || fail=1
exit $fail
