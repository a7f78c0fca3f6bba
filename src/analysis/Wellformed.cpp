#include "Wellformed.h"

#include <algorithm>
#include <vector>

#include "Balayage.h"
#include "tags.h"

namespace analyse {

using detail::Cle;
using detail::Curseurs;

namespace {

constexpr QStringView kFinCommentaire = u"-->";

// The at most n characters of the text joined by CR LF, from column col of line ligne.
QString fenetreJointe(const QStringList& lignes, qsizetype ligne, qsizetype col, qsizetype n) {
  QString s = QStringView(lignes[ligne]).mid(col, n).toString();
  for (qsizetype i = ligne + 1; s.size() < n && i < lignes.size(); ++i) {
    s += u"\r\n";
    s += QStringView(lignes[i]).left(n);
  }
  s.truncate(n);
  return s;
}

bool declarationIncorrecte(const QStringList& lignes) {
  // "<?xml" holds no line break, so its first occurrence in the joined text is the first one
  // found line by line.
  for (qsizetype i = 0; i < lignes.size(); ++i) {
    const qsizetype x = lignes[i].indexOf(u"<?xml");
    if (x < 0) continue;
    const QString s = fenetreJointe(lignes, i, x, 1024);
    const qsizetype j = s.indexOf(u"standalone=");
    if (j < 0) return false;
    const QString v = ValeurGuillemets(QStringView(s).mid(j));
    return v.isEmpty() || !QStringView(u"yes no").contains(v);
  }
  return false;
}

bool entiteIncorrecte(const QStringList& lignes, Faute& f) {
  for (const QString& l : lignes) {
    for (qsizetype p = l.indexOf(u'&'); p >= 0; p = l.indexOf(u'&', p + 1)) {
      const QStringView t = QStringView(l).mid(p, 10);
      if (!t.contains(u';')) {
        f.code = kEntiteSansPointVirgule;
        f.texte = t.toString();
        return true;
      }
    }
  }
  return false;
}

// The open/close pass and, in the same walk over the tags, everything the overlap pass needs.
//
// Overlap: the test of a start tag scans from the start of its line with an empty open list. Two
// such scans that start at different lines see the same tags once their comment states agree,
// so every scan is a window on one shared stream of tags (with a few tags of its own when its
// line starts inside a comment; see ombre()). A scan is then described by its level: the number
// of start tags minus end tags before it. While no end tag has been unmatched for it, its open
// list holds (current level - its level) entries; it stops at an end tag that brings the level
// back to its own when the key is the one asked; and an end tag is unmatched for it exactly when
// the latest still-open start tag of that key (without regard to case) came before the scan
// began. Live scans are kept on a stack in order of creation; an unmatched end tag ends a
// suffix of that stack, and waiting questions are filed by (level, key), so each tag costs
// amortised constant time and the whole pass is linear in the text.
class Verification {
 public:
  explicit Verification(const QStringList& lignes) : lignes_(lignes) {}

  Faute execute();

 private:
  enum Etat : uint8_t { kAttente, kFaux, kVrai };

  struct Position {
    qint64 rang;  // order of the start tag in the walk
    int cle;
  };
  struct Pli {
    std::vector<Position> file;  // open entries of this key, oldest first from tete
    size_t tete = 0;
    std::vector<int> pile;  // creation stamp of each open entry, newest last
  };
  // One overlap scan, begun at a line's start.
  struct Analyse {
    int id;
    qint64 niveau;
    int q0, q1;   // its questions, a range of requetes_
    int special;  // index into speciaux_, or -1
    int attente;  // questions still waiting
  };
  // A scan whose line starts inside a comment and keeps some entries from before the comment's
  // end: those entries absorb as many unmatched end tags of their key.
  struct Special {
    std::vector<std::pair<int, int>> restes;  // (key without case, count), sorted
  };
  struct Requete {
    qsizetype pos;
    int ligne;
    int cle;
    int analyse;
    int suivant;  // next question waiting under the same (level, key)
    Etat etat;
  };

  bool balise(int ligne, Curseurs& c, qsizetype q);
  void nouvelleAnalyse(qint64 niveau, int special, int id);
  void ombre(Curseurs& c, qsizetype finCommentaire);
  void question(int ligne, qsizetype q, int cle);
  void tuer(int marque, int pli);
  bool absorbe(Special& s, int pli);
  void arret(int cle);
  void resoudre(int r, Etat e);
  Analyse* analyseDe(int id);
  void finLigne();
  Pli& pli(int cle);
  void premiereChevauchee(Faute& f);

  const QStringList& lignes_;
  detail::Cles cles_;
  std::vector<Pli> plis_;
  qint64 rang_ = 0;
  int racine_ = -1;
  int nonOuverte_ = -1;
  bool commentaire_ = false;
  qint64 niveau_ = 0;

