#include "StoreDriver.h"

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace storecheck {

namespace {

int64_t ssize(const std::string& s) { return static_cast<int64_t>(s.size()); }

std::string str(int64_t v) { return std::to_string(v); }

// Where each line of the plain text starts: 0 and after every CR LF.
std::vector<int64_t> lineStarts(const std::string& t) {
  std::vector<int64_t> starts{0};
  for (size_t lf = t.find('\n', 1); lf != std::string::npos; lf = t.find('\n', lf + 1))
    if (t[lf - 1] == '\r') starts.push_back(static_cast<int64_t>(lf) + 1);
  return starts;
}

bool sameText(const TextStore& store, const std::string& t) {
  if (store.size() != ssize(t)) return false;
  for (int64_t pos = 0; pos < ssize(t);) {
    int64_t start = -1;
    const std::string_view p = store.piece(pos, &start);
    if (p.empty() || start != pos || t.compare(static_cast<size_t>(pos), p.size(), p) != 0)
      return false;
    pos += static_cast<int64_t>(p.size());
  }
  return true;
}

// The plain text's edit, clamped as the store clamps.
void apply(std::string& t, int64_t from, int64_t length, std::string_view bytes) {
  from = std::clamp<int64_t>(from, 0, ssize(t));
  length = std::clamp<int64_t>(length, 0, ssize(t) - from);
  t.replace(static_cast<size_t>(from), static_cast<size_t>(length), bytes);
}

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}
  bool done() const { return at_ >= in_.size(); }
  uint8_t byte() { return done() ? 0 : static_cast<uint8_t>(in_[at_++]); }
  uint32_t u16() { return byte() | uint32_t{byte()} << 8; }

 private:
  std::string_view in_;
  size_t at_ = 0;
};

// A position: anywhere, at or next to a chunk boundary, or out of range.
int64_t position(Reader& r, const TextStore& s) {
  const uint8_t kind = r.byte();
  const int64_t raw = r.u16();
  const int64_t size = s.size();
  switch (kind % 8) {
    case 0:
    case 1: {
      int64_t start = 0;
      const std::string_view p = s.piece(raw * size / 65536, &start);
      return start + (kind & 8 ? static_cast<int64_t>(p.size()) : 0) + kind / 16 % 5 - 2;
    }
    case 2:
      return kind & 8 ? size + raw % 5 : -(raw % 5) - 1;
    default:
      return raw * (size + 1) / 65536;
  }
}

int64_t length(Reader& r, int64_t size) {
  const uint8_t kind = r.byte();
  if (kind < 200) return kind % 8;
  if (kind < 250) return r.u16() % 512;
  return r.u16() * (size + 1) / 65536;
}

// Bytes for an insertion: mostly words and CR LF, with lone CR and LF and odd bytes.
std::string bytes(Reader& r) {
  static const char* const tokens[] = {"\r\n", "\r\n", "a",  "bc", " ",    "<x>", "\xe9", "\r",
                                       "\n",   "\n\r", "\0", "z",  "\x85", "\t",  "\r\n\r\n", "é"};
  std::string out;
  for (int n = r.byte() % 24; n > 0; --n) {
    const uint8_t b = r.byte();
    const char* tok = tokens[b % 16];
    out += b % 16 == 10 ? std::string_view("\0", 1) : std::string_view(tok);
  }
  return out;
}

// A large block (up to maxSize): many short lines, empty lines, or one long run without a break.
std::string block(Reader& r, int64_t maxSize) {
  const int64_t size = (1 + r.byte()) * (maxSize / 256);
  const uint8_t kind = r.byte();
  std::string unit;
  switch (kind % 4) {
    case 0: unit = std::string(kind / 4 % 64, 'w') + "\r\n"; break;
    case 1: unit = "\r\n"; break;
    case 2: unit = "x"; break;
    default: unit = "\r\r\n\n"; break;
  }
  std::string out;
  out.reserve(static_cast<size_t>(size));
  while (ssize(out) < size) out += unit;
  out.resize(static_cast<size_t>(size));
  return out;
}

struct Snapshot {
  TextStore store;
  std::string text;
};

struct HeldView {
  std::unique_ptr<TextLines> lines;
  std::string text;
  std::vector<int64_t> starts;
};

std::string checkView(const TextLines& view, const std::string& t,
                      const std::vector<int64_t>& starts, uint64_t seed) {
  const int64_t n = ssize(t);
  if (view.count() != static_cast<int64_t>(starts.size()))
    return "view: " + str(view.count()) + " lines for " + str(starts.size());
  std::mt19937_64 rng(seed);
  const int64_t count = view.count();
  const bool every = count <= 300;
  for (int64_t k = 0; k < (every ? count : 80); ++k) {
    const int64_t i = every ? k : k < 2 ? k * (count - 1) : static_cast<int64_t>(rng() % count);
    const int64_t end = i + 1 < count ? starts[i + 1] - 2 : n;
    if (view.line(i) != std::string_view(t).substr(starts[i], end - starts[i]))
      return "view: line " + str(i) + " differs";
  }
  if (!view.line(-1).empty() || !view.line(count).empty()) return "view: a line out of range";
  return {};
}

}  // namespace

