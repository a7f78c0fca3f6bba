#!/bin/sh
# Runs tovelo-check from tools/ (so that testdata/ names are relative and the current directory
# is not the documents' folder) and compares its exit status, its whole standard output and
# the presence of an error on standard error with what is expected.
# verifie-sortie.sh OUTIL STATUT SORTIE_ATTENDUE MOTIF_ERREUR [ARGUMENTS...]
#   SORTIE_ATTENDUE: a file under testdata/attendu/, or "-" for an empty output
#   MOTIF_ERREUR: a text that standard error must contain, or "-" when it must stay empty
outil=$1 statut_attendu=$2 attendu=$3 motif=$4
shift 4
cd "$(dirname "$0")" || exit 99
sortie=$(mktemp) erreur=$(mktemp)
trap 'rm -f "$sortie" "$erreur"' EXIT

"$outil" "$@" >"$sortie" 2>"$erreur"
statut=$?
echat=0
if [ "$statut" != "$statut_attendu" ]; then
  echo "exit status $statut, expected $statut_attendu"; echat=1
fi
if [ "$attendu" = "-" ]; then
  if [ -s "$sortie" ]; then echo "unexpected output:"; cat "$sortie"; echat=1; fi
elif ! cmp -s "$sortie" "testdata/attendu/$attendu"; then
  echo "output differs from testdata/attendu/$attendu:"; diff "testdata/attendu/$attendu" "$sortie"; echat=1
fi
if [ "$motif" = "-" ]; then
  if [ -s "$erreur" ]; then echo "unexpected error output:"; cat "$erreur"; echat=1; fi
elif ! grep -qF -- "$motif" "$erreur"; then
  echo "error output lacks \"$motif\":"; cat "$erreur"; echat=1
fi
exit $echat
