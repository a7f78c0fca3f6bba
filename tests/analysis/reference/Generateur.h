#pragma once
// Random documents for the differential test: mostly well-formed trees, then damaged, so that
// every pass of the checks is reached. The shapes favour the places where a fast scan could
// drift from the plain one: comments and CDATA sections across lines, long names and values,
// ">", "/>", "=" and the other quote inside values, tags cut by a line break, mixed-case keys,
// entity references of every form, DOCTYPE windows.
#include <random>
#include <vector>

#include <QString>
#include <QStringList>

namespace reference {

struct DocumentDtd {
  QStringList lignes;
  QString nomExterne;    // the SYSTEM name the loader answers to (empty: none)
  QStringList externe;   // the external file's lines
};

class Generateur {
 public:
  explicit Generateur(quint32 graine) : rng_(graine) {}

  QStringList document() {
    noms_.clear();
    std::vector<QString> jetons;
    if (chance(0.35)) jetons.push_back(declarationXml());
    if (chance(0.1)) jetons.push_back(QStringLiteral("\n"));
    arbre(jetons, 0);
    if (chance(0.08)) arbre(jetons, 2);  // a second root, sometimes with the same name
    for (int n = chance(0.4) ? 0 : nombre(1, 2); n > 0; --n) endommage(jetons);
    return enLignes(jetons);
  }

  // Many subtrees under one root: longer scans, many keys met again and again.
  QStringList documentLong(int sousArbres) {
    noms_.clear();
    std::vector<QString> jetons;
    jetons.push_back(QStringLiteral("<racine>\n"));
    propre_ = true;  // faults come from the damage below only, or every document would fail early
    for (int i = 0; i < sousArbres; ++i) arbre(jetons, 1);
    jetons.push_back(QStringLiteral("\n</racine>"));
    for (int n = chance(0.4) ? 0 : nombre(1, 2); n > 0; --n) endommage(jetons);
    const QStringList lignes = enLignes(jetons);
    propre_ = false;
    return lignes;
  }

  // Records of a few elements on each line, as data files hold them: many tags a line, names
  // that come back (nested in themselves too), and damage that leaves most lines balanced:
  // end tags swapped or moved to another line, case changed, a comment opened across lines.
  QStringList documentFiches(int fiches) {
    noms_.clear();
    propre_ = true;
    std::vector<std::vector<QString>> enregistrements;
    for (int i = 0; i < fiches; ++i) {
      std::vector<QString> jetons;
      arbre(jetons, chance(0.7) ? 2 : 1);
      std::erase(jetons, QStringLiteral("\n"));
      // Most empty-element tags become an element with its end tag: more keys a line.
      for (QString& j : jetons) {
        if (!j.endsWith(QStringLiteral("/>")) || chance(0.1)) continue;
        qsizetype fin = 1;
        while (fin < j.size() && j[fin] != u' ' && j[fin] != u'/' && j[fin] != u'>') ++fin;
        j = j.left(j.size() - (j.endsWith(QStringLiteral(" />")) ? 3 : 2)) + QStringLiteral("></") + j.mid(1, fin - 1) +
            QStringLiteral(">");
      }
      if (chance(0.15) && jetons.size() > 2) {  // the record's first element again inside it
        const QString n = noms_[size_t(nombre(0, int(noms_.size()) - 1))];
        const size_t i1 = size_t(nombre(1, int(jetons.size()) - 1));
        jetons.insert(jetons.begin() + long(i1), QStringLiteral("<") + n + QStringLiteral(">"));
        const size_t i2 = size_t(nombre(int(i1) + 1, int(jetons.size())));
        jetons.insert(jetons.begin() + long(i2), QStringLiteral("</") + n + QStringLiteral(">"));
      }
      enregistrements.push_back(std::move(jetons));
    }
    propre_ = false;
    for (int n = nombre(0, 3); n > 0; --n) {
      std::vector<QString>& e = enregistrements[size_t(nombre(0, fiches - 1))];
      std::vector<size_t> fins;
      for (size_t k = 0; k < e.size(); ++k)
        if (e[k].startsWith(QStringLiteral("</"))) fins.push_back(k);
      if (fins.empty()) continue;
      const size_t a = fins[size_t(nombre(0, int(fins.size()) - 1))];
      switch (nombre(0, 5)) {
        case 0: e[a] = e[a].toUpper(); break;
        case 1: {  // moved into another record
          std::vector<QString>& autre = enregistrements[size_t(nombre(0, fiches - 1))];
          autre.insert(autre.begin() + nombre(0, int(autre.size())), e[a]);
          e.erase(e.begin() + long(a));
          break;
        }
        case 2: e.insert(e.begin() + nombre(0, int(e.size())), choix({QStringLiteral("<!--"), QStringLiteral("-->")})); break;
        case 3: {  // a comment to the next line, whose start tags before "-->" only its own scans see
          const int i = nombre(0, fiches - 1);
          enregistrements[size_t(i)].push_back(QStringLiteral("<!--"));
          enregistrements[size_t(i)].push_back(QStringLiteral("\n"));
          QString cache = QStringLiteral("<") + noms_[size_t(nombre(0, int(noms_.size()) - 1))] + QStringLiteral("> -->");
          if (chance(0.3)) cache.prepend(QStringLiteral("</") + noms_[size_t(nombre(0, int(noms_.size()) - 1))] + u'>');
          if (i + 1 < fiches) {
            std::vector<QString>& suivant = enregistrements[size_t(i + 1)];
            suivant.insert(suivant.begin(), cache);
          } else {
            enregistrements[size_t(i)].push_back(cache);
          }
          break;
        }
        default: std::swap(e[a], e[fins[size_t(nombre(0, int(fins.size()) - 1))]]);
      }
    }
    QStringList lignes{QStringLiteral("<racine>")};
    QString ligne;
    for (const std::vector<QString>& e : enregistrements) {
      for (const QString& j : e) {
        if (j != u'\n') ligne += j;
        if (j == u'\n' || chance(0.03)) {  // a record cut in two
          lignes << ligne;
          ligne.clear();
        }
      }
      if (!chance(0.3)) {  // now and then several records a line
        lignes << ligne;
        ligne.clear();
      }
    }
    lignes << ligne + QStringLiteral("</racine>");
    return lignes;
  }

