#!/usr/bin/env bash
# Builds the Debian package from a build folder (build/ by default) and checks it without
# installing it: the files it holds are those of packaging/files.txt under /usr, and it depends
# on Debian's Qt packages.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$build/paquet
rm -rf "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >/dev/null
deb=$(ls "$out"/tovelo_*.deb)
echo "paquet : $deb"

dpkg-deb -c "$deb" >"$out/contenu"
grep -v '^d' "$out/contenu" | awk '{print $NF}' | sed 's|^\./usr/||' | LC_ALL=C sort >"$out/fichiers"
LC_ALL=C sort packaging/files.txt >"$out/attendus"
if ! diff -u "$out/attendus" "$out/fichiers"; then
  echo "le paquet ne contient pas les fichiers de packaging/files.txt (- attendus, + dans le paquet)" >&2
  exit 1
fi

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6printsupport6 \
         qt6-qpa-plugins qt6-translations-l10n; do
  if ! grep -Eq "(^|, )$p( |,|$)" <<<"$depends"; then
    echo "le paquet ne dépend pas de $p : $depends" >&2
    exit 1
  fi
done
echo "paquet vérifié : $(wc -l <"$out/fichiers") fichiers ; dépendances : $depends"
