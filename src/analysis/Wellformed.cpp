#include "Wellformed.h"

#include <algorithm>
#include <vector>

#include "Balayage.h"
#include "tags.h"

namespace analyse {

using detail::Cle;
using detail::Curseurs;

namespace {

bool declarationIncorrecte(const QStringList& lignes) {
  // "<?xml" holds no line break, so its first occurrence in the joined text is the first one
  // found line by line.
  for (qsizetype i = 0; i < lignes.size(); ++i) {
    const qsizetype x = lignes[i].indexOf(u"<?xml");
    if (x < 0) continue;
    const QString s = detail::fenetreJointe(lignes, i, x, 1024);
    const qsizetype j = s.indexOf(u"standalone=");
    if (j < 0) return false;
    const QString v = ValeurGuillemets(QStringView(s).mid(j));
    return v.isEmpty() || !QStringView(u"yes no").contains(v);
  }
  return false;
}

bool entiteIncorrecte(const QStringList& lignes, Faute& f) {
  for (const QString& l : lignes) {
    for (qsizetype p = detail::chercheCar(l, 0, u'&'); p < l.size();
         p = detail::chercheCar(l, p + 1, u'&')) {
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
    int q0, q1;   // its questions, a range of the question arrays
    int special;  // index into speciaux_, or -1
    int ouverte;  // first of its questions that may still wait
  };
  // A scan whose line starts inside a comment and keeps some entries from before the comment's
  // end: those entries absorb as many unmatched end tags of their key.
  struct Special {
    std::vector<std::pair<int, int>> restes;  // (key without case, count), sorted
  };
  bool balise(Curseurs& c, qsizetype q);
  void nouvelleAnalyse(qint64 niveau, int special, int id);
  void ombre(Curseurs& c, qsizetype finCommentaire);
  void question(int cle);
  void tuer(int marque, int pli);
  bool absorbe(Special& s, int pli);
  void arret(int cle);
  void finLigne();
  Pli& pli(int cle);
  int questionsAvant(int ligne, qsizetype pos);
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
  // The questions of the overlap pass (one per start tag, in order): answer, next question
  // waiting under the same (level, key), key.
  std::vector<uint8_t> etats_;
  std::vector<int32_t> suivantes_;
  std::vector<int32_t> clesQuestions_;
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
    Curseurs c(lignes_[l]);
    if (!commentaire_) nouvelleAnalyse(niveau_, -1, prochainId_++);
    bool faute = false;
    detail::parcourtLigne(
        c.ligne(), commentaire_,
        [&](qsizetype q) {
          if (balise(c, q)) return true;
          f.code = racine_ == -2 ? kRacineNonUnique : kAttributIncorrect;
          f.texte = detail::texteCle(detail::cleDebut(c, q));
          faute = true;
          return false;
        },
        [&](qsizetype q) {
          if (courant_ < 0) ombre(c, q);
        });
    if (faute) return f;
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
  const int q = int(etats_.size());
  pile_.push_back({id, niveau, q, q, special, q});
}

// Returns false on fault 3 (racine_ set to -2) or 4.
bool Verification::balise(Curseurs& c, qsizetype q) {
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
  question(id);
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
  for (qsizetype q = detail::chercheCar(l, 0, u'<'); q < fin; q = detail::chercheCar(l, q + 1, u'<')) {
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

void Verification::question(int cle) {
  const int r = int(etats_.size());
  etats_.push_back(kAttente);
  suivantes_.push_back(-1);
  clesQuestions_.push_back(cle);
  if (arrets_[size_t(cle)] == courant_) {
    etats_.back() = kFaux;
    return;
  }
  if (courantMort_) {
    etats_.back() = kVrai;
    return;
  }
  Analyse& a = pile_.back();  // a live current scan is always on top
  a.q1 = r + 1;
  int32_t& tete = attente_.valeur((uint64_t(uint32_t(a.niveau)) << 32) | uint32_t(cle), -1);
  if (tete >= a.q0 && etats_[size_t(tete)] == kAttente) {
    // Same line, same key: the same answer as the earlier question, which is asked first.
    etats_.back() = kFaux;
    return;
  }
  suivantes_.back() = tete;
  tete = r;
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
    for (int r = a.ouverte; r < a.q1; ++r)
      if (etats_[size_t(r)] == kAttente) etats_[size_t(r)] = kVrai;
    if (a.id == courant_) courantMort_ = true;
  }
  for (auto it = gardees_.rbegin(); it != gardees_.rend(); ++it) pile_.push_back(*it);
}

// An end tag that brings the level to niveau_: every live scan of that level has an empty list.
void Verification::arret(int cle) {
  const uint64_t k = (uint64_t(uint32_t(niveau_)) << 32) | uint32_t(cle);
  if (int32_t* tete = attente_.cherche(k)) {
    for (int r = *tete; r >= 0; r = suivantes_[size_t(r)])
      if (etats_[size_t(r)] == kAttente) etats_[size_t(r)] = kFaux;
    *tete = -1;
  }
  if (courant_ >= 0 && !courantMort_ && pile_.back().niveau == niveau_)
    arrets_[size_t(cle)] = courant_;
}

void Verification::finLigne() {
  // Scans whose questions are all answered matter no more.
  while (!pile_.empty()) {
    Analyse& a = pile_.back();
    while (a.ouverte < a.q1 && etats_[size_t(a.ouverte)] != kAttente) ++a.ouverte;
    if (a.ouverte < a.q1) break;
    pile_.pop_back();
  }
  courant_ = -1;
  courantMort_ = false;
}

// Number of questions asked before the position (ligne, pos): the start tags with a key, which
// the walk meets with its comment state off as long as no "<!--" has come.
int Verification::questionsAvant(int ligne, qsizetype pos) {
  int n = 0;
  for (int l = 0; l <= ligne && l < lignes_.size(); ++l) {
    Curseurs c(lignes_[l]);
    const qsizetype fin = l == ligne ? pos : c.ligne().size();
    for (qsizetype q = detail::chercheCar(c.ligne(), 0, u'<'); q < fin;
         q = detail::chercheCar(c.ligne(), q + 1, u'<')) {
      if (q + 1 < c.ligne().size() && c.ligne()[q + 1] == u'/') continue;
      if (detail::cleDebut(c, q).valide) ++n;
    }
  }
  return n;
}

void Verification::premiereChevauchee(Faute& f) {
  for (const Analyse& a : pile_)
    for (int r = a.ouverte; r < a.q1; ++r)
      if (etats_[size_t(r)] == kAttente) etats_[size_t(r)] = niveau_ == a.niveau ? kFaux : kVrai;

  // The overlap pass starts with the comment state that the open/close pass ended with; when
  // that is on, it sees no tag before the first "-->" or "<!--" of the text.
  size_t debut = 0;
  if (commentaire_) {
    for (int l = 0; l < lignes_.size(); ++l) {
      const qsizetype a = lignes_[l].indexOf(u"-->");
      const qsizetype b = lignes_[l].indexOf(u"<!--");
      if (a >= 0 || b >= 0) {
        debut = size_t(questionsAvant(l, a < 0 ? b : (b < 0 ? a : std::min(a, b))));
        break;
      }
    }
  }
  for (size_t r = debut; r < etats_.size(); ++r) {
    if (etats_[r] == kVrai) {
      f.code = kBaliseChevauchee;
      f.texte = detail::texteCle(cles_.cle(clesQuestions_[r]));
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
  ligne = std::max(ligne, 0);
  detail::Cles cles;
  std::vector<qint64> compte;
  qint64 taille = 0;
  bool commentaire = false;
  for (int l = ligne; l < lignes.size(); ++l) {
    Curseurs c(lignes[l]);
    int reponse = -1;
    detail::parcourtLigne(c.ligne(), commentaire, [&](qsizetype q) {
      const bool fin = q + 1 < c.ligne().size() && c.ligne()[q + 1] == u'/';
      const Cle k = fin ? detail::cleFin(c, q) : detail::cleDebut(c, q);
      if (!k.valide) return true;
      const size_t pl = size_t(cles.pli(cles.exacte(k)));
      if (pl >= compte.size()) compte.resize(pl + 1, 0);
      if (!fin) {
        ++compte[pl];
        ++taille;
      } else if (compte[pl] == 0) {
        reponse = 1;  // unmatched: nothing later can change the answer
        return false;
      } else {
        --compte[pl];
        if (--taille == 0 && detail::egaleCle(k, cle)) {
          reponse = 0;
          return false;
        }
      }
      return true;
    });
    if (reponse >= 0) return reponse == 1;
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
