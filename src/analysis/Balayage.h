#pragma once
// Pieces shared by the fast scans of the document lines: tag keys kept as views into the line
// (no allocation per "<"), next-occurrence cursors along a line, and the interning of keys
// exactly and without regard to case. Internal to the analysis library.
#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <vector>

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
bool egaleCle(const Cle& c, QStringView texte);

inline char16_t plie(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
  return cp1252::upper(QChar(c)).unicode();
}

inline bool debutCommentaire(QStringView l, qsizetype p) {
  return p + 4 <= l.size() && l[p] == u'<' && l[p + 1] == u'!' && l[p + 2] == u'-' &&
         l[p + 3] == u'-';
}

// First occurrence of one character at or after a position. The answer is remembered, so a scan
// that asks for increasing positions reads each character of the line at most once.
class Prochain {
 public:
  Prochain(QStringView ligne, char16_t c) : ligne_(ligne), c_(c) {}
  // Position of the first c at or after p, or the line's size when there is none.
  qsizetype depuis(qsizetype p);

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
  qsizetype blancOuChevron(qsizetype p) { return std::min(blanc(p), chevron(p)); }
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
  int pli(int exacte) const { return pliDe_[size_t(exacte)]; }
  const Cle& cle(int exacte) const { return cles_[size_t(exacte)]; }
  int nombre() const { return int(cles_.size()); }
  int nombrePlis() const { return int(representants_.size()); }

 private:
  int pliPour(const Cle& c, uint32_t h);
  static void agrandir(std::vector<int32_t>& table, const std::vector<uint32_t>& hachages);

  std::vector<Cle> cles_;
  std::vector<uint32_t> hachages_;
  std::vector<int32_t> pliDe_;
  std::vector<int32_t> table_;  // open addressing, -1 free

  std::vector<Cle> representants_;
  std::vector<uint32_t> hachagesPlis_;
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