  DocumentDtd documentDtd() {
    DocumentDtd d;
    noms_.clear();
    std::vector<QString> corps;
    arbre(corps, 0);
    if (chance(0.25)) endommage(corps);

    std::vector<QString> jetons;
    if (chance(0.5)) jetons.push_back(declarationXml());
    jetons.push_back(QStringLiteral("\n"));

    const bool avecSysteme = chance(0.6);
    const bool avecInterne = !avecSysteme || chance(0.5);
    QString doctype = QStringLiteral("<!DOCTYPE ") + (noms_.empty() ? QStringLiteral("r") : noms_[0]);
    if (avecSysteme) {
      d.nomExterne = choix({QStringLiteral("ext.dtd"), QStringLiteral("r.dtd"), QStringLiteral("dtd/é.dtd")});
      const QString nomEcrit = chance(0.1) ? QStringLiteral("absent.dtd") : d.nomExterne;
      const QString q = chance(0.3) ? QStringLiteral("'") : QStringLiteral("\"");
      if (chance(0.1)) doctype += QStringLiteral(" PUBLIC \"-//X//DTD x//FR\"");
      doctype += QStringLiteral(" SYSTEM ") + q + nomEcrit + q;
      d.externe = declarations(true);
    }
    jetons.push_back(doctype);
    if (avecInterne) {
      jetons.push_back(QStringLiteral(" ["));
      jetons.push_back(QStringLiteral("\n"));
      for (const QString& l : declarations(false)) {
        jetons.push_back(l);
        jetons.push_back(chance(0.8) ? QStringLiteral("\n") : QStringLiteral(" "));
      }
      jetons.push_back(choix({QStringLiteral("]>"), QStringLiteral("]>"), QStringLiteral("] >"),
                              QStringLiteral("]\n>")}));
    } else {
      jetons.push_back(QStringLiteral(">"));
    }
    jetons.push_back(QStringLiteral("\n"));
    jetons.insert(jetons.end(), corps.begin(), corps.end());
    d.lignes = enLignes(jetons);
    return d;
  }

  // A short random text over the characters that the tag rules look at.
  QString bruit(int longueurMax) {
    // Controls and a no-break space too: only codes up to 32 are dropped before a value.
    static const QString alphabet = QStringLiteral("<<<>>//  ==\"\"''?!--aAbBé\t&;[]x") + QChar(1) + QChar(0x7F) +
                                    QChar(0x81) + QChar(0xA0) + QChar(0x2026);
    QString s;
    for (int n = nombre(0, longueurMax); n > 0; --n) s += alphabet[nombre(0, int(alphabet.size()) - 1)];
    return s;
  }

  bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  int nombre(int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng_); }
  template <typename T>
  T choix(std::initializer_list<T> l) { return *(l.begin() + nombre(0, int(l.size()) - 1)); }

