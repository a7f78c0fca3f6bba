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
// Overlap: the test of a start tag Q scans from the start of its line l. The tags of l before Q
// enter its list as outer entries; Q answers true when an end tag after it finds no entry of its
// key (without regard to case), or when an entry opened at or after Q is left; it stops at an end
// tag of Q's exact key once no such inner entry is left. Every scan is a window on one shared
// stream of tags (plus, for a line that starts inside a comment, a few tags of its own before the
// comment's end: see ombre()). Counting only, an end tag removes the newest open entry of its key
// in the shared stream, so for the scan of line l, whose first start tag has stamp S_l:
//  - the end tag of key f that closes the entry of stamp P is unmatched for l exactly when
//    P < S_l: it kills the questions asked on l so far (the line's later questions go on);
//  - with oldest-first removal, Q (stamp S_Q) has an inner entry of key f exactly when f was
//    opened since S_Q and some entry of f with stamp >= S_l is still open. So Q stops when no
//    open entry has a stamp >= S_Q (maxOuvert) and no open entry of l before Q has a key opened
//    again since S_Q: that key's newest open entry is then on l, and carries a "raised" value,
//    the stamp of the key's latest start (releve()).
// Both conditions only get harder for older questions, so the waiting questions of a key are
// kept newest first and each end tag answers a run of them and stops at the first that must wait.
// Every tag thus costs amortised constant time (a logarithm for the rare raised entries), and
// the pass is linear in the text, also for one line holding any number of tags. (A line that
// starts inside a comment checks the keys left open before the comment's end at each question.)
class Verification {
 public:
  explicit Verification(const QStringList& lignes) : lignes_(lignes) {}

  Faute execute();

 private:
  enum Etat : uint8_t { kAttente, kFaux, kVrai };

  struct Position {
    qint64 rang;  // stamp of the start tag: its order among the start tags
    int cle;
  };
  struct Pli {
    std::vector<Position> file;  // open entries of this key, oldest first from tete
    size_t tete = 0;
    std::vector<qint64> pile;  // stamps of the open entries, newest last
    qint64 dernier = -1;       // stamp of the latest start tag of this key
  };
  // The overlap scan of one line; its questions are the stamps [q0, q1) of the line's start tags.
  struct Analyse {
    qint64 q0, q1;
    qint64 ouverte;  // first of its questions that may still wait
    int special;     // index into speciaux_, or -1
    int releves;     // index into releves_, or -1
    bool courante;   // the scan of the line being walked
  };
  // A line that starts inside a comment: its scan sees tags before the comment's end that the
  // shared walk skips. The start tags left open there are outer entries of every question of
  // the line; they take the place of as many unmatched end tags of their key.
  struct Special {
    std::vector<std::pair<int, int>> restes;  // (key without case, count), sorted
  };
  // An open entry that became the newest of its key again, with the stamp of the key's latest
  // start tag; kept in a heap per line, largest value first.
  struct Releve {
    qint64 valeur;
    qint64 position;
    int pli;
    bool operator<(const Releve& o) const { return valeur < o.valeur; }
  };

  bool balise(Curseurs& c, qsizetype q);
  void nouvelleAnalyse(int special);
  void ombre(Curseurs& c, qsizetype finCommentaire);
  void ouvre(qint64 r);
  void ferme(qint64 r);
  qint64 maxOuvert() const { return ouverts_.empty() ? -1 : ouverts_.back(); }
  void tuer(qint64 marque, int pli);
  void releve(qint64 position, qint64 valeur, int pli);
  qint64 maxReleve(Analyse& a);
  bool ombreBloque(const Analyse& a, qint64 r) const;
  void arret(int cle);
  void avance(Analyse& a) const;
  void abandonne(Analyse& a);
  Analyse& analyseDe(qint64 r);
  void finLigne();
  Pli& pli(int cle);
  qint64 questionsAvant(int ligne, qsizetype pos);
  QString cleQuestion(qint64 r);
  void premiereChevauchee(Faute& f);

  const QStringList& lignes_;
  detail::Cles cles_;
  std::vector<Pli> plis_;
  qint64 rang_ = 0;
  int racine_ = -1;
  int nonOuverte_ = -1;
  bool commentaire_ = false;
  // False once an end tag has no open entry at all: the outcome is then fault 2 and the
  // overlap pass never runs.
  bool suivi_ = true;

