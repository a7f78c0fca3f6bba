#include "Reference.h"

#include "Cp1252.h"

namespace reference {
namespace {

constexpr qsizetype kTout = 1 << 30;  // "the rest of the text" as a copy length

// The character at 1-based position i; past either end, NUL, as a terminated string reads.
QChar at(const QString& s, qsizetype i) {
  return (i >= 1 && i <= s.size()) ? s[i - 1] : QChar(u'\0');
}

QString apostrophesEnGuillemets(QString s) {
  s.replace(u'\'', u'"');
  return s;
}

// Every text begins with the empty name (the key "<>" of "< x>" has one); "occurs", by contrast,
// is Pos and never holds for an empty text.
bool commencePar(const QString& r, const QString& n) { return Copy(r, 1, n.size()) == n; }

qsizetype indexSansCasse(const QStringList& liste, const QString& cle) {
  for (qsizetype i = 0; i < liste.size(); ++i)
    if (memeCle(liste[i], cle)) return i;
  return -1;
}

}  // namespace

qsizetype Pos(const QString& sous, const QString& s) {
  if (sous.isEmpty()) return 0;
  return s.indexOf(sous) + 1;
}

QString Copy(const QString& s, qsizetype index, qsizetype compte) {
  if (index < 1) index = 1;
  if (compte <= 0 || index > s.size()) return {};
  return s.mid(index - 1, compte);
}

bool commentaire(bool& actif, const QString& ligne, qsizetype p) {
  if (Copy(ligne, p, 3) == u"-->" || Copy(ligne, p, 3) == u"]]>") actif = false;
  if (Copy(ligne, p, 4) == u"<!--" || Copy(ligne, p, 9) == u"<![CDATA[") actif = true;
  return actif;
}

bool memeCle(const QString& a, const QString& b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i)
    if (cp1252::upper(a[i]) != cp1252::upper(b[i])) return false;
  return true;
}

QString texteBalise(const QString& s, qsizetype p, bool* ferme) {
  const auto finDeNom = [](QChar c) {
    return c == u' ' || c == u'>' || c == u'<' || c == u'\t' || c == u'\r' || c == u'\n';
  };
  if (ferme) *ferme = false;
  qsizetype i = p + 1;
  if (at(s, i) == u'/') ++i;
  while (i <= s.size() && !finDeNom(at(s, i))) ++i;
  QChar guillemet;
  for (; i <= s.size(); ++i) {
    const QChar c = at(s, i);
    if (c == u'<') break;
    if (!guillemet.isNull()) {
      if (c == guillemet) guillemet = QChar();
    } else if (c == u'>') {
      if (ferme) *ferme = true;
      return Copy(s, p, i - p + 1);
    } else if (c == u'"' || c == u'\'') {
      guillemet = c;
    }
  }
  return Copy(s, p, i - p);
}

QString texteBalise(const QStringList& lignes, qsizetype i, qsizetype p, bool* ferme) {
  QString s = Copy(lignes[i], p, kTout);
  for (qsizetype j = i + 1;; ++j) {
    bool f = false;
    const QString g = texteBalise(s, 1, &f);
    // Its own ">", a "<" that stops it, or the last line.
    if (f || g.size() < s.size() || j >= lignes.size()) {
      if (ferme) *ferme = f;
      return g;
    }
    s += QStringLiteral("\r\n") + lignes[j];
  }
}

namespace {

// The key of the tag that begins texte, whose name begins at 1-based debutNom.
QString cleDe(const QString& texte, qsizetype debutNom) {
  bool ferme = false;
  const QString g = texteBalise(texte, 1, &ferme);
  if (ferme && g.size() - 1 >= debutNom && at(g, g.size() - 1) == u'/') return {};  // empty element
  qsizetype fin = debutNom;
  while (fin <= g.size() && !QStringLiteral(" ><\t\r\n").contains(at(g, fin))) ++fin;
  const QString nom = Copy(g, debutNom, fin - debutNom);
  if (nom.endsWith(u'/')) return {};
  return u'<' + nom + u'>';
}

}  // namespace

QString NomBalise(const QString& texte) {
  const QChar second = at(texte, 2);
  if (second == u'/' || second == u'?' || second == u'!') return {};
  return cleDe(texte, 2);
}