std::string referenceNormalise(std::string_view in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c != '\r' && c != '\n') {
      out += c;
      continue;
    }
    if (i + 1 < in.size() && (in[i + 1] == '\r' || in[i + 1] == '\n') && in[i + 1] != c) ++i;
    out += "\r\n";
  }
  return out;
}

std::string compare(const TextStore& s, const std::string& t, bool every, uint64_t seed) {
  if (std::string fault = s.structureFault(); !fault.empty()) return "structure: " + fault;
  const int64_t n = ssize(t);
  if (s.size() != n) return "size " + str(s.size()) + " for " + str(n);
  if (!sameText(s, t)) return "text differs";
  const std::vector<int64_t> starts = lineStarts(t);
  const int64_t lines = static_cast<int64_t>(starts.size());
  if (s.lineCount() != lines) return "lineCount " + str(s.lineCount()) + " for " + str(lines);
  const auto lineEnd = [&](int64_t i) { return i + 1 < lines ? starts[i + 1] - 2 : n; };

  std::mt19937_64 rng(seed);
  const auto draw = [&](int64_t lo, int64_t hi) {  // in [lo, hi]
    return lo + static_cast<int64_t>(rng() % static_cast<uint64_t>(hi - lo + 1));
  };
  std::vector<int64_t> lineSample{-3, -1, lines, lines + 4}, posSample{-2, -1, n, n + 1, n + 9};
  if (every) {
    for (int64_t i = 0; i < lines; ++i) lineSample.push_back(i);
    for (int64_t p = 0; p < n; ++p) posSample.push_back(p);
  } else {
    lineSample.insert(lineSample.end(), {0, lines - 1});
    for (int k = 0; k < 64; ++k) lineSample.push_back(draw(0, lines - 1));
    for (int k = 0; k < 256; ++k) posSample.push_back(draw(0, n));
    for (int64_t pos = 0; pos < n;) {  // around each chunk boundary
      int64_t start = 0;
      pos += static_cast<int64_t>(s.piece(pos, &start).size());
      for (int64_t d = -2; d <= 2; ++d) posSample.push_back(pos + d);
      lineSample.push_back(s.lineOf(pos));
    }
  }

  for (const int64_t i : lineSample) {
    const int64_t line = std::clamp<int64_t>(i, 0, lines - 1);
    if (s.lineStart(i) != starts[line])
      return "lineStart(" + str(i) + ") " + str(s.lineStart(i)) + " for " + str(starts[line]);
    if (s.lineLength(i) != lineEnd(line) - starts[line])
      return "lineLength(" + str(i) + ") " + str(s.lineLength(i)) + " for " +
             str(lineEnd(line) - starts[line]);
  }
  for (const int64_t p : posSample) {
    const int64_t q = std::clamp<int64_t>(p, 0, n);
    const int64_t line = (std::upper_bound(starts.begin(), starts.end(), q) - starts.begin()) - 1;
    if (s.lineOf(p) != line) return "lineOf(" + str(p) + ") " + str(s.lineOf(p)) + " for " + str(line);
    const bool inside = p >= 0 && p < n;
    if (s.at(p) != (inside ? t[static_cast<size_t>(p)] : '\0')) return "at(" + str(p) + ")";
    const bool splits = p > 0 && p < n && t[p - 1] == '\r' && t[p] == '\n';
    if (s.splitsBreak(p) != splits) return "splitsBreak(" + str(p) + ")";
    int64_t start = -1;
    const std::string_view piece = s.piece(p, &start);
    if (inside ? (piece.empty() || start > p || start + static_cast<int64_t>(piece.size()) <= p ||
                  t.compare(static_cast<size_t>(start), piece.size(), piece) != 0)
               : (p >= n && (!piece.empty() || start != n)))
      return "piece(" + str(p) + ")";
  }
  for (int k = 0; k < 8; ++k) {
    const int64_t from = draw(-3, n + 3), len = draw(-2, n + 3);
    const int64_t f = std::clamp<int64_t>(from, 0, n);
    const int64_t l = std::clamp<int64_t>(len, 0, n - f);
    if (s.text(from, len) != t.substr(static_cast<size_t>(f), static_cast<size_t>(l)))
      return "text(" + str(from) + ", " + str(len) + ")";
  }
  return checkView(*s.lines(), t, starts, seed);
}

