#include "Search.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "Cp1252.h"

namespace {

using Map = std::array<unsigned char, 256>;

const Map& identityMap() {
  static const Map m = [] {
    Map t{};
    for (int b = 0; b < 256; ++b) t[size_t(b)] = static_cast<unsigned char>(b);
    return t;
  }();
  return m;
}

const Map& upperMap() {
  static const Map m = [] {
    Map t{};
    for (int b = 0; b < 256; ++b)
      t[size_t(b)] = static_cast<unsigned char>(cp1252::upperByte(char(b)));
    return t;
  }();
  return m;
}

// Contiguous pieces of a text: the whole of a buffer, or the chunks of a store.
class Source {
 public:
  virtual ~Source() = default;
  virtual int64_t size() const = 0;
  // The piece holding pos (0 <= pos < size()) and its first position.
  virtual std::string_view piece(int64_t pos, int64_t* start) const = 0;
};

class BufferSource : public Source {
 public:
  explicit BufferSource(std::string_view b) : b_(b) {}
  int64_t size() const override { return int64_t(b_.size()); }
  std::string_view piece(int64_t, int64_t* start) const override {
    *start = 0;
    return b_;
  }

 private:
  std::string_view b_;
};

class StoreSource : public Source {
 public:
  explicit StoreSource(const TextStore& t) : t_(t), size_(t.size()) {}
  int64_t size() const override { return size_; }
  std::string_view piece(int64_t pos, int64_t* start) const override { return t_.piece(pos, start); }

 private:
  const TextStore& t_;
  int64_t size_;
};

// Byte access that keeps the last piece, so walking a word costs no lookup per byte.
// -1 outside the text: the edges separate words as a delimiter does.
class Cursor {
 public:
  explicit Cursor(const Source& src) : src_(src), size_(src.size()) {}
  int at(int64_t pos) {
    if (pos < 0 || pos >= size_) return -1;
    if (pos < start_ || pos >= start_ + int64_t(piece_.size())) piece_ = src_.piece(pos, &start_);
    return static_cast<unsigned char>(piece_[size_t(pos - start_)]);
  }
  bool delimiterAt(int64_t pos) {
    const int c = at(pos);
    return c < 0 || isWordDelimiter(char(c));
  }
  bool wordStartAt(int64_t pos) { return !delimiterAt(pos) && delimiterAt(pos - 1); }

 private:
  const Source& src_;
  int64_t size_;
  std::string_view piece_;
  int64_t start_ = 0;
};

bool nextWordStart(Cursor& cur, int64_t& p, int64_t& c, int step) {
  if (step > 0) {
    if (c > 0 && cur.wordStartAt(p)) return true;
    while (c > 0 && !cur.delimiterAt(p)) ++p, --c;
    while (c > 0 && cur.delimiterAt(p)) ++p, --c;
    return c > 0;
  }
  while (c > 0 && cur.delimiterAt(p)) --p, --c;
  if (c <= 0) return false;
  while (c > 0 && !cur.delimiterAt(p)) --p, --c;
  if (!cur.delimiterAt(p)) return false;  // the word begins below the positions looked at
  ++p, ++c;
  return true;
}

// Horspool's search with the comparison map, both ways, inside one contiguous buffer.
class Matcher {
 public:
  Matcher(std::string_view s, const Map& map) : map_(map), m_(int64_t(s.size())) {
    pat_.resize(s.size());
    for (size_t i = 0; i < s.size(); ++i) pat_[i] = map[static_cast<unsigned char>(s[i])];
    fwd_.fill(m_);
    bwd_.fill(m_);
    for (int64_t k = 0; k + 1 < m_; ++k) fwd_[pat_[size_t(k)]] = m_ - 1 - k;
    for (int64_t k = m_ - 1; k >= 1; --k) bwd_[pat_[size_t(k)]] = k;
  }
  int64_t length() const { return m_; }

  // First i in [lo, hi] where the pattern matches buf + i, or -1; buf holds hi + m bytes.
  int64_t first(const char* buf, int64_t lo, int64_t hi) const {
    const auto* b = reinterpret_cast<const unsigned char*>(buf);
    const unsigned char last = pat_[size_t(m_ - 1)];
    for (int64_t i = lo; i <= hi;) {
      const unsigned char c = map_[b[i + m_ - 1]];
      if (c == last && equalAt(b + i)) return i;
      i += fwd_[c];
    }
    return -1;
  }
  // Last i in [lo, hi] where the pattern matches, or -1.
  int64_t last(const char* buf, int64_t lo, int64_t hi) const {
    const auto* b = reinterpret_cast<const unsigned char*>(buf);
    const unsigned char head = pat_[0];
    for (int64_t i = hi; i >= lo;) {
      const unsigned char c = map_[b[i]];
      if (c == head && equalAt(b + i)) return i;
      i -= bwd_[c];
    }
    return -1;
  }

