#pragma once
// Pieces shared by the fast scans of the document lines: tag keys kept as views into the line
// (no allocation per "<"), next-occurrence cursors along a line, and the interning of keys
// exactly and without regard to case. Internal to the analysis library.
#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Cp1252.h"

namespace analyse::detail {

// A tag key: "<" + nom + (ferme ? ">" : ""). nom never holds ">", so two keys are equal exactly
// when both members are.
struct Cle {
  QStringView nom;
  bool ferme = false;
  bool valide = false;  // false when the window has no key
};

QString texteCle(const Cle& c);

// The at most n characters of the lines joined by CR LF, from column col of line ligne.
QString fenetreJointe(const QStringList& lignes, qsizetype ligne, qsizetype col, qsizetype n);
bool egaleCle(const Cle& c, QStringView texte);

inline char16_t plie(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
  return cp1252::upper(QChar(c)).unicode();
}

// Position of the first c in d[from, n), or n. Lines are mostly short and tags close together,
// so this inline search beats a library call; long lines go eight characters at a time.
inline qsizetype chercheCar(const char16_t* d, qsizetype from, qsizetype n, char16_t c) {
  qsizetype i = from;
#ifdef __SSE2__
  const __m128i v = _mm_set1_epi16(short(c));
  for (; i + 8 <= n; i += 8) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const int m = _mm_movemask_epi8(_mm_cmpeq_epi16(x, v));
    if (m) return i + (__builtin_ctz(unsigned(m)) >> 1);
  }
#endif
  for (; i < n; ++i)
    if (d[i] == c) return i;
  return n;
}

inline qsizetype chercheCar(QStringView l, qsizetype from, char16_t c) {
  return chercheCar(l.utf16(), from, l.size(), c);
}

// Position of the first "-->" in l at or after from, or l's size.
inline qsizetype chercheFinCommentaire(QStringView l, qsizetype from) {
  const char16_t* d = l.utf16();
  const qsizetype n = l.size();
  for (qsizetype i = chercheCar(d, from, n, u'-'); i + 2 < n; i = chercheCar(d, i + 1, n, u'-'))
    if (d[i + 1] == u'-' && d[i + 2] == u'>') return i;
  return n;
}

inline bool debutCommentaire(QStringView l, qsizetype p) {
  return p + 4 <= l.size() && l[p] == u'<' && l[p + 1] == u'!' && l[p + 2] == u'-' &&
         l[p + 3] == u'-';
}

// Walks one line under the comment state (which carries over from line to line): calls
// balise(q) for every "<" examined that does not open a comment, and finCommentaire(q) when a
// "-->" at q turns the state off. balise returns false to leave the rest of the line.
template <class Balise, class FinCommentaire>
void parcourtLigne(QStringView l, bool& commentaire, Balise&& balise, FinCommentaire&& finCommentaire) {
  const qsizetype n = l.size();
  qsizetype p = 0;
  while (p < n) {
    if (commentaire) {
      const qsizetype q = chercheFinCommentaire(l, p);
      if (q >= n) return;
      commentaire = false;
      finCommentaire(q);
      p = q + 1;  // the "-" there is examined, and is no tag
      continue;
    }
    const qsizetype q = chercheCar(l, p, u'<');
    if (q >= n) return;
    p = q + 1;
    if (debutCommentaire(l, q)) {
      commentaire = true;
    } else if (!balise(q)) {
      return;
    }
  }
}

template <class Balise>
void parcourtLigne(QStringView l, bool& commentaire, Balise&& balise) {
  parcourtLigne(l, commentaire, balise, [](qsizetype) {});
}

// First occurrence of one character at or after a position. The answer is remembered, so a scan
// that asks for increasing positions reads each character of the line at most once.
class Prochain {
 public:
  Prochain(QStringView ligne, char16_t c) : ligne_(ligne), c_(c) {}
  // Position of the first c at or after p, or the line's size when there is none.
  qsizetype depuis(qsizetype p) {
    if (p >= debut_ && p <= trouve_) return trouve_;
    debut_ = p;
    trouve_ = chercheCar(ligne_, p, c_);
    return trouve_;
  }

 private:
  QStringView ligne_;
  char16_t c_;
  qsizetype debut_ = 0;
  qsizetype trouve_ = -1;  // valid for positions in [debut_, trouve_]
};

class Curseurs {
 public:
  explicit Curseurs(QStringView ligne)
      : ligne_(ligne), blanc_(ligne, u' '), chevron_(ligne, u'>'), egal_(ligne, u'='),
        barre_(ligne, u'/') {}
  QStringView ligne() const { return ligne_; }
  qsizetype blanc(qsizetype p) { return blanc_.depuis(p); }
  qsizetype chevron(qsizetype p) { return chevron_.depuis(p); }
  qsizetype egal(qsizetype p) { return egal_.depuis(p); }
  // First "/>" at or after p (position of the "/"), or the line's size.
  qsizetype barreChevron(qsizetype p);

 private:
  QStringView ligne_;
  Prochain blanc_, chevron_, egal_, barre_;
  qsizetype barreDebut_ = 0;
  qsizetype barreTrouve_ = -1;
};

// Key of the start-tag candidate whose "<" is at p (its 64-character window).
Cle cleDebut(Curseurs& c, qsizetype p);
// Key of the end tag whose "<" is at p, the "/" being at p + 1.
Cle cleFin(Curseurs& c, qsizetype p);
// Attribute quoting check of the start tag at p: 0 or 4.
int controleAttributs(Curseurs& c, qsizetype p);

// Ids for keys, exactly and without regard to case. The keys are views: the lines they point
// into must outlive the table.
class Cles {
 public:
  Cles();
  int exacte(const Cle& c);  // creates the id when the key is new
  int pli(int exacte) const { return entrees_[size_t(exacte)].pli; }
  Cle cle(int exacte) const {
    const Entree& e = entrees_[size_t(exacte)];
    return {QStringView(e.d, e.n), e.ferme, true};
  }

 private:
  struct Entree {
    const char16_t* d;
    qsizetype n;
    uint32_t h;
    int32_t pli;
    bool ferme;
  };
  struct EntreePli {
    Cle representant;
    uint32_t h;
  };
  int pliPour(const Cle& c);
  template <class E>
  static void agrandir(std::vector<int32_t>& table, const std::vector<E>& entrees);

  std::vector<Entree> entrees_;
  std::vector<int32_t> table_;  // open addressing, -1 free
  std::vector<EntreePli> plis_;
  std::vector<int32_t> tablePlis_;
};

// Open addressing map from a 64-bit key to an int, for the overlap pass's waiting lists.
class TableEntiers {
 public:
  TableEntiers();
  int32_t* cherche(uint64_t cle);           // nullptr when absent
  int32_t& valeur(uint64_t cle, int32_t defaut);  // inserts defaut when absent

 private:
  void agrandir();
  std::vector<uint64_t> cles_;
  std::vector<int32_t> valeurs_;
  std::vector<uint8_t> occupe_;
  size_t nombre_ = 0;
};

}  // namespace analyse::detail