 private:
  QString nom() {
    QString n;
    if (noms_.size() > 1 && chance(0.35)) {
      // The root's name comes back only now and then: a reused root is a fault of its own.
      n = noms_[size_t(nombre(chance(0.1) ? 0 : 1, int(noms_.size()) - 1))];
    } else {
      switch (nombre(0, 9)) {
        case 0: n = QString(nombre(40, propre_ ? 60 : 70), u'n'); break;  // the window cuts the tag
        case 1: n = QStringLiteral("item") + QString::number(nombre(0, 3)); break;
        case 2: n = choix({QStringLiteral("é"), QStringLiteral("É"), QStringLiteral("body")}); break;
        case 3: n = choix({QStringLiteral("bo"), QStringLiteral("body"), QStringLiteral("BODY")}); break;
        default:
          n = choix({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("A"),
                     QStringLiteral("r"), QStringLiteral("R"), QStringLiteral("x-y"), QStringLiteral("p")});
      }
      noms_.push_back(n);
    }
    return n;
  }

  static QString casse(const QString& n, int mode) {
    return mode == 1 ? n.toUpper() : mode == 2 ? n.toLower() : n;
  }

  QString attribut() {
    const QString nomAttr = choix({QStringLiteral("id"), QStringLiteral("lang"), QStringLiteral("class"),
                                   QStringLiteral("version"), QStringLiteral("idx")});
    if (propre_ || chance(0.93)) {
      const QString q = chance(0.3) ? QStringLiteral("'") : QStringLiteral("\"");
      QString valeur = choix({QStringLiteral("1"), QStringLiteral("fr"), QStringLiteral("été"), QString(),
                              QString(nombre(20, 80), u'v'), QStringLiteral("a>b"), QStringLiteral("x.php?id=3"),
                              QStringLiteral("a/>b"), q == u'"' ? QStringLiteral("l'a") : QStringLiteral("\"hi\"")});
      if (chance(0.02)) valeur = QString(nombre(1000, 1100), u'v');
      // "<!--" in a value opens a comment; a "<" ends the tag.
      if (!propre_ && chance(0.05)) valeur = choix({QStringLiteral("-->"), QStringLiteral("<!--"), QStringLiteral("a<b"),
                                                    QStringLiteral("]]>")});
      const QString egal = choix({QStringLiteral("="), QStringLiteral("="), QStringLiteral(" = "), QStringLiteral("=\t")});
      return (propre_ || chance(0.9) ? QStringLiteral(" ") : QStringLiteral("\t")) + nomAttr + egal + q + valeur + q;
    }
    const QString valeur = choix({QStringLiteral("1"), QStringLiteral("l'a"), QStringLiteral("x.php?id=3"),
                                  QStringLiteral("a/>b"), QString()});
    switch (nombre(0, 2)) {
      case 0: return QStringLiteral(" ") + nomAttr + QStringLiteral("=") + valeur;  // unquoted
      case 1: return QStringLiteral(" ") + nomAttr + QStringLiteral("=\"") + valeur;  // unterminated
      default: return QStringLiteral(" ") + nomAttr + QStringLiteral("=\"") + valeur + QStringLiteral("\"");
    }
  }

  QString baliseOuvrante(const QString& n, bool vide) {
    QString t = QStringLiteral("<") + n;
    for (int k = chance(0.3) ? nombre(1, !propre_ && chance(0.1) ? 12 : 3) : 0; k > 0; --k) t += attribut();
    if (chance(0.1)) t += QStringLiteral(" ");
    if (vide) return t + (chance(0.5) ? QStringLiteral("/>") : QStringLiteral(" />"));
    return t + QStringLiteral(">");
  }

  QString baliseFermante(const QString& n) {
    const int mode = !propre_ && chance(0.15) ? nombre(1, 2) : 0;
    switch (propre_ ? 15 : nombre(0, 15)) {
      case 0: return QStringLiteral("</") + casse(n, mode) + QStringLiteral(" >");
      case 1: return QStringLiteral("</ ") + n + QStringLiteral(">");
      case 2: return QStringLiteral("</") + casse(n, mode);  // no ">" on the line
      default: return QStringLiteral("</") + casse(n, mode) + QStringLiteral(">");
    }
  }