  std::vector<Analyse> pile_;
  std::vector<Analyse> gardees_;
  std::vector<Special> speciaux_;
  std::vector<Requete> requetes_;
  detail::TableEntiers attente_;
  std::vector<int> arrets_;  // per exact key: id of the current line's scan that stopped on it
  std::vector<int> compteOmbre_;
  int prochainId_ = 0;
  int courant_ = -1;  // id of the current line's scan, -1 before it exists
  bool courantMort_ = false;
};

Verification::Pli& Verification::pli(int cle) {
  const size_t p = size_t(cles_.pli(cle));
  if (p >= plis_.size()) plis_.resize(p + 1);
  if (size_t(cle) >= arrets_.size()) arrets_.resize(size_t(cle) + 1, -1);
  return plis_[p];
}

Faute Verification::execute() {
  Faute f;
  for (int l = 0; l < lignes_.size(); ++l) {
    const QStringView ligne = lignes_[l];
    Curseurs c(ligne);
    if (!commentaire_) nouvelleAnalyse(niveau_, -1, prochainId_++);
    const qsizetype n = ligne.size();
    qsizetype p = 0;
    while (p < n) {
      if (commentaire_) {
        const qsizetype q = ligne.indexOf(kFinCommentaire, p);
        if (q < 0) break;
        commentaire_ = false;
        if (courant_ < 0) ombre(c, q);
        p = q + 1;  // the "-" that ends the comment is examined, and is no tag
        continue;
      }
      const qsizetype q = ligne.indexOf(u'<', p);
      if (q < 0) break;
      p = q + 1;
      if (detail::debutCommentaire(ligne, q)) {
        commentaire_ = true;
        continue;
      }
      if (!balise(l, c, q)) {
        f.code = racine_ == -2 ? kRacineNonUnique : kAttributIncorrect;
        f.texte = detail::texteCle(detail::cleDebut(c, q));
        return f;
      }
    }
    finLigne();
  }

  // Outcome of the open/close pass.
  const Position* premier = nullptr;
  for (const Pli& pl : plis_)
    if (pl.tete < pl.file.size() && (!premier || pl.file[pl.tete].rang < premier->rang))
      premier = &pl.file[pl.tete];
  if (premier) {
    f.code = kBaliseNonFermee;
    f.texte = detail::texteCle(cles_.cle(premier->cle));
  }
  if (nonOuverte_ >= 0) {
    f.code = kBaliseNonOuverte;
    f.texte = detail::texteCle(cles_.cle(nonOuverte_));
  }
  if (f.code == kAucuneFaute) premiereChevauchee(f);
  return f;
}

void Verification::nouvelleAnalyse(qint64 niveau, int special, int id) {
  courant_ = id;
  courantMort_ = false;
  const int q = int(requetes_.size());
  pile_.push_back({id, niveau, q, q, special, 0});
}

// Returns false on fault 3 (racine_ set to -2) or 4.
bool Verification::balise(int ligne, Curseurs& c, qsizetype q) {
  const QStringView l = c.ligne();
  if (q + 1 < l.size() && l[q + 1] == u'/') {
    const Cle k = detail::cleFin(c, q);
    if (!k.valide) return true;
    const int id = cles_.exacte(k);
    Pli& pl = pli(id);
    int marque = 0;
    if (pl.pile.empty()) {
      nonOuverte_ = id;
    } else {
      ++pl.tete;
      if (pl.tete * 2 > pl.file.size() && pl.tete > 32) {
        pl.file.erase(pl.file.begin(), pl.file.begin() + qsizetype(pl.tete));
        pl.tete = 0;
      }
      marque = pl.pile.back();
      pl.pile.pop_back();
    }
    tuer(marque, cles_.pli(id));
    --niveau_;
    arret(id);
    return true;
  }
  const Cle k = detail::cleDebut(c, q);
  if (!k.valide) return true;
  const int id = cles_.exacte(k);
  if (racine_ == id) {
    racine_ = -2;
    return false;
  }
  if (racine_ < 0) racine_ = id;
  Pli& pl = pli(id);
  pl.file.push_back({rang_++, id});
  pl.pile.push_back(prochainId_);
  ++niveau_;
  if (detail::controleAttributs(c, q) == kAttributIncorrect) return false;
  question(ligne, q, id);
  return true;
}

// The scan of a line that starts inside a comment begins with its own comment state off, so
// until the first "<!--" or "-->" of the line it sees tags that the shared walk skips.
void Verification::ombre(Curseurs& c, qsizetype finCommentaire) {
  const QStringView l = c.ligne();
  qsizetype fin = finCommentaire;
  const qsizetype o = l.indexOf(u"<!--");
  if (o >= 0 && o < fin) fin = o;
  const int id = prochainId_++;
  std::vector<int> touches;
  qint64 taille = 0;
  bool mort = false;
  for (qsizetype q = l.indexOf(u'<'); q >= 0 && q < fin; q = l.indexOf(u'<', q + 1)) {
    const bool finBalise = q + 1 < l.size() && l[q + 1] == u'/';
    const Cle k = finBalise ? detail::cleFin(c, q) : detail::cleDebut(c, q);
    if (!k.valide) continue;
    const int e = cles_.exacte(k);
    pli(e);
    const size_t p = size_t(cles_.pli(e));
    if (p >= compteOmbre_.size()) compteOmbre_.resize(p + 1, 0);
    if (!finBalise) {
      if (compteOmbre_[p]++ == 0) touches.push_back(int(p));
      ++taille;
    } else if (compteOmbre_[p] == 0) {
      mort = true;
      break;
    } else {
      --compteOmbre_[p];
      if (--taille == 0) arrets_[size_t(e)] = id;
    }
  }
  int special = -1;
  if (!mort && taille > 0) {
    Special s;
    for (int p : touches)
      if (compteOmbre_[size_t(p)] > 0) s.restes.push_back({p, compteOmbre_[size_t(p)]});
    std::sort(s.restes.begin(), s.restes.end());
    special = int(speciaux_.size());
    speciaux_.push_back(std::move(s));
  }
  for (int p : touches) compteOmbre_[size_t(p)] = 0;
  if (mort) {
    courant_ = id;
    courantMort_ = true;
  } else {
    nouvelleAnalyse(niveau_ - taille, special, id);
  }
}

void Verification::question(int ligne, qsizetype q, int cle) {
  const int r = int(requetes_.size());
  requetes_.push_back({q, ligne, cle, courant_, -1, kAttente});
  Requete& req = requetes_.back();
  if (arrets_[size_t(cle)] == courant_) {
    req.etat = kFaux;
    return;
  }
  if (courantMort_) {
    req.etat = kVrai;
    return;
  }
  Analyse& a = pile_.back();  // a live current scan is always on top
  a.q1 = r + 1;
  int32_t& tete = attente_.valeur((uint64_t(uint32_t(a.niveau)) << 32) | uint32_t(cle), -1);
  if (tete >= a.q0 && requetes_[size_t(tete)].etat == kAttente) {
    // Same line, same key: the same answer as the earlier question, which is asked first.
    req.etat = kFaux;
    return;
  }
  req.suivant = tete;
  tete = r;
  ++a.attente;
}

bool Verification::absorbe(Special& s, int pli) {
  auto it = std::lower_bound(s.restes.begin(), s.restes.end(), std::pair<int, int>(pli, 0));
  if (it == s.restes.end() || it->first != pli || it->second == 0) return false;
  --it->second;
  return true;
}

// An end tag whose latest open entry has stamp marque: every scan created after that entry
// (id >= marque) has no open entry of this key, so the tag is unmatched for it.
void Verification::tuer(int marque, int pli) {
  gardees_.clear();
  while (!pile_.empty() && pile_.back().id >= marque) {
    Analyse a = pile_.back();
    pile_.pop_back();
    if (a.special >= 0 && absorbe(speciaux_[size_t(a.special)], pli)) {
      gardees_.push_back(a);
      continue;
    }
    for (int r = a.q0; r < a.q1; ++r)
      if (requetes_[size_t(r)].etat == kAttente) requetes_[size_t(r)].etat = kVrai;
    if (a.id == courant_) courantMort_ = true;
  }
  for (auto it = gardees_.rbegin(); it != gardees_.rend(); ++it) pile_.push_back(*it);
}

Verification::Analyse* Verification::analyseDe(int id) {
  auto it = std::lower_bound(pile_.begin(), pile_.end(), id,
                             [](const Analyse& a, int v) { return a.id < v; });
  return it != pile_.end() && it->id == id ? &*it : nullptr;
}

void Verification::resoudre(int r, Etat e) {
  Requete& req = requetes_[size_t(r)];
  if (req.etat != kAttente) return;
  req.etat = e;
  if (Analyse* a = analyseDe(req.analyse)) --a->attente;
}

// An end tag that brings the level to niveau_: every live scan of that level has an empty list.
void Verification::arret(int cle) {
  const uint64_t k = (uint64_t(uint32_t(niveau_)) << 32) | uint32_t(cle);
  if (int32_t* tete = attente_.cherche(k)) {
    for (int r = *tete; r >= 0; r = requetes_[size_t(r)].suivant) resoudre(r, kFaux);
    *tete = -1;
  }
  if (courant_ >= 0 && !courantMort_ && pile_.back().niveau == niveau_)
    arrets_[size_t(cle)] = courant_;
}

void Verification::finLigne() {
  while (!pile_.empty() && pile_.back().attente == 0) pile_.pop_back();
  courant_ = -1;
  courantMort_ = false;
}

void Verification::premiereChevauchee(Faute& f) {
  for (const Analyse& a : pile_)
    for (int r = a.q0; r < a.q1; ++r)
      if (requetes_[size_t(r)].etat == kAttente)
        requetes_[size_t(r)].etat = niveau_ == a.niveau ? kFaux : kVrai;

  // The overlap pass starts with the comment state that the open/close pass ended with; when
  // that is on, it sees no tag before the first "-->" or "<!--" of the text.
  int ligneMin = 0;
  qsizetype posMin = 0;
  if (commentaire_) {
    ligneMin = int(lignes_.size());
    for (int l = 0; l < lignes_.size(); ++l) {
      const qsizetype a = lignes_[l].indexOf(kFinCommentaire);
      const qsizetype b = lignes_[l].indexOf(u"<!--");
      if (a >= 0 || b >= 0) {
        ligneMin = l;
        posMin = a < 0 ? b : (b < 0 ? a : std::min(a, b));
        break;
      }
    }
  }
  for (const Requete& r : requetes_) {
    if (r.ligne < ligneMin || (r.ligne == ligneMin && r.pos < posMin)) continue;
    if (r.etat == kVrai) {
      f.code = kBaliseChevauchee;
      f.texte = detail::texteCle(cles_.cle(r.cle));
      return;
    }
  }
}

}  // namespace

Faute Valid(const QStringList& lignes) {
  Faute f;
  if (declarationIncorrecte(lignes)) {
    f.code = kStandaloneIncorrect;
    return f;
  }
  f = Verification(lignes).execute();
  if (f.code == kAucuneFaute) entiteIncorrecte(lignes, f);
  return f;
}

bool Chevauche(const QStringList& lignes, const QString& cle, int ligne) {
  if (ligne < 0) return false;  // no such line: nothing is scanned
  detail::Cles cles;
  std::vector<qint64> compte;
  qint64 taille = 0;
  bool commentaire = false;
  for (int l = ligne; l < lignes.size(); ++l) {
    const QStringView t = lignes[l];
    Curseurs c(t);
    qsizetype p = 0;
    while (p < t.size()) {
      if (commentaire) {
        const qsizetype q = t.indexOf(kFinCommentaire, p);
        if (q < 0) break;
        commentaire = false;
        p = q + 1;
        continue;
      }
      const qsizetype q = t.indexOf(u'<', p);
      if (q < 0) break;
      p = q + 1;
      if (detail::debutCommentaire(t, q)) {
        commentaire = true;
        continue;
      }
      const bool fin = q + 1 < t.size() && t[q + 1] == u'/';
      const Cle k = fin ? detail::cleFin(c, q) : detail::cleDebut(c, q);
      if (!k.valide) continue;
      const size_t pl = size_t(cles.pli(cles.exacte(k)));
      if (pl >= compte.size()) compte.resize(pl + 1, 0);
      if (!fin) {
        ++compte[pl];
        ++taille;
      } else if (compte[pl] == 0) {
        return true;  // unmatched: nothing later can change the answer
      } else {
        --compte[pl];
        if (--taille == 0 && detail::egaleCle(k, cle)) return false;
      }
    }
  }
  return taille > 0;
}

QString messageFaute(const Faute& f) {
  switch (f.code) {
    case kBaliseNonFermee: return QStringLiteral("Balise ") + f.texte + QStringLiteral(" non fermée");
    case kBaliseNonOuverte: return QStringLiteral("Balise ") + f.texte + QStringLiteral(" non ouverte");
    case kRacineNonUnique: return QStringLiteral("Racine ") + f.texte + QStringLiteral(" non unique");
    case kAttributIncorrect:
      return QStringLiteral("Attribut dans la balise ") + f.texte + QStringLiteral(" incorrect");
    case kEntiteSansPointVirgule: return f.texte + QStringLiteral(" Manque ; en fin d'entité");
    case kStandaloneIncorrect: return QStringLiteral("Déclaration xml ou attribut standalone incorrect");
    case kBaliseChevauchee: return QStringLiteral("Balise ") + f.texte + QStringLiteral(" chevauchée");
    case kBaliseNonDeclaree: return QStringLiteral("Balise ") + f.texte + QStringLiteral(" non déclarée");
    case kAttributManquant:
      return QStringLiteral("Attribut dans balise ") + f.texte + QStringLiteral(" manquant");
    default: return {};
  }
}

}  // namespace analyse