std::string drive(std::string_view input, int64_t maxSize) {
  Reader r(input);
  TextStore store;
  std::string text;
  std::vector<Snapshot> snapshots;
  std::vector<HeldView> views;
  for (uint64_t step = 0; !r.done(); ++step) {
    const uint8_t op = r.byte();
    std::string name;
    switch (op % 12) {
      case 0:
      case 1: {
        name = "insert";
        const int64_t at = position(r, store);
        const std::string b = bytes(r);
        if (ssize(text) + ssize(b) > maxSize) break;
        store.replace(at, 0, b);
        apply(text, at, 0, b);
        break;
      }
      case 2:
      case 3: {
        name = "delete";
        const int64_t at = position(r, store), len = length(r, store.size());
        store.replace(at, len, {});
        apply(text, at, len, {});
        break;
      }
      case 4: {
        name = "replace";
        const int64_t at = position(r, store), len = length(r, store.size());
        const std::string b = bytes(r);
        if (ssize(text) + ssize(b) > maxSize) break;
        store.replace(at, len, b);
        apply(text, at, len, b);
        break;
      }
      case 5: {
        name = "block";
        const int64_t at = position(r, store);
        const std::string b = block(r, maxSize);
        if (ssize(text) + ssize(b) > maxSize) break;
        store.replace(at, 0, b);
        apply(text, at, 0, b);
        break;
      }
      case 6: {
        name = "snapshot";
        if (snapshots.size() >= 6) snapshots.erase(snapshots.begin());
        snapshots.push_back({store, text});
        break;
      }
      case 7: {
        name = "restore";
        if (snapshots.empty()) break;
        const Snapshot& snap = snapshots[r.byte() % snapshots.size()];
        if (op & 0x80)
          store = TextStore(snap.store);  // by move
        else
          store = snap.store;
        text = snap.text;
        break;
      }
      case 8: {
        name = "own bytes";  // bytes read from the store's own chunk, inserted into it
        const int64_t at = position(r, store);
        int64_t start = 0;
        const std::string_view p = store.piece(position(r, store), &start);
        const size_t from = p.empty() ? 0 : r.u16() % p.size();
        const std::string_view b = p.substr(from, r.u16() % 2048);
        if (ssize(text) + ssize(std::string(b)) > maxSize) break;
        const std::string copy(b);
        store.replace(at, op & 0x80 ? 1 : 0, b);
        apply(text, at, op & 0x80 ? 1 : 0, copy);
        break;
      }
      case 9: {
        name = "view";
        if (views.size() >= 3) views.erase(views.begin());
        views.push_back({store.lines(), text, lineStarts(text)});
        break;
      }
      case 10: {
        name = "normalise";
        std::string raw = bytes(r) + bytes(r);
        if (op & 0x80 && !raw.empty()) {  // long enough to be loaded in several blocks
          const int64_t size = (1 + r.byte() % 32) * (maxSize / 64);
          while (ssize(raw) < size) raw += raw;
        }
        const std::string fast = TextStore::normalise(raw);
        if (fast != referenceNormalise(raw)) return "normalise differs from the reference";
        const TextStore loaded = TextStore::fromBytes(raw);
        if (std::string fault = compare(loaded, fast, false, step); !fault.empty())
          return "fromBytes: " + fault;
        if (op & 0x40) {  // the loaded text replaces the store's, as opening a file does
          store = loaded;
          text = fast;
          break;
        }
        if (ssize(fast) > 2048) break;
        const int64_t at = position(r, store);
        if (ssize(text) + ssize(fast) > maxSize) break;
        store.replace(at, 0, fast);
        apply(text, at, 0, fast);
        break;
      }
      default: {
        name = "clear or rebuild";
        if (op & 0x80) {
          store.replace(0, store.size() + (op & 0x40 ? 3 : 0), {});
          text.clear();
        } else if (!(TextStore(text) == store)) {
          return "a store rebuilt from the same text compares unequal";
        }
        break;
      }
    }
    const std::string where = "step " + std::to_string(step) + " (" + name + "): ";
    const bool every = ssize(text) <= std::min<int64_t>(2048, maxSize / 32);
    if (std::string fault = compare(store, text, every, step); !fault.empty())
      return where + fault;
    for (const Snapshot& snap : snapshots) {
      if (!sameText(snap.store, snap.text)) return where + "a snapshot changed";
      if ((snap.store == store) != (snap.text == text)) return where + "operator== is wrong";
    }
    for (const HeldView& v : views)
      if (std::string fault = checkView(*v.lines, v.text, v.starts, step); !fault.empty())
        return where + "an earlier " + fault;
  }
  return {};
}

}  // namespace storecheck