 private:
  bool equalAt(const unsigned char* b) const {
    for (int64_t j = 0; j < m_; ++j)
      if (map_[b[j]] != pat_[size_t(j)]) return false;
    return true;
  }

  const Map& map_;
  int64_t m_;
  std::basic_string<unsigned char> pat_;
  std::array<int64_t, 256> fwd_{};
  std::array<int64_t, 256> bwd_{};
};

// Copies [from, from + n) of the text, for the few candidates that straddle two pieces.
std::string gather(const Source& src, int64_t from, int64_t n) {
  std::string out;
  out.reserve(size_t(n));
  while (n > 0) {
    int64_t start = 0;
    const std::string_view p = src.piece(from, &start);
    if (p.empty()) break;
    const int64_t take = std::min<int64_t>(n, start + int64_t(p.size()) - from);
    out.append(p.data() + (from - start), size_t(take));
    from += take;
    n -= take;
  }
  return out;
}

// The first (down) or last (up) candidate in [lo, hi] that matches, ignoring words.
std::optional<int64_t> rawSearch(const Source& src, const Matcher& mt, int64_t lo, int64_t hi,
                                 bool down) {
  const int64_t m = mt.length();
  if (down) {
    for (int64_t pos = lo; pos <= hi;) {
      int64_t cs = 0;
      const std::string_view p = src.piece(pos, &cs);
      if (p.empty()) break;
      const int64_t ce = cs + int64_t(p.size());
      int64_t a = pos, b = std::min(hi, ce - m);
      if (a <= b) {
        const int64_t r = mt.first(p.data(), a - cs, b - cs);
        if (r >= 0) return cs + r;
      }
      a = std::max(pos, ce - m + 1);
      b = std::min(hi, ce - 1);
      if (a <= b) {
        const std::string seam = gather(src, a, b - a + m);
        const int64_t r = mt.first(seam.data(), 0, b - a);
        if (r >= 0) return a + r;
      }
      pos = ce;
    }
    return std::nullopt;
  }
  for (int64_t pos = hi; pos >= lo;) {
    int64_t cs = 0;
    const std::string_view p = src.piece(pos, &cs);
    if (p.empty()) break;
    const int64_t ce = cs + int64_t(p.size());
    int64_t a = std::max({lo, cs, ce - m + 1}), b = pos;
    if (a <= b) {
      const std::string seam = gather(src, a, b - a + m);
      const int64_t r = mt.last(seam.data(), 0, b - a);
      if (r >= 0) return a + r;
    }
    a = std::max(lo, cs);
    b = std::min(pos, ce - m);
    if (a <= b) {
      const int64_t r = mt.last(p.data(), a - cs, b - cs);
      if (r >= 0) return cs + r;
    }
    pos = cs - 1;
  }
  return std::nullopt;
}

// Upwards, replace-all has already replaced what follows a candidate that ends at pos: the byte
// after it is the replacement's (ch), not the original's; -1 is the end of the text. Downwards
// no such case arises: a whole-word match that ends where the next one starts is impossible.
struct Neighbour {
  int64_t pos = -1;
  int ch = -1;
};

bool separates(int ch) { return ch < 0 || isWordDelimiter(char(ch)); }

std::optional<int64_t> search(const Source& src, Cursor& cur, const Matcher& mt, int64_t lo,
                              int64_t hi, const SearchOptions& o, const Neighbour& nb = {}) {
  const int64_t m = mt.length();
  while (lo <= hi) {
    const std::optional<int64_t> r = rawSearch(src, mt, lo, hi, o.down);
    if (!r || !o.wholeWord) return r;
    const int64_t p = *r;
    const int after = !o.down && p + m == nb.pos ? nb.ch : cur.at(p + m);
    if (cur.wordStartAt(p) && separates(after)) return r;
    // No match can start inside the word of this one: go on from the next word's start.
    int64_t q = o.down ? p + 1 : p - 1;
    int64_t c = o.down ? hi - q + 1 : q - lo + 1;
    if (!nextWordStart(cur, q, c, o.down ? 1 : -1)) return std::nullopt;
    if (o.down) lo = q; else hi = q;
  }
  return std::nullopt;
}

// The candidates of the first step: down, from the end of the selection; up, those that end
// where the selection begins.
bool candidates(int64_t size, int64_t selStart, int64_t selLength, int64_t m, bool down,
                int64_t& lo, int64_t& hi) {
  if (size <= 0 || m <= 0) return false;
  selStart = std::clamp<int64_t>(selStart, 0, size);
  selLength = std::clamp<int64_t>(selLength, 0, size - selStart);
  if (down) {
    lo = selStart + selLength;
    hi = size - m;
  } else {
    lo = 0;
    hi = selStart - m;
  }
  return lo <= hi;
}

std::optional<int64_t> chercheDans(const Source& src, int64_t selStart, int64_t selLength,
                                   std::string_view s, const SearchOptions& o) {
  int64_t lo = 0, hi = 0;
  if (!candidates(src.size(), selStart, selLength, int64_t(s.size()), o.down, lo, hi))
    return std::nullopt;
  const Matcher mt(s, o.matchCase ? identityMap() : upperMap());
  Cursor cur(src);
  return search(src, cur, mt, lo, hi, o);
}

}  // namespace