  QString declarationXml() {
    QString d = QStringLiteral("<?xml version=\"1.0\"");
    if (chance(0.15)) d += QStringLiteral(" encoding=\"") + QString(nombre(900, 1100), u'e') + u'"';
    if (chance(0.7)) {
      const QString v = choix({QStringLiteral("\"yes\""), QStringLiteral("'no'"), QStringLiteral("\"maybe\""),
                               QStringLiteral("\"\""), QStringLiteral("\"es\""), QStringLiteral("yes"),
                               QStringLiteral("\"s n\""), QStringLiteral("\"yes")});
      d += (chance(0.1) ? QStringLiteral(" standalone = ") : QStringLiteral(" standalone=")) + v;
    }
    return d + QStringLiteral("?>");
  }

  QString texte() {
    if (propre_)
      return choix({QStringLiteral("&amp;"), QStringLiteral("café É ç"), QStringLiteral("texte"), QStringLiteral("-->"),
                    QStringLiteral("&Lauri.Watts;"), QStringLiteral("&#x1F600;")});
    switch (nombre(0, 19)) {
      case 0: return QStringLiteral("AT&T company");
      case 1: return QStringLiteral("&amp;");
      case 2: return QStringLiteral("&#233;");
      case 3: return QStringLiteral("x &am\np;");  // the ";" is on the next line
      case 4: return QStringLiteral("a < b");
      case 5: return QStringLiteral("<>");
      case 6: return QStringLiteral("</>");
      case 7: return QStringLiteral("-->");
      case 8: return QStringLiteral("<!--");
      case 9: return QStringLiteral("&lt;&gt");
      case 10: return QString(nombre(50, 200), u'z');
      case 11: return bruit(12);
      case 12: return QStringLiteral("café É ç");
      case 13: return choix({QStringLiteral("&Lauri.Watts;"), QStringLiteral("&#x1f;"), QStringLiteral("&kde-5.x;")});
      case 14: return choix({QStringLiteral("&;"), QStringLiteral("& b"), QStringLiteral("&#x;"), QStringLiteral("&#12a;"),
                             QStringLiteral("&#;"), QStringLiteral("&a b;")});
      case 15: return QStringLiteral("]]>");
      default: return QStringLiteral("texte");
    }
  }

  QString divers() {
    switch (propre_ ? choix({0, 2, 5, 6, 7, 8, 11}) : nombre(0, 11)) {
      case 0: return QStringLiteral("<!-- ") + (propre_ ? QStringLiteral("note") : bruit(6)) + QStringLiteral(" -->");
      case 1: return QStringLiteral("<!-- <b>\n</a> -->");
      case 2: return QStringLiteral("<!--\n") + nom().prepend(u'<') + QStringLiteral(">\n-->");
      case 3: return QStringLiteral("<![CDATA[</") + nom() + QStringLiteral(">]]>");
      case 4: return QStringLiteral("<![CDATA[<") + nom() + QStringLiteral(">]]>");
      case 5: return QStringLiteral("<?pi data?>");
      case 6: return QStringLiteral("<!-- x -- y --><!---->");
      case 7: return QStringLiteral("<![CDATA[['<Super>Home']]]>");
      case 8: return QStringLiteral("<![CDATA[\nif (a < b && c) <") + nom() + QStringLiteral(">\n]]>");
      case 9: return QStringLiteral("<![CDATA[<!-- ") + bruit(6) + QStringLiteral("]]>");
      default: return baliseOuvrante(nom(), true);
    }
  }

  void arbre(std::vector<QString>& jetons, int profondeur) {
    const QString n = nom();
    jetons.push_back(baliseOuvrante(n, false));
    // An empty-element tag later in the same window would take the start tag's key away.
    if (propre_) jetons.push_back(QStringLiteral("\n"));
    const int enfants = profondeur > 3 ? 0 : nombre(0, profondeur == 0 ? 4 : 2);
    for (int i = 0; i < enfants; ++i) {
      if (chance(0.3)) jetons.push_back(QStringLiteral("\n"));
      if (chance(0.2)) jetons.push_back(QString(nombre(1, 4), chance(0.8) ? u' ' : u'\t'));
      switch (nombre(0, 5)) {
        case 0: jetons.push_back(texte()); break;
        case 1: jetons.push_back(divers()); break;
        default: arbre(jetons, profondeur + 1);
      }
    }
    if (chance(0.3)) jetons.push_back(QStringLiteral("\n"));
    jetons.push_back(baliseFermante(n));
  }

