#include "Dtd.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <vector>

#include "Balayage.h"
#include "TextFile.h"
#include "tags.h"

namespace analyse {

namespace {

constexpr qsizetype kFenetreDeclaration = 4096;
constexpr qsizetype kFenetreSysteme = 256;
constexpr qsizetype kFenetreNom = 256;

// The at most n characters of the lines joined by CR LF from the first occurrence of motif (which
// holds no line break, so it never straddles two lines); a null string when it does not occur.
QString fenetreDepuis(const QStringList& lignes, QStringView motif, qsizetype n) {
  for (qsizetype i = 0; i < lignes.size(); ++i) {
    const qsizetype x = lignes[i].indexOf(motif);
    if (x >= 0) return detail::fenetreJointe(lignes, i, x, n);
  }
  return {};
}

// Every declaration of one kind, each read up to its first ">" within the 4096 characters from its
// keyword. The next one is looked for in the 4096 characters after the previous keyword, taken
// from the whole text: a declaration is found when it begins within 4096 characters of the
// previous one of its kind, however long the DTD. (Taking each window out of the previous
// window instead would stop every search 4096 characters after the first declaration and lose
// the rest of any longer DTD.)
void declarations(QStringView x, QStringView motif, QStringList& liste) {
  qsizetype debut = 0;
  qsizetype fin = x.size();
  for (;;) {
    const qsizetype i = x.mid(debut, fin - debut).indexOf(motif);
    if (i < 0) return;
    const qsizetype p = debut + i;
    const qsizetype gt = x.mid(p, kFenetreDeclaration).indexOf(u'>');
    liste << (gt < 0 ? QString() : x.mid(p, gt + 1).toString());
    debut = p + motif.size();
    fin = std::min(debut + kFenetreDeclaration, x.size());
  }
}

QStringList lignesDeFichier(const QString& texte) {
  if (texte.isEmpty()) return {};
  QStringList l = textfile::splitLines(texte);
  if (texte.endsWith(u"\r\n")) l.removeLast();
  return l;
}

// Where the declarations are looked up for each start tag: the element names and the required
// attributes, sorted, so that "declared" and "required" cost a search instead of a visit of
// every entry.
class Index {
 public:
  explicit Index(const QStringList& liste) {
    for (const QString& e : liste) {
      const QStringView r = QStringView(e).mid(10, kFenetreNom);
      if (e.contains(u"<!ELEMENT")) elements_.push_back(r);
      if (e.contains(u"<!ATTLIST") && r.contains(u"#REQUIRED")) attributs_.push_back(r);
    }
    std::sort(elements_.begin(), elements_.end());
    std::sort(attributs_.begin(), attributs_.end());
  }

  // 0, 11 or 12 for the tag whose name is n and whose text (after the "/" of "/>" is removed)
  // is the line from q to finCorps followed by ">".
  int controle(QStringView ligne, int numero, qsizetype q, qsizetype finCorps, QStringView n) {
    const int id = noms_.exacte({n, true, true});
    if (size_t(id) >= fiches_.size()) fiches_.resize(size_t(id) + 1);
    Fiche& f = fiches_[size_t(id)];
    if (!f.faite) remplir(f, n);
    if (!f.declare) return kBaliseNonDeclaree;
    for (int a : f.requis)
      if (!present(attributsRequis_[size_t(a)], ligne, numero, q, finCorps))
        return kAttributManquant;
    return kAucuneFaute;
  }

 private:
  struct Fiche {
    bool faite = false;
    bool declare = false;
    std::vector<int> requis;
  };
  // A required attribute's word with the first occurrence found on a line at or after a
  // position, so that the tags of one line share the searches.
  struct Requis {
    QStringView mot;
    int ligne = -1;
    qsizetype depuis = 0;
    qsizetype trouve = -1;
  };

  // Every text begins with the empty name, also the null view of a declaration too short to
  // have an 11th character (Qt's startsWith says no for a null text).
  static bool commencePar(QStringView r, QStringView n) { return n.isEmpty() || r.startsWith(n); }

  void remplir(Fiche& f, QStringView n) {
    f.faite = true;
    auto it = std::lower_bound(elements_.begin(), elements_.end(), n);
    f.declare = it != elements_.end() && commencePar(*it, n);
    for (auto a = std::lower_bound(attributs_.begin(), attributs_.end(), n);
         a != attributs_.end() && commencePar(*a, n); ++a) {
      QStringView mot = a->mid(std::min(a->size(), n.size() + 1));
      const qsizetype b = mot.indexOf(u' ');
      if (b >= 0) mot = mot.left(b);
      const int id = mots_.exacte({mot, true, true});
      if (size_t(id) >= attributsRequis_.size()) {
        attributsRequis_.resize(size_t(id) + 1);
        attributsRequis_[size_t(id)].mot = mot;
      }
      if (std::find(f.requis.begin(), f.requis.end(), id) == f.requis.end()) f.requis.push_back(id);
    }
  }