QString cleFin(const QString& texte) {
  if (at(texte, 2) != u'/') return {};
  const QChar troisieme = at(texte, 3);
  if (troisieme == u'/' || troisieme == u'?' || troisieme == u'!') return {};
  return cleDe(texte, 3);
}

bool estReference(const QString& ligne, qsizetype p) {
  const auto lettre = [](QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' || c.unicode() >= 0x80;
  };
  const auto chiffre = [](QChar c) { return c >= u'0' && c <= u'9'; };
  const auto hexa = [&](QChar c) { return chiffre(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); };
  qsizetype i = p + 1;
  if (at(ligne, i) == u'#') {
    ++i;
    const bool x = at(ligne, i) == u'x';
    if (x) ++i;
    const qsizetype debut = i;
    while (i <= ligne.size() && (x ? hexa(at(ligne, i)) : chiffre(at(ligne, i)))) ++i;
    return i > debut && at(ligne, i) == u';';
  }
  if (!lettre(at(ligne, i))) return false;
  ++i;
  while (i <= ligne.size() && (lettre(at(ligne, i)) || chiffre(at(ligne, i)) || at(ligne, i) == u'.' || at(ligne, i) == u'-'))
    ++i;
  return at(ligne, i) == u';';
}

QString ValeurGuillemets(const QString& texte) {
  QString s = apostrophesEnGuillemets(texte);
  const qsizetype q = Pos(QStringLiteral("\""), s);
  if (q > 0) {
    s = Copy(s, q + 1, 1024);
    const qsizetype q2 = Pos(QStringLiteral("\""), s);
    if (q2 > 0) s = Copy(s, 1, q2 - 1);
  }
  return s;
}

int ControleAttributs(const QString& texte) {
  QString s = texteBalise(texte, 1);
  for (;;) {
    const qsizetype egal = Pos(QStringLiteral("="), s);
    if (egal == 0) return 0;
    s = Copy(s, egal + 1, kTout);
    qsizetype debut = 1;
    while (debut <= s.size() && at(s, debut).unicode() <= 32) ++debut;
    s = Copy(s, debut, kTout);
    const QChar guillemet = at(s, 1);
    if (guillemet != u'"' && guillemet != u'\'') return 4;
    s = Copy(s, 2, kTout);
    const qsizetype fin = Pos(QString(guillemet), s);
    if (fin == 0) return 4;
    s = Copy(s, fin + 1, kTout);  // the whole value skipped
  }
}

bool Chevauche(const QStringList& lignes, const QString& cle, int ligne, qsizetype position) {
  // Entries opened before the tag on its line are outer ones: they never make the answer true,
  // and the scan may stop while they are still in the list. An end tag closes the newest equal
  // entry, so an element nested in one of its own name closes before it.
  struct Entree {
    QString cle;
    bool exterieure;
  };
  QList<Entree> liste;
  const auto indexDe = [&liste](const QString& k) -> qsizetype {
    for (qsizetype i = liste.size() - 1; i >= 0; --i)
      if (memeCle(liste[i].cle, k)) return i;
    return -1;
  };
  const auto interieure = [&liste] {
    for (const Entree& e : liste)
      if (!e.exterieure) return true;
    return false;
  };
  bool actif = false;
  bool reponse = false;
  for (qsizetype i = qMax(0, ligne); i < lignes.size(); ++i) {
    const QString& l = lignes[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentaire(actif, l, p)) continue;
      if (at(l, p) != u'<') continue;
      const bool avant = i == ligne && p - 1 < position;
      const QString w = texteBalise(lignes, i, p);
      if (at(w, 2) == u'/') {
        const QString k = cleFin(w);
        if (k.isEmpty()) continue;
        const qsizetype idx = indexDe(k);
        if (idx < 0) {
          if (avant) continue;  // before the tag an unmatched end tag is passed over
          reponse = true;
          break;  // the rest of this line is not looked at
        }
        liste.removeAt(idx);
        if (!avant && k == cle && !interieure()) return reponse;
      } else {
        const QString k = NomBalise(w);
        if (!k.isEmpty()) liste.append({k, avant});
      }
    }
  }
  return reponse || interieure();
}

