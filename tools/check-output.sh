#!/bin/sh
# Runs a command-line tool from tools/ (so that testdata/ names are relative and the current
# directory is not the documents' folder) and compares its exit status, its whole standard
# output and the presence of an error on standard error with what is expected.
# check-output.sh TOOL STATUS EXPECTED_OUTPUT ERROR_TEXT [ARGUMENTS...]
#   EXPECTED_OUTPUT: a file under testdata/attendu/, or "-" for an empty output
#   ERROR_TEXT: a text that standard error must contain, or "-" when it must stay empty
tool=$1 expected_status=$2 expected=$3 error_text=$4
shift 4
cd "$(dirname "$0")" || exit 99
output=$(mktemp) errors=$(mktemp)
trap 'rm -f "$output" "$errors"' EXIT

"$tool" "$@" >"$output" 2>"$errors"
status=$?
failed=0
if [ "$status" != "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"; failed=1
fi
if [ "$expected" = "-" ]; then
  if [ -s "$output" ]; then echo "unexpected output:"; cat "$output"; failed=1; fi
elif ! cmp -s "$output" "testdata/attendu/$expected"; then
  echo "output differs from testdata/attendu/$expected:"; diff "testdata/attendu/$expected" "$output"; failed=1
fi
if [ "$error_text" = "-" ]; then
  if [ -s "$errors" ]; then echo "unexpected error output:"; cat "$errors"; failed=1; fi
elif ! grep -qF -- "$error_text" "$errors"; then
  echo "error output lacks \"$error_text\":"; cat "$errors"; failed=1
fi
exit $failed