  static bool present(Requis& a, QStringView ligne, int numero, qsizetype q, qsizetype finCorps) {
    const QStringView m = a.mot;
    // An empty word never occurs, as an empty value never occurs in the declaration check.
    if (m.isEmpty()) return false;
    if (a.ligne != numero || q < a.depuis || (a.trouve >= 0 && q > a.trouve)) {
      a.ligne = numero;
      a.depuis = q;
      a.trouve = ligne.indexOf(m, q);
    }
    if (a.trouve >= 0 && a.trouve + m.size() <= finCorps) return true;
    // The tag text ends with the ">" that follows finCorps, which the line may not hold there.
    if (m.endsWith(u'>')) {
      const qsizetype l = m.size() - 1;
      return l <= finCorps - q && ligne.mid(finCorps - l, l) == m.left(l);
    }
    return false;
  }

  std::vector<QStringView> elements_;
  std::vector<QStringView> attributs_;
  detail::Cles noms_;
  std::vector<Fiche> fiches_;
  detail::Cles mots_;
  std::vector<Requis> attributsRequis_;
};

}  // namespace

ChargeurDtd chargeurFichiers(const QString& dossierDocument) {
  return [dossierDocument](const QString& nom, QStringList& lignes) {
    if (nom.isEmpty()) return false;
    QStringList chemins;
    if (QFileInfo(nom).isRelative() && !dossierDocument.isEmpty())
      chemins << QDir(dossierDocument).filePath(nom);
    chemins << nom;
    for (const QString& c : chemins) {
      const textfile::Loaded l = textfile::load(c);
      if (!l.ok) continue;  // missing, unreadable or a folder: absent
      lignes = lignesDeFichier(l.text);
      return true;
    }
    return false;
  };
}

QStringList LitDtd(const QStringList& lignes, const ChargeurDtd& charge) {
  QStringList liste;
  QString d = fenetreDepuis(lignes, u"<!DOCTYPE", kFenetreDeclaration);
  QString x;
  const qsizetype s = d.indexOf(u"SYSTEM");
  if (s >= 0) {
    d = d.mid(s, kFenetreSysteme);
    const QString f = ValeurGuillemets(d);
    QStringList fichier;
    if (!f.isEmpty() && charge && charge(f, fichier)) {
      liste = fichier;
      x = fichier.join(QString());
      const qsizetype i = x.indexOf(u"<![IGNORE");
      if (i >= 0) {
        // The text before the section takes the place of the DOCTYPE text from here on.
        d = x.left(i);
        x = x.mid(i);
        const qsizetype j = x.indexOf(u"]]>");
        if (j >= 0) x = d + x.mid(j + 3);
      }
    }
  }
  const qsizetype fin = d.indexOf(u"]>");
  if (fin >= 0) x += QStringView(d).left(fin + 2);
  declarations(x, u"<!ELEMENT", liste);
  declarations(x, u"<!ATTLIST", liste);
  return liste;
}

Faute Validdtd(const QStringList& lignes, const ChargeurDtd& charge) {
  Faute f;
  const QStringList liste = LitDtd(lignes, charge);
  if (liste.isEmpty()) return f;
  Index index(liste);
  QStringView nom;
  bool examine = false;
  bool commentaire = false;
  for (int l = 0; l < lignes.size() && f.code == kAucuneFaute; ++l) {
    const QStringView t = lignes[l];
    detail::Curseurs c(t);
    detail::parcourtLigne(t, commentaire, [&](qsizetype q) {
      // The tag text runs to the first ">" after the "<"; a "/" just before that ">" is
      // dropped. Only the end can then hold a ">", which keeps the key a view of the line.
      const qsizetype gt = c.chevron(q + 1);
      if (gt >= t.size()) return true;
      const QChar second = t[q + 1];
      if (second == u'/' || second == u'?' || second == u'!') return true;
      const bool barre = t[gt - 1] == u'/';
      const qsizetype finCorps = barre ? gt - 1 : gt;
      if (barre && t[gt - 2] == u'/') return true;  // "//>" still holds "/>"
      const qsizetype k = std::min(c.blanc(q + 1), finCorps);
      if (k > q + 1 && t[k - 1] == u'/') return true;
      nom = t.mid(q + 1, k - q - 1);
      examine = true;
      f.code = index.controle(t, l, q, finCorps, nom);
      return f.code == kAucuneFaute;
    });
  }
  if (examine) f.texte = detail::texteCle({nom, true, true});
  return f;
}

QString rapportValider(const QStringList& lignes, bool dtd, const ChargeurDtd& charge,
                       Faute* faute) {
  Faute f = Valid(lignes);
  QString message;
  if (f.code != kAucuneFaute) {
    message = messageFaute(f);
  } else if (!dtd) {
    message = QStringLiteral("Le document est bien formé");
  } else {
    f = Validdtd(lignes, charge);
    message = f.code == kAucuneFaute ? QStringLiteral("Le document est valide") : messageFaute(f);
  }
  if (faute) *faute = f;
  return message;
}

}  // namespace analyse
