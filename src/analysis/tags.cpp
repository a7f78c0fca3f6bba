#include "tags.h"

#include "Balayage.h"
#include "Cp1252.h"

namespace analyse {

bool EtatCommentaire::ignore(QStringView ligne, qsizetype p) {
  if (p + 3 <= ligne.size() && ligne[p] == u'-' && ligne[p + 1] == u'-' && ligne[p + 2] == u'>')
    actif = false;
  if (detail::debutCommentaire(ligne, p)) actif = true;
  return actif;
}

QStringView fenetreBalise(QStringView ligne, qsizetype p) {
  if (p < 0 || p >= ligne.size()) return {};
  return ligne.mid(p, kFenetreBalise);
}

QString NomBalise(QStringView w) {
  if (w.size() >= 2 && (w[1] == u'/' || w[1] == u'?' || w[1] == u'!')) return {};
  if (w.contains(u"/>")) return {};
  qsizetype k = -1;
  for (qsizetype i = 0; i < w.size(); ++i) {
    if (w[i] == u' ' || w[i] == u'>') {
      k = i;
      break;
    }
  }
  if (k < 0) return w.toString();
  if (k > 0 && w[k - 1] == u'/') return {};
  QString r = w.left(k).toString();
  r += u'>';
  return r;
}

QString cleFinBalise(QStringView fenetre) {
  if (fenetre.size() < 2) return NomBalise(fenetre);
  QString w;
  w.reserve(fenetre.size() - 1);
  w += fenetre[0];
  w += fenetre.mid(2);
  return NomBalise(w);
}

QString ValeurGuillemets(QStringView texte) {
  const auto guillemet = [](QChar c) { return c == u'"' || c == u'\''; };
  qsizetype q = 0;
  while (q < texte.size() && !guillemet(texte[q])) ++q;
  // Without any quote the text comes back whole; once cut, no quote of either kind remains, so
  // turning apostrophes into double quotes never shows in the result.
  if (q >= texte.size()) return texte.toString();
  QStringView reste = texte.mid(q + 1, 1024);
  for (qsizetype i = 0; i < reste.size(); ++i)
    if (guillemet(reste[i])) return reste.left(i).toString();
  return reste.toString();
}

int ControleAttributs(QStringView texte) {
  detail::Curseurs c(texte.left(1024));
  return detail::controleAttributs(c, 0);
}

bool memeCleSansCasse(QStringView a, QStringView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && detail::plie(a[i].unicode()) != detail::plie(b[i].unicode())) return false;
  return true;
}

}  // namespace analyse