Resultat Valid(const QStringList& lignes) {
  Resultat r;

  const QString texte = lignes.join(QStringLiteral("\r\n"));
  const qsizetype xml = Pos(QStringLiteral("<?xml"), texte);
  if (xml > 0) {
    const QString decl = Copy(texte, xml, 1024);
    const qsizetype sa = Pos(QStringLiteral("standalone="), decl);
    if (sa > 0) {
      const QString valeur = ValeurGuillemets(Copy(decl, sa, 1024));
      if (Pos(valeur, QStringLiteral("yes no")) == 0) {
        r.code = 6;
        return r;
      }
    }
  }

  QStringList ouverts;
  QString racine;
  QString nonOuverte;
  bool actif = false;
  for (qsizetype i = 0; i < lignes.size(); ++i) {
    const QString& l = lignes[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentaire(actif, l, p)) continue;
      if (at(l, p) != u'<') continue;
      const QString w = texteBalise(lignes, i, p);
      if (at(w, 2) == u'/') {
        const QString k = cleFin(w);
        if (k.isEmpty()) continue;
        const qsizetype idx = indexSansCasse(ouverts, k);
        if (idx < 0)
          nonOuverte = k;
        else
          ouverts.removeAt(idx);
      } else {
        const QString k = NomBalise(w);
        if (k.isEmpty()) {
          // An empty element: its attributes are checked under its name.
          bool ferme = false;
          const QString g = texteBalise(lignes, i, p, &ferme);
          if (!ferme || !g.endsWith(QStringLiteral("/>"))) continue;
          const QString nom = NomBalise(Copy(g, 1, g.size() - 2) + u'>');
          if (!nom.isEmpty() && ControleAttributs(g) == 4) {
            r.code = 4;
            r.texte = nom;
            return r;
          }
          continue;
        }
        if (!racine.isEmpty() && racine == k) {
          r.code = 3;
          r.texte = racine;
          return r;
        }
        if (racine.isEmpty()) racine = k;
        ouverts.append(k);
        if (ControleAttributs(w) == 4) {
          r.code = 4;
          r.texte = k;
          return r;
        }
      }
    }
  }
  if (!ouverts.isEmpty()) {
    r.code = 1;
    r.texte = ouverts.first();
  }
  if (!nonOuverte.isEmpty()) {
    r.code = 2;
    r.texte = nonOuverte;
  }
  if (r.code != 0) return r;

  // The overlap pass inherits the comment state where the open/close pass left it.
  for (qsizetype i = 0; i < lignes.size(); ++i) {
    const QString& l = lignes[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentaire(actif, l, p)) continue;
      if (at(l, p) != u'<') continue;
      const QString w = texteBalise(lignes, i, p);
      if (at(w, 2) == u'/') continue;
      const QString k = NomBalise(w);
      if (!k.isEmpty() && Chevauche(lignes, k, int(i), p - 1)) {
        r.code = 7;
        r.texte = k;
        return r;
      }
    }
  }

  actif = false;
  for (const QString& l : lignes) {
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentaire(actif, l, p)) continue;
      if (at(l, p) != u'&' || estReference(l, p)) continue;
      r.code = 5;
      r.texte = Copy(l, p, 10);
      return r;
    }
  }
  return r;
}

QString texteDeclarations(const QStringList& lignes, const Chargeur& charge, QStringList* externe) {
  const QString t = lignes.join(QStringLiteral("\r\n"));
  QString d;
  QString x;

  const qsizetype doctype = Pos(QStringLiteral("<!DOCTYPE"), t);
  if (doctype > 0) d = Copy(t, doctype, 4096);

  const qsizetype system = Pos(QStringLiteral("SYSTEM"), d);
  if (system > 0) {
    d = Copy(d, system, 256);
    const QString f = ValeurGuillemets(d);
    QStringList fichier;
    if (!f.isEmpty() && charge && charge(f, fichier)) {
      if (externe) *externe = fichier;
      x = fichier.join(QString());
      const qsizetype ignore = Pos(QStringLiteral("<![IGNORE"), x);
      if (ignore > 0) {
        // d is taken over here: the internal subset test below then reads this prefix.
        d = Copy(x, 1, ignore - 1);
        x = Copy(x, ignore, kTout);
        const qsizetype fin = Pos(QStringLiteral("]]>"), x);
        if (fin > 0) x = d + Copy(x, fin + 3, kTout);
      }
    }
  }

  const qsizetype sousEnsemble = Pos(QStringLiteral("]>"), d);
  if (sousEnsemble > 0) x += Copy(d, 1, sousEnsemble + 1);
  return x;
}