bool isWordDelimiter(char c) {
  return !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
}

std::optional<int64_t> ChercheTampon(std::string_view buffer, int64_t selStart, int64_t selLength,
                                     std::string_view s, const SearchOptions& options) {
  return chercheDans(BufferSource(buffer), selStart, selLength, s, options);
}

std::optional<int64_t> ChercheTampon(const TextStore& text, int64_t selStart, int64_t selLength,
                                     std::string_view s, const SearchOptions& options) {
  return chercheDans(StoreSource(text), selStart, selLength, s, options);
}

bool DebutMotSuivant(std::string_view buffer, int64_t& p, int64_t& c, int step) {
  const BufferSource src(buffer);
  Cursor cur(src);
  return nextWordStart(cur, p, c, step);
}

ReplaceAllResult replaceAll(const TextStore& text, int64_t selStart, int64_t selLength,
                            std::string_view s, std::string_view replacement,
                            const SearchOptions& o, const std::function<void(double)>& progress) {
  ReplaceAllResult result;
  const int64_t size = text.size();
  const int64_t m = int64_t(s.size());
  const int64_t rl = int64_t(replacement.size());
  int64_t lo = 0, hi = 0;
  if (!candidates(size, selStart, selLength, m, o.down, lo, hi)) {
    result.text = text;
    return result;
  }
  const StoreSource src(text);
  Cursor cur(src);
  const Matcher mt(s, o.matchCase ? identityMap() : upperMap());

  TextStore::Builder out;
  int64_t copied = 0;     // the original text before this is in out
  int64_t outSize = 0;
  constexpr int64_t kProgressStep = int64_t(1) << 22;
  int64_t nextReport = kProgressStep;
  const auto copyTo = [&](int64_t end) {
    while (copied < end) {
      int64_t start = 0;
      const std::string_view p = text.piece(copied, &start);
      const int64_t n = std::min(end, start + int64_t(p.size())) - copied;
      out.append(p.substr(size_t(copied - start), size_t(n)));
      copied += n;
      outSize += n;
    }
    if (progress && copied >= nextReport) {
      progress(double(copied) / double(size));
      nextReport = copied + kProgressStep;
    }
  };
  const auto replaceAt = [&](int64_t p) {
    copyTo(p);
    out.append(replacement);
    outSize += rl;
    copied = p + m;
    ++result.count;
  };

  if (o.down) {
    while (lo <= hi) {
      const std::optional<int64_t> r = search(src, cur, mt, lo, hi, o);
      if (!r) break;
      replaceAt(*r);
      result.caret = outSize;
      lo = *r + m;
    }
  } else {
    Neighbour nb;
    std::vector<int64_t> found;
    while (lo <= hi) {
      const std::optional<int64_t> r = search(src, cur, mt, lo, hi, o, nb);
      if (!r) break;
      found.push_back(*r);
      const int following = *r + m == nb.pos ? nb.ch : cur.at(*r + m);
      nb = {*r, rl > 0 ? static_cast<unsigned char>(replacement.front()) : following};
      hi = *r - m;
      if (progress && found.size() % 65536 == 0) progress(double(size - *r) / double(size));
    }
    if (!found.empty()) result.caret = found.back() + rl;
    for (auto it = found.rbegin(); it != found.rend(); ++it) replaceAt(*it);
  }
  if (result.count == 0) {
    result.text = text;
    return result;
  }
  copyTo(size);
  result.text = out.finish();
  return result;
}