  void endommage(std::vector<QString>& jetons) {
    if (jetons.empty()) return;
    const size_t i = size_t(nombre(0, int(jetons.size()) - 1));
    const size_t j = size_t(nombre(0, int(jetons.size()) - 1));
    // Clean documents are mostly damaged by swapped end tags, the overlap test's business.
    switch (propre_ && chance(0.7) ? 9 : nombre(0, 9)) {
      case 0: jetons.erase(jetons.begin() + long(i)); break;
      case 1: jetons.insert(jetons.begin() + long(i), jetons[j]); break;
      case 2: std::swap(jetons[i], jetons[j]); break;
      case 3: jetons.insert(jetons.begin() + long(i), QStringLiteral("\n")); break;
      case 4: jetons.insert(jetons.begin() + long(i), bruit(8)); break;
      case 5: jetons.insert(jetons.begin() + long(i), divers()); break;
      case 6: jetons[i] = jetons[i].toUpper(); break;
      default: {
        // Two end tags swapped, with a line break near each: the overlap test's favourite. In a
        // clean document, an end tag and the next tag when that is an end tag too, so that the
        // swap makes an overlap and nothing else.
        std::vector<size_t> fins;
        for (size_t k = 0; k < jetons.size(); ++k)
          if (jetons[k].startsWith(QStringLiteral("</"))) fins.push_back(k);
        if (fins.size() < 2) return;
        const size_t a = fins[size_t(nombre(0, int(fins.size()) - 1))];
        size_t b = fins[size_t(nombre(0, int(fins.size()) - 1))];
        if (propre_) {
          b = a + 1;
          while (b < jetons.size() && !jetons[b].startsWith(u'<')) ++b;
          if (b >= jetons.size() || !jetons[b].startsWith(QStringLiteral("</"))) return;
        }
        std::swap(jetons[a], jetons[b]);
        jetons[a] += QStringLiteral("\n");
        if (chance(0.5)) jetons[b].prepend(u'\n');
      }
    }
  }

  // The external file (raw lines, some indented, IGNORE sections) or the internal subset.
  QStringList declarations(bool externe) {
    QStringList l;
    const auto element = [&](const QString& n) {
      return QStringLiteral("<!ELEMENT ") + n + choix({QStringLiteral(" (#PCDATA)>"), QStringLiteral(" ANY>"),
                                                       QStringLiteral(" (a|b)*>"), QStringLiteral(" EMPTY")});
    };
    const auto attlist = [&](const QString& n) {
      const QString a = choix({QStringLiteral("id"), QStringLiteral("lang"), QStringLiteral("idx")});
      return QStringLiteral("<!ATTLIST ") + n + choix({QStringLiteral(" "), QStringLiteral("  "), QStringLiteral("\t")}) + a +
             choix({QStringLiteral(" CDATA #REQUIRED>"), QStringLiteral(" CDATA #IMPLIED>"),
                    QStringLiteral(" ID #REQUIRED"), QStringLiteral(" CDATA #REQUIRED>")});
    };
    std::vector<QString> noms = noms_;
    noms.push_back(QStringLiteral("a"));
    for (const QString& n : noms) {
      if (chance(0.75)) l << (externe && chance(0.2) ? QStringLiteral("  ") : QString()) + element(n);
      if (chance(0.3)) l << attlist(n);
      if (chance(0.1)) l << QStringLiteral("<!ENTITY e \"") + n + QStringLiteral("\">");
      if (chance(0.05)) l << QStringLiteral("<!-- ") + QString(nombre(1000, 5000), u'-') + QStringLiteral(" -->");
      if (externe && chance(0.15)) {
        l << QStringLiteral("<![IGNORE[") << element(nom()) << attlist(n);
        if (chance(0.85)) l << QStringLiteral("]]>");
      }
      if (externe && chance(0.1)) l << QStringLiteral("<![INCLUDE[") << element(nom()) << QStringLiteral("]]>");
      if (chance(0.05)) l << bruit(20);
      // Raw lines shorter than a declaration's name position.
      if (externe && chance(0.03)) l << choix({QStringLiteral("<!ELEMENT"), QStringLiteral("<!ATTLIST #REQUIRED"), QStringLiteral("<!ELEMENT ")});
    }
    return l;
  }

  QStringList enLignes(const std::vector<QString>& jetons) {
    QString tout;
    for (const QString& j : jetons) {
      tout += j;
      // One token a line in clean documents: the overlap test of a tag starts at its line's
      // first character, and whatever precedes the tag there would count.
      if (propre_ || chance(0.12)) tout += u'\n';
    }
    // Now and then a break at any place, tags included: windows never cross lines.
    for (int n = !propre_ && chance(0.2) ? nombre(1, 3) : 0; n > 0 && !tout.isEmpty(); --n)
      tout.insert(nombre(0, int(tout.size())), u'\n');
    return tout.split(u'\n');
  }

  std::mt19937 rng_;
  std::vector<QString> noms_;
  bool propre_ = false;
};

}  // namespace reference
