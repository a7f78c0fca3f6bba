#include "Balayage.h"

#include <cstring>

#include "tags.h"

namespace analyse::detail {

QString texteCle(const Cle& c) {
  if (!c.valide) return {};
  QString t;
  t.reserve(c.nom.size() + 2);
  t += u'<';
  t += c.nom;
  if (c.ferme) t += u'>';
  return t;
}

bool egaleCle(const Cle& c, QStringView texte) {
  if (!c.valide) return texte.isEmpty();
  const qsizetype n = c.nom.size();
  if (texte.size() != n + 1 + (c.ferme ? 1 : 0) || texte[0] != u'<') return false;
  if (c.ferme && texte[n + 1] != u'>') return false;
  return texte.mid(1, n) == c.nom;
}

qsizetype Curseurs::barreChevron(qsizetype p) {
  if (barreTrouve_ >= 0 && p >= barreDebut_ && p <= barreTrouve_) return barreTrouve_;
  barreDebut_ = p;
  const qsizetype n = ligne_.size();
  qsizetype x = p;
  for (;;) {
    x = barre_.depuis(x);
    if (x + 1 >= n) {
      x = n;
      break;
    }
    if (ligne_[x + 1] == u'>') break;
    ++x;
  }
  barreTrouve_ = x;
  return x;
}

namespace {

bool exclu(QChar c) { return c == u'/' || c == u'?' || c == u'!'; }

}  // namespace

Cle cleDebut(Curseurs& c, qsizetype p) {
  const QStringView l = c.ligne();
  const qsizetype e = std::min(l.size(), p + kFenetreBalise);
  Cle r;
  if (e - p >= 2 && exclu(l[p + 1])) return r;
  // Names are short: reading to the first blank or ">" beats asking the cursors.
  qsizetype k = p + 1;
  while (k < e && l[k] != u' ' && l[k] != u'>') ++k;
  if (c.barreChevron(p) + 1 < e) return r;
  if (k >= e) {
    r.nom = l.mid(p + 1, e - p - 1);
  } else {
    if (l[k - 1] == u'/') return r;
    r.nom = l.mid(p + 1, k - p - 1);
    r.ferme = true;
  }
  r.valide = true;
  return r;
}

Cle cleFin(Curseurs& c, qsizetype p) {
  // The key of the window with its "/" removed: "<" followed by the window from p + 2.
  const QStringView l = c.ligne();
  const qsizetype e = std::min(l.size(), p + kFenetreBalise);
  Cle r;
  if (e - p >= 3 && exclu(l[p + 2])) return r;
  if (e - p >= 3 && c.barreChevron(p + 2) + 1 < e) return r;
  qsizetype k = p + 2;
  while (k < e && l[k] != u' ' && l[k] != u'>') ++k;
  if (k >= e) {
    r.nom = l.mid(p + 2, std::max<qsizetype>(0, e - p - 2));
  } else {
    if (k > p + 2 && l[k - 1] == u'/') return r;
    r.nom = l.mid(p + 2, k - p - 2);
    r.ferme = true;
  }
  r.valide = true;
  return r;
}

int controleAttributs(Curseurs& c, qsizetype p) {
  const QStringView l = c.ligne();
  qsizetype fin = std::min(l.size(), p + 1024);
  const qsizetype gt = c.chevron(p);
  if (gt < fin) fin = gt + 1;
  if (c.egal(p) >= fin) return 0;  // the usual tag without attributes
  const auto guillemet = [](QChar ch) { return ch == u'"' || ch == u'\''; };
  qsizetype i = p;
  for (;;) {
    qsizetype eq = c.egal(i);
    if (eq >= fin) return 0;
    qsizetype j = eq + 1;
    while (j < fin && l[j].unicode() <= 32) ++j;
    if (j >= fin || !guillemet(l[j])) return 4;
    ++j;
    qsizetype k = j;
    while (k < fin && !guillemet(l[k])) ++k;
    if (k >= fin) return 4;
    i = j;
  }
}

namespace {

constexpr uint32_t kGraine = 2166136261u;

inline uint32_t melange(uint32_t h, uint32_t c) { return (h ^ c) * 16777619u; }

// Four characters at a time: names are a few characters long, and this runs for every tag.
inline uint32_t hacheExacte(const char16_t* d, qsizetype n, bool ferme) {
  constexpr uint64_t k = 0x9E3779B97F4A7C15ULL;
  uint64_t h = uint64_t(n) * k + (ferme ? 1 : 2);
  qsizetype i = 0;
  for (; i + 4 <= n; i += 4) {
    uint64_t w;
    std::memcpy(&w, d + i, sizeof w);
    h = (h ^ w) * k;
    h ^= h >> 29;
  }
  if (i < n) {
    uint64_t w = 0;
    std::memcpy(&w, d + i, size_t(n - i) * sizeof(char16_t));
    h = (h ^ w) * k;
  }
  h ^= h >> 32;
  return uint32_t(h);
}

inline bool memesCaracteres(const char16_t* a, const char16_t* b, qsizetype n) {
  for (qsizetype i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

uint32_t hachePli(const Cle& c) {
  uint32_t h = kGraine;
  for (QChar ch : c.nom) h = melange(h, plie(ch.unicode()));
  return melange(h, c.ferme ? 0x10000u : 0x20000u);
}

bool memePli(const Cle& a, const Cle& b) {
  if (a.ferme != b.ferme || a.nom.size() != b.nom.size()) return false;
  for (qsizetype i = 0; i < a.nom.size(); ++i)
    if (a.nom[i] != b.nom[i] && plie(a.nom[i].unicode()) != plie(b.nom[i].unicode()))
      return false;
  return true;
}

}  // namespace

Cles::Cles() : table_(64, -1), tablePlis_(64, -1) {}

template <class E>
void Cles::agrandir(std::vector<int32_t>& table, const std::vector<E>& entrees) {
  std::vector<int32_t> nouvelle(table.size() * 2, -1);
  const size_t m = nouvelle.size() - 1;
  for (int32_t id : table) {
    if (id < 0) continue;
    size_t i = entrees[size_t(id)].h & m;
    while (nouvelle[i] >= 0) i = (i + 1) & m;
    nouvelle[i] = id;
  }
  table.swap(nouvelle);
}

int Cles::exacte(const Cle& c) {
  const char16_t* d = c.nom.utf16();
  const qsizetype n = c.nom.size();
  const uint32_t h = hacheExacte(d, n, c.ferme);
  const size_t m = table_.size() - 1;
  size_t i = h & m;
  for (int32_t id; (id = table_[i]) >= 0; i = (i + 1) & m) {
    const Entree& k = entrees_[size_t(id)];
    if (k.h == h && k.n == n && k.ferme == c.ferme && memesCaracteres(k.d, d, n))
      return id;
  }
  const int id = int(entrees_.size());
  entrees_.push_back({d, n, h, pliPour(c), c.ferme});
  table_[i] = id;
  if (entrees_.size() * 2 > table_.size()) agrandir(table_, entrees_);
  return id;
}

int Cles::pliPour(const Cle& c) {
  const uint32_t h = hachePli(c);
  const size_t m = tablePlis_.size() - 1;
  size_t i = h & m;
  for (int32_t id; (id = tablePlis_[i]) >= 0; i = (i + 1) & m)
    if (plis_[size_t(id)].h == h && memePli(plis_[size_t(id)].representant, c)) return id;
  const int id = int(plis_.size());
  plis_.push_back({c, h});
  tablePlis_[i] = id;
  if (plis_.size() * 2 > tablePlis_.size()) agrandir(tablePlis_, plis_);
  return id;
}

TableEntiers::TableEntiers() : cles_(64), valeurs_(64), occupe_(64, 0) {}

namespace {
inline size_t hacheEntier(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  return size_t(x);
}
}  // namespace

int32_t* TableEntiers::cherche(uint64_t cle) {
  const size_t m = cles_.size() - 1;
  for (size_t i = hacheEntier(cle) & m; occupe_[i]; i = (i + 1) & m)
    if (cles_[i] == cle) return &valeurs_[i];
  return nullptr;
}

int32_t& TableEntiers::valeur(uint64_t cle, int32_t defaut) {
  if ((nombre_ + 1) * 2 > cles_.size()) agrandir();
  const size_t m = cles_.size() - 1;
  size_t i = hacheEntier(cle) & m;
  for (; occupe_[i]; i = (i + 1) & m)
    if (cles_[i] == cle) return valeurs_[i];
  occupe_[i] = 1;
  cles_[i] = cle;
  valeurs_[i] = defaut;
  ++nombre_;
  return valeurs_[i];
}

void TableEntiers::agrandir() {
  std::vector<uint64_t> cles(cles_.size() * 2);
  std::vector<int32_t> valeurs(cles.size());
  std::vector<uint8_t> occupe(cles.size(), 0);
  const size_t m = cles.size() - 1;
  for (size_t j = 0; j < cles_.size(); ++j) {
    if (!occupe_[j]) continue;
    size_t i = hacheEntier(cles_[j]) & m;
    while (occupe[i]) i = (i + 1) & m;
    occupe[i] = 1;
    cles[i] = cles_[j];
    valeurs[i] = valeurs_[j];
  }
  cles_.swap(cles);
  valeurs_.swap(valeurs);
  occupe_.swap(occupe);
}

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

}  // namespace analyse::detail