  std::vector<Analyse> pile_;  // live scans, oldest line first
  std::vector<Analyse> gardees_;
  std::vector<Special> speciaux_;
  std::vector<std::vector<Releve>> releves_;
  std::vector<uint8_t> etats_;               // per question (stamp)
  std::vector<std::vector<qint64>> seaux_;   // per exact key: its waiting questions, newest last
  std::vector<qint64> cotes_;
  std::vector<uint64_t> ouvert_;             // per stamp: entry still open
  std::vector<qint64> ouverts_;              // stamps, open ones newest last (lazily cleaned)
  std::vector<int> compteOmbre_;
};

Verification::Pli& Verification::pli(int cle) {
  const size_t p = size_t(cles_.pli(cle));
  if (p >= plis_.size()) plis_.resize(p + 1);
  if (size_t(cle) >= seaux_.size()) seaux_.resize(size_t(cle) + 1);
  return plis_[p];
}

Faute Verification::execute() {
  Faute f;
  for (int l = 0; l < lignes_.size(); ++l) {
    Curseurs c(lignes_[l]);
    if (!commentaire_) nouvelleAnalyse(-1);
    const bool commenceEnCommentaire = commentaire_;
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
          if (commenceEnCommentaire && (pile_.empty() || !pile_.back().courante)) ombre(c, q);
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

void Verification::nouvelleAnalyse(int special) {
  pile_.push_back({rang_, rang_, rang_, special, -1, true});
}

// Returns false on fault 3 (racine_ set to -2) or 4.
bool Verification::balise(Curseurs& c, qsizetype q) {
  const QStringView l = c.ligne();
  if (q + 1 < l.size() && l[q + 1] == u'/') {
    const Cle k = detail::cleFin(c, q);
    if (!k.valide) return true;
    const int id = cles_.exacte(k);
    const int p = cles_.pli(id);
    Pli& pl = pli(id);
    if (pl.pile.empty()) {
      nonOuverte_ = id;
      suivi_ = false;
      return true;
    }
    ++pl.tete;
    if (pl.tete * 2 > pl.file.size() && pl.tete > 32) {
      pl.file.erase(pl.file.begin(), pl.file.begin() + qsizetype(pl.tete));
      pl.tete = 0;
    }
    const qint64 marque = pl.pile.back();
    pl.pile.pop_back();
    if (!suivi_) return true;
    ferme(marque);
    tuer(marque, p);
    if (!pl.pile.empty()) releve(pl.pile.back(), pl.dernier, p);
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
  const qint64 r = rang_++;
  pl.file.push_back({r, id});
  pl.pile.push_back(r);
  pl.dernier = r;
  if (detail::controleAttributs(c, q) == kAttributIncorrect) return false;
  if (suivi_) {
    ouvre(r);
    etats_.push_back(kAttente);
    pile_.back().q1 = r + 1;  // a start tag is walked only where its line's scan exists
    seaux_[size_t(id)].push_back(r);
  }
  return true;
}

void Verification::ouvre(qint64 r) {
  const size_t mot = size_t(r >> 6);
  if (mot >= ouvert_.size()) ouvert_.resize(mot + 1 + ouvert_.size() / 2, 0);
  ouvert_[mot] |= uint64_t(1) << (r & 63);
  ouverts_.push_back(r);
}

void Verification::ferme(qint64 r) {
  ouvert_[size_t(r >> 6)] &= ~(uint64_t(1) << (r & 63));
  while (!ouverts_.empty()) {
    const qint64 t = ouverts_.back();
    if (ouvert_[size_t(t >> 6)] >> (t & 63) & 1) break;
    ouverts_.pop_back();
  }
}

// The scan of a line that starts inside a comment begins with its own comment state off, so
// until the first "<!--" or "-->" of the line it sees tags that the shared walk skips. They all
// stand before the line's questions: their end tags close what they can and are otherwise
// passed over.
void Verification::ombre(Curseurs& c, qsizetype finCommentaire) {
  const QStringView l = c.ligne();
  qsizetype fin = finCommentaire;
  const qsizetype o = l.indexOf(u"<!--");
  if (o >= 0 && o < fin) fin = o;
  std::vector<int> touches;
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
    } else if (compteOmbre_[p] > 0) {
      --compteOmbre_[p];
    }
  }
  int special = -1;
  Special s;
  for (int p : touches)
    if (compteOmbre_[size_t(p)] > 0) s.restes.push_back({p, compteOmbre_[size_t(p)]});
  for (int p : touches) compteOmbre_[size_t(p)] = 0;
  if (!s.restes.empty()) {
    std::sort(s.restes.begin(), s.restes.end());
    special = int(speciaux_.size());
    speciaux_.push_back(std::move(s));
  }
  nouvelleAnalyse(special);
}

void Verification::avance(Analyse& a) const {
  while (a.ouverte < a.q1 && etats_[size_t(a.ouverte)] != kAttente) ++a.ouverte;
}

void Verification::abandonne(Analyse& a) {
  if (a.releves >= 0) std::vector<Releve>().swap(releves_[size_t(a.releves)]);
}

// An end tag of key pli that closed the entry of stamp marque: unmatched for every scan whose
// line begins after that entry, unless the scan holds an entry of its own of that key.
void Verification::tuer(qint64 marque, int pli) {
  gardees_.clear();
  while (!pile_.empty() && pile_.back().q0 > marque) {
    Analyse a = pile_.back();
    pile_.pop_back();
    avance(a);
    if (a.ouverte == a.q1 && !a.courante) {
      abandonne(a);
      continue;
    }
    if (a.special >= 0) {
      auto& restes = speciaux_[size_t(a.special)].restes;
      auto it = std::lower_bound(restes.begin(), restes.end(), std::pair<int, int>(pli, 0));
      if (it != restes.end() && it->first == pli && it->second > 0) {
        --it->second;
        gardees_.push_back(a);
        continue;
      }
    }
    for (qint64 r = a.ouverte; r < a.q1; ++r)
      if (etats_[size_t(r)] == kAttente) etats_[size_t(r)] = kVrai;
    a.ouverte = a.q1;
    if (a.courante)
      gardees_.push_back(a);  // the line's later questions begin after this end tag
    else
      abandonne(a);
  }
  for (auto it = gardees_.rbegin(); it != gardees_.rend(); ++it) pile_.push_back(*it);
}

Verification::Analyse& Verification::analyseDe(qint64 r) {
  if (pile_.back().q0 <= r) return pile_.back();
  auto it = std::upper_bound(pile_.begin(), pile_.end(), r,
                             [](qint64 v, const Analyse& a) { return v < a.q0; });
  return *(it - 1);
}

// The entry of stamp position is again the newest open one of its key, whose latest start tag
// has stamp valeur: the questions of its line asked before valeur must wait until it is closed.
void Verification::releve(qint64 position, qint64 valeur, int pli) {
  auto it = std::upper_bound(pile_.begin(), pile_.end(), position,
                             [](qint64 v, const Analyse& a) { return v < a.q0; });
  if (it == pile_.begin()) return;
  Analyse& a = *(it - 1);
  if (position >= a.q1 || a.ouverte == a.q1) return;  // no live scan of that line
  if (a.releves < 0) {
    a.releves = int(releves_.size());
    releves_.emplace_back();
  }
  auto& tas = releves_[size_t(a.releves)];
  tas.push_back({valeur, position, pli});
  std::push_heap(tas.begin(), tas.end());
}

qint64 Verification::maxReleve(Analyse& a) {
  if (a.releves < 0) return -1;
  auto& tas = releves_[size_t(a.releves)];
  while (!tas.empty()) {
    const Releve& t = tas.front();
    const Pli& pl = plis_[size_t(t.pli)];
    if (!pl.pile.empty() && pl.pile.back() == t.position) return t.valeur;
    std::pop_heap(tas.begin(), tas.end());
    tas.pop_back();
  }
  return -1;
}

// Whether one of the line's own entries from inside the comment is of a key opened since r.
bool Verification::ombreBloque(const Analyse& a, qint64 r) const {
  if (a.special < 0) return false;
  for (const auto& [p, n] : speciaux_[size_t(a.special)].restes)
    if (n > 0 && plis_[size_t(p)].dernier >= r) return true;
  return false;
}

// An end tag of exact key cle: the waiting questions of that key that now have no inner entry
// stop, answered false.
void Verification::arret(int cle) {
  std::vector<qint64>& seau = seaux_[size_t(cle)];
  cotes_.clear();
  while (!seau.empty()) {
    const qint64 r = seau.back();
    if (etats_[size_t(r)] != kAttente) {
      seau.pop_back();
      continue;
    }
    Analyse& a = analyseDe(r);
    if (maxOuvert() >= r || maxReleve(a) >= r) break;  // and so for every older question
    seau.pop_back();
    if (ombreBloque(a, r))
      cotes_.push_back(r);  // the line's own entries hold this one only
    else
      etats_[size_t(r)] = kFaux;
  }
  for (auto it = cotes_.rbegin(); it != cotes_.rend(); ++it) seau.push_back(*it);
}

void Verification::finLigne() {
  if (!pile_.empty()) pile_.back().courante = false;
  // Scans whose questions are all answered matter no more.
  while (!pile_.empty()) {
    Analyse& a = pile_.back();
    avance(a);
    if (a.ouverte < a.q1) break;
    abandonne(a);
    pile_.pop_back();
  }
}

// Number of questions asked before the position (ligne, pos): the start tags with a key, which
// the walk meets with its comment state off as long as no "<!--" has come.
qint64 Verification::questionsAvant(int ligne, qsizetype pos) {
  qint64 n = 0;
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

// The key of the question of stamp r, found again by the same walk.
QString Verification::cleQuestion(qint64 r) {
  qint64 n = 0;
  bool commentaire = false;
  QString cle;
  for (int l = 0; l < lignes_.size() && cle.isNull(); ++l) {
    Curseurs c(lignes_[l]);
    detail::parcourtLigne(c.ligne(), commentaire, [&](qsizetype q) {
      if (q + 1 < c.ligne().size() && c.ligne()[q + 1] == u'/') return true;
      const Cle k = detail::cleDebut(c, q);
      if (!k.valide || n++ < r) return true;
      cle = detail::texteCle(k);
      return false;
    });
  }
  return cle;
}

void Verification::premiereChevauchee(Faute& f) {
  // The text is balanced here, so every entry of the shared stream is closed: only a line's own
  // entries from inside a comment can be left as inner entries.
  for (Analyse& a : pile_) {
    for (qint64 r = a.ouverte; r < a.q1; ++r)
      if (etats_[size_t(r)] == kAttente) etats_[size_t(r)] = ombreBloque(a, r) ? kVrai : kFaux;
  }

  // The overlap pass starts with the comment state that the open/close pass ended with; when
  // that is on, it sees no tag before the first "-->" or "<!--" of the text.
  qint64 debut = 0;
  if (commentaire_) {
    for (int l = 0; l < lignes_.size(); ++l) {
      const qsizetype a = lignes_[l].indexOf(u"-->");
      const qsizetype b = lignes_[l].indexOf(u"<!--");
      if (a >= 0 || b >= 0) {
        debut = questionsAvant(l, a < 0 ? b : (b < 0 ? a : std::min(a, b)));
        break;
      }
    }
  }
  for (qint64 r = debut; r < qint64(etats_.size()); ++r) {
    if (etats_[size_t(r)] == kVrai) {
      f.code = kBaliseChevauchee;
      f.texte = cleQuestion(r);
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

bool Chevauche(const QStringList& lignes, const QString& cle, int ligne, qsizetype position) {
  ligne = std::max(ligne, 0);
  detail::Cles cles;
  // Per key without case: entries from before the tag on its line, and from the tag on.
  std::vector<qint64> exterieures, interieures;
  qint64 inter = 0;
  bool commentaire = false;
  for (int l = ligne; l < lignes.size(); ++l) {
    Curseurs c(lignes[l]);
    int reponse = -1;
    detail::parcourtLigne(c.ligne(), commentaire, [&](qsizetype q) {
      const bool avant = l == ligne && q < position;
      const bool fin = q + 1 < c.ligne().size() && c.ligne()[q + 1] == u'/';
      const Cle k = fin ? detail::cleFin(c, q) : detail::cleDebut(c, q);
      if (!k.valide) return true;
      const size_t pl = size_t(cles.pli(cles.exacte(k)));
      if (pl >= exterieures.size()) {
        exterieures.resize(pl + 1, 0);
        interieures.resize(pl + 1, 0);
      }
      if (!fin) {
        if (avant) {
          ++exterieures[pl];
        } else {
          ++interieures[pl];
          ++inter;
        }
        return true;
      }
      // The first equal entry of the list: an outer one while there is one.
      if (exterieures[pl] > 0) {
        --exterieures[pl];
      } else if (interieures[pl] > 0) {
        --interieures[pl];
        --inter;
      } else {
        if (avant) return true;
        reponse = 1;  // unmatched: nothing later can change the answer
        return false;
      }
      if (!avant && inter == 0 && detail::egaleCle(k, cle)) {
        reponse = 0;
        return false;
      }
      return true;
    });
    if (reponse >= 0) return reponse == 1;
  }
  return inter > 0;
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
