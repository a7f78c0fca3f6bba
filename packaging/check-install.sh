#!/bin/sh
# Installs a build into a temporary prefix and checks what lands there: exactly the files of the
# list, a desktop entry that validates, manual pages that man reads without a warning, and
# programs that start from where they were put.
# Usage: check-install.sh BUILD_DIR FILE_LIST
set -eu
build=$1
list=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
fail=0

cmake --install "$build" --prefix "$prefix" >/dev/null
(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) >"$work/installed"
LC_ALL=C sort "$list" >"$work/expected"
if ! diff -u "$work/expected" "$work/installed"; then
  echo "les fichiers installés ne sont pas ceux de la liste (- attendus, + installés)" >&2
  fail=1
fi

if ! command -v desktop-file-validate >/dev/null; then
  echo "desktop-file-validate manque (paquet desktop-file-utils)" >&2
  fail=1
elif ! out=$(desktop-file-validate "$prefix/share/applications/tovelo.desktop" 2>&1) ||
     [ -n "$out" ]; then
  echo "$out" >&2
  fail=1
fi

for page in "$prefix"/share/man/fr/man1/*.1 "$prefix"/share/man/man1/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
             man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) || true
  if [ -n "$warnings" ]; then
    echo "$page : $warnings" >&2
    fail=1
  fi
done

# Every command that tovelo-batch lists has its entry in the manual page.
for command in $("$prefix/bin/tovelo-batch" --help | sed -n 's/^  \([a-z][a-z0-9-]*\)\( .*\)\{0,1\}$/\1/p'); do
  if ! grep -Eq "^\.BR? $command( |$)" "$prefix/share/man/man1/tovelo-batch.1"; then
    echo "la commande « $command » de tovelo-batch manque dans packaging/man/tovelo-batch.1" >&2
    fail=1
  fi
done

version=$(QT_QPA_PLATFORM=offscreen "$prefix/bin/tovelo" --version)
[ "$version" = "Tovelo version 2.0" ] || { echo "tovelo --version : « $version »" >&2; fail=1; }
"$prefix/bin/tovelo-check" --help | grep -q "^Usage : tovelo-check" || fail=1
"$prefix/bin/tovelo-batch" --help | grep -q "^Usage : tovelo-batch" || fail=1
exit $fail