QStringList LitDtd(const QStringList& lignes, const Chargeur& charge) {
  QStringList liste;
  const QString x = texteDeclarations(lignes, charge, &liste);
  // Each window is taken out of the whole text X, from the tenth character of the declaration
  // just found: taken out of the previous window instead, the windows would only shrink and every
  // declaration more than 4096 characters after the first one of its kind would be lost.
  for (const QString& mot : {QStringLiteral("<!ELEMENT"), QStringLiteral("<!ATTLIST")}) {
    QString y = x;
    qsizetype debut = 1;  // where y begins in x
    for (qsizetype q = Pos(mot, y); q > 0; q = Pos(mot, y)) {
      const qsizetype declaration = debut + q - 1;
      y = Copy(x, declaration, 4096);
      const qsizetype chevron = Pos(QStringLiteral(">"), y);
      liste.append(chevron > 0 ? Copy(y, 1, chevron) : QString());
      debut = declaration + 9;
      y = Copy(x, debut, 4096);
    }
  }
  return liste;
}

Resultat Validdtd(const QStringList& lignes, const Chargeur& charge) {
  Resultat r;
  const QStringList liste = LitDtd(lignes, charge);
  if (liste.isEmpty()) return r;

  bool actif = false;
  for (qsizetype i = 0; i < lignes.size(); ++i) {
    const QString& l = lignes[i];
    for (qsizetype p = 1; p <= l.size(); ++p) {
      if (commentaire(actif, l, p)) continue;
      if (at(l, p) != u'<') continue;
      bool ferme = false;
      QString g = texteBalise(lignes, i, p, &ferme);
      if (!ferme) continue;  // a tag without its own ">"
      if (at(g, 2) == u'/') continue;
      if (Copy(g, g.size() - 1, 2) == u"/>") g = Copy(g, 1, g.size() - 2) + u'>';
      const QString k = NomBalise(g);
      if (k.isEmpty()) continue;
      r.texte = k;
      const QString n = Copy(k, 2, k.size() - 2);

      bool declare = false;
      for (const QString& e : liste) {
        if (Pos(QStringLiteral("<!ELEMENT"), e) > 0) {
          const QString reste11 = Copy(e, 11, 256);
          if (commencePar(reste11, n)) declare = true;
        }
        if (Pos(QStringLiteral("<!ATTLIST"), e) > 0) {
          const QString reste11 = Copy(e, 11, 256);
          if (Pos(QStringLiteral("#REQUIRED"), reste11) > 0 && commencePar(reste11, n)) {
            QString a = Copy(reste11, n.size() + 2, kTout);
            const qsizetype blanc = Pos(QStringLiteral(" "), a);
            if (blanc > 0) a = Copy(a, 1, blanc - 1);
            if (Pos(a, g) == 0) r.code = 12;
          }
        }
      }
      if (!declare) r.code = 11;
      if (r.code > 0) return r;
    }
  }
  return r;
}

QString message(const Resultat& r) {
  switch (r.code) {
    case 1: return QStringLiteral("Balise ") + r.texte + QStringLiteral(" non fermée");
    case 2: return QStringLiteral("Balise ") + r.texte + QStringLiteral(" non ouverte");
    case 3: return QStringLiteral("Racine ") + r.texte + QStringLiteral(" non unique");
    case 4: return QStringLiteral("Attribut dans la balise ") + r.texte + QStringLiteral(" incorrect");
    case 5: return r.texte + QStringLiteral(" Manque ; en fin d'entité");
    case 6: return QStringLiteral("Déclaration xml ou attribut standalone incorrect");
    case 7: return QStringLiteral("Balise ") + r.texte + QStringLiteral(" chevauchée");
    case 11: return QStringLiteral("Balise ") + r.texte + QStringLiteral(" non déclarée");
    case 12: return QStringLiteral("Attribut dans balise ") + r.texte + QStringLiteral(" manquant");
    default: return {};
  }
}

QString rapport(const QStringList& lignes, bool dtd, const Chargeur& charge) {
  const Resultat v = Valid(lignes);
  if (v.code != 0) return message(v);
  if (!dtd) return QStringLiteral("Le document est bien formé");
  const Resultat d = Validdtd(lignes, charge);
  if (d.code != 0) return message(d);
  return QStringLiteral("Le document est valide");
}

}  // namespace reference
