#include "ScanSupport.h"

#include <algorithm>
#include <cstring>

#include "StoreText.h"

namespace analysis::detail {

namespace {

// Eight bytes at a time: names are a few characters long, and this runs for every tag.
inline uint32_t exactHash(const char* d, size_t n, bool closed) {
  constexpr uint64_t k = 0x9E3779B97F4A7C15ULL;
  uint64_t h = uint64_t(n) * k + (closed ? 1 : 2);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, d + i, sizeof w);
    h = (h ^ w) * k;
    h ^= h >> 29;
  }
  if (i < n) {
    uint64_t w = 0;
    for (int s = 0; i < n; ++i, s += 8) w |= uint64_t(uint8_t(d[i])) << s;
    h = (h ^ w) * k;
  }
  h ^= h >> 32;
  return uint32_t(h);
}

uint32_t foldHash(const TagKey& k) {
  const uint64_t wide = storetext::hashIgnoringCase(k.name);
  uint32_t h = uint32_t(wide ^ (wide >> 32));
  return (h ^ (k.closed ? 0x100u : 0x200u)) * 16777619u;
}

}  // namespace

KeyTable::KeyTable() : table_(64, -1), foldTable_(64, -1) {}

template <class E>
void KeyTable::grow(std::vector<int32_t>& table, const std::vector<E>& entries) {
  std::vector<int32_t> bigger(table.size() * 2, -1);
  const size_t m = bigger.size() - 1;
  for (int32_t id : table) {
    if (id < 0) continue;
    size_t i = entries[size_t(id)].h & m;
    while (bigger[i] >= 0) i = (i + 1) & m;
    bigger[i] = id;
  }
  table.swap(bigger);
}

int KeyTable::exact(const TagKey& k) {
  const char* d = k.name.data();
  const size_t n = k.name.size();
  const uint32_t h = exactHash(d, n, k.closed);
  const size_t m = table_.size() - 1;
  size_t i = h & m;
  for (int32_t id; (id = table_[i]) >= 0; i = (i + 1) & m) {
    const Entry& e = entries_[size_t(id)];
    if (e.h == h && e.n == n && e.closed == k.closed && sameBytes(e.d, d, n)) return id;
  }
  const int id = int(entries_.size());
  entries_.push_back({d, n, h, foldOf(k), -1, k.closed});
  table_[i] = id;
  if (entries_.size() * 2 > table_.size()) grow(table_, entries_);
  return id;
}

int KeyTable::foldOf(const TagKey& k) {
  const uint32_t h = foldHash(k);
  const size_t m = foldTable_.size() - 1;
  size_t i = h & m;
  for (int32_t id; (id = foldTable_[i]) >= 0; i = (i + 1) & m)
    if (folds_[size_t(id)].h == h && sameKeyIgnoringCase(folds_[size_t(id)].representative, k)) return id;
  const int id = int(folds_.size());
  folds_.push_back({k, h});
  foldTable_[i] = id;
  if (folds_.size() * 2 > foldTable_.size()) grow(foldTable_, folds_);
  return id;
}

TextPlace placeInWindow(const TextLines& lines, int64_t line, int64_t col, int64_t at) {
  int64_t offset = col + at;
  for (int64_t n = lines.count(); line + 1 < n && offset > int64_t(lines.line(line).size()); ++line)
    offset -= int64_t(lines.line(line).size()) + 2;
  return {line, offset};
}

void placeTag(Fault& f, const TextLines& lines, int64_t line, int64_t q) {
  LineTags t(lines, line);
  const LineTags::TagEnd end = t.textEnd(q);
  f.from = {line, q};
  f.to = {line + end.linesBelow, end.offset};
}

std::string joinedWindow(const TextLines& lines, int64_t line, int64_t col, int64_t n) {
  const std::string_view first = lines.line(line);
  std::string s(size_t(col) < first.size() ? first.substr(size_t(col), size_t(n)) : std::string_view());
  for (int64_t i = line + 1; int64_t(s.size()) < n && i < lines.count(); ++i) {
    s += "\r\n";
    s += lines.line(i).substr(0, size_t(n));
  }
  if (int64_t(s.size()) > n) s.resize(size_t(n));
  return s;
}

}  // namespace analysis::detail

namespace analysis {

// A byte is a character in the lines' Windows-1252 text.
int64_t characterColumn(std::string_view line, int64_t offset) {
  return std::clamp<int64_t>(offset, 0, int64_t(line.size())) + 1;
}

LineColumn lineColumnOf(const TextLines& lines, const TextPlace& place) {
  if (place.line < 0 || place.line >= lines.count()) return {};
  return {place.line + 1, characterColumn(lines.line(place.line), place.offset)};
}

}  // namespace analysis
