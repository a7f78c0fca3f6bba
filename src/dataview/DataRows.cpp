#include "DataRows.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_map>

#include "tags.h"

namespace dataview {

namespace {

// A start tag longer than this is read as cut there (the write-back's bound on one tag).
constexpr int64_t kLongestTag = 65536;
// An element name longer than this opens no row: no document has one, and each label is kept.
constexpr int64_t kLongestName = 1024;

bool isControl(char c) { return uint8_t(c) < 32; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
// Where an element name ends; a line break or the text's end ends it too.
bool endsName(char c) { return isSpace(c) || c == '>' || c == '<' || c == '/' || c == '"' || c == '\''; }

// The attributes of a start tag's text (without its ">"), from k, as the write-back reads
// them: a name, "=", and a value between a pair of the same quotes (to the tag's end when the
// quote never closes) or, unquoted, up to a blank. onAttribute(name, valueStart, valueEnd,
// quote) returns false to stop.
template <class OnAttribute>
void forEachAttribute(std::string_view tag, size_t k, OnAttribute&& onAttribute) {
  while (k < tag.size()) {
    while (k < tag.size() && (isSpace(tag[k]) || tag[k] == '/')) ++k;
    const size_t nameStart = k;
    while (k < tag.size() && !isSpace(tag[k]) && tag[k] != '=' && tag[k] != '/') ++k;
    const std::string_view name = tag.substr(nameStart, k - nameStart);
    while (k < tag.size() && isSpace(tag[k])) ++k;
    if (k >= tag.size() || tag[k] != '=') continue;
    ++k;
    while (k < tag.size() && isSpace(tag[k])) ++k;
    size_t valueStart = k, valueEnd = k;
    char quote = 0;
    if (k < tag.size() && (tag[k] == '"' || tag[k] == '\'')) {
      quote = tag[k];
      valueStart = k + 1;
      valueEnd = std::min(tag.find(quote, valueStart), tag.size());
      k = valueEnd + 1;
    } else {
      while (k < tag.size() && !isSpace(tag[k])) ++k;
      valueEnd = k;
    }
    if (!onAttribute(name, valueStart, valueEnd, quote)) return;
  }
}

// The end of the start tag whose "<" is at q in a text of n characters read by at(i): its ">"
// outside the quoted values (a value may hold ">"), or the next "<" (a "<" never stands in a
// tag, so a tag left open ends there and no two tags share text), or the text's end.
template <class At>
int64_t startTagEnd(At&& at, int64_t q, int64_t n) {
  bool value = false;  // after "=", where a quote opens a value
  for (int64_t p = q + 1; p < n; ++p) {
    const char c = at(p);
    if (c == '>' || c == '<') return p;
    if (value && (c == '"' || c == '\'')) {
      ++p;
      while (p < n && at(p) != c && at(p) != '<') ++p;
      if (p >= n || at(p) == '<') return p;
      value = false;
    } else if (c == '=') {
      value = true;
    } else if (!isSpace(c)) {
      value = false;
    }
  }
  return n;
}

// The first c at or after from in the store, or -1; reads the chunks where they lie.
int64_t findInStore(const TextStore& s, int64_t from, char c) {
  while (from < s.size()) {
    int64_t chunk = 0;
    const std::string_view piece = s.piece(from, &chunk);
    const auto offset = size_t(from - chunk);
    const void* hit = std::memchr(piece.data() + offset, c, piece.size() - offset);
    if (hit) return chunk + (static_cast<const char*>(hit) - piece.data());
    from = chunk + int64_t(piece.size());
  }
  return -1;
}

// The next position of a pattern at or after a position, remembered: the scan asks for
// increasing positions, so each pattern is searched for about once over the text.
class Next {
 public:
  Next(std::string_view text, std::string_view pattern) : text_(text), pattern_(pattern) {}
  int64_t from(int64_t p) {
    if (p > found_) found_ = analysis::findText(text_, p, pattern_);
    return found_;
  }

 private:
  std::string_view text_;
  std::string_view pattern_;
  int64_t found_ = -1;
};

// The data scan state over one contiguous text: calls onTag(q) for every "<" that comments and
// CDATA sections leave to look at.
template <class OnTag>
void walkData(std::string_view t, OnTag&& onTag) {
  const auto n = int64_t(t.size());
  Next commentEnd(t, "-->"), sectionEnd(t, "]]");
  bool on = false;
  int64_t p = 0;
  while (p < n) {
    if (on) {
      const int64_t q = std::min(commentEnd.from(p), sectionEnd.from(p));
      if (q >= n) return;
      on = false;
      p = q + 1;
      continue;
    }
    // A run of "<" is read a byte at a time, without a search at every one.
    const int64_t q = t[size_t(p)] == '<' ? p : analysis::findByte(t, p, '<');
    if (q >= n) return;
    p = q + 1;
    if (q + 2 < n && t[size_t(q) + 1] == '!' &&
        (t[size_t(q) + 2] == '[' || (t[size_t(q) + 2] == '-' && q + 3 < n && t[size_t(q) + 3] == '-')))
      on = true;
    else
      onTag(q);
  }
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && uint8_t(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && uint8_t(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

class Labels {
 public:
  explicit Labels(std::vector<std::string>& labels) : labels_(labels) {}
  int32_t id(std::string_view label) {
    const auto it = ids_.find(label);
    if (it != ids_.end()) return it->second;
    labels_.emplace_back(label);
    return ids_[labels_.back()] = int32_t(labels_.size() - 1);
  }

 private:
  std::vector<std::string>& labels_;
  // Looked up by view, so that a row's label is not copied to be found.
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, int32_t, Hash, std::equal_to<>> ids_;
};

}  // namespace

void DataRows::add(int32_t label, bool element, int64_t start, int64_t length) {
  Row r;
  r.labelBits = uint32_t(label) | (element ? 0u : 0x80000000u);
  // A stretch past 4 GiB is shown cut; the write-back reads the text itself.
  r.length = uint32_t(std::min<int64_t>(length, UINT32_MAX));
  r.startLow = uint32_t(start);
  if (text.size() > int64_t(UINT32_MAX)) {
    startHigh.resize(rows.size());
    startHigh.push_back(uint8_t(start >> 32));
  }
  rows.push_back(r);
}

std::string DataRows::value(size_t row) const {
  const Row& r = rows[row];
  std::string v = text.text(start(row), r.length);
  if (r.element()) std::erase_if(v, isControl);
  return v;
}

int32_t DataRows::rank(size_t row) const {
  const uint32_t label = rows[row].labelBits;
  int32_t n = 0;
  for (size_t i = 0; i <= row; ++i)
    if (rows[i].labelBits == label) ++n;
  return n;
}

int64_t DataRows::memoryUsed() const {
  int64_t bytes = int64_t(rows.capacity() * sizeof(Row) + startHigh.capacity());
  for (const std::string& l : labels) bytes += int64_t(sizeof(std::string) + l.capacity());
  return bytes;
}

DataRows Remplit(const TextStore& store) {
  DataRows d;
  d.text = store;
  // One contiguous copy while filling; the rows keep positions only.
  const std::string copy = store.text();
  const std::string_view t = copy;
  const auto n = int64_t(t.size());

  // Where "</name>" occurs last, for every name: an element has a value when its end tag
  // follows its start tag anywhere in the text. A name holds no "<", so the text after each
  // "</" is read up to the next "<" at most, and no byte is read twice.
  std::unordered_map<std::string_view, int64_t> lastEnd;
  // "/" is looked for rather than "<", which a run of "<" would stop at every byte.
  for (int64_t slash = analysis::findByte(t, 1, '/'); slash < n; slash = analysis::findByte(t, slash + 1, '/')) {
    if (t[size_t(slash) - 1] != '<') continue;
    const int64_t q = slash - 1;
    int64_t close = q + 2;
    while (close < n && close - q - 2 <= kLongestName && t[size_t(close)] != '>' && t[size_t(close)] != '<') ++close;
    if (close < n && t[size_t(close)] == '>') lastEnd[t.substr(size_t(q + 2), size_t(close - q - 2))] = q;
  }

  Labels labels(d.labels);
  std::string attribute;
  walkData(t, [&](int64_t q) {
    if (q + 1 < n && (t[size_t(q) + 1] == '?' || t[size_t(q) + 1] == '!' || t[size_t(q) + 1] == '/' ||
                      t[size_t(q) + 1] == '<'))
      return;
    const int64_t end = startTagEnd([&](int64_t i) { return t[size_t(i)]; }, q, n);
    const std::string_view g = t.substr(size_t(q), size_t(std::min(end, q + kLongestTag) - q));
    size_t nameEnd = 1;
    while (nameEnd < g.size() && !endsName(g[nameEnd])) ++nameEnd;
    const std::string_view name = g.substr(1, nameEnd - 1);
    if (name.empty() || int64_t(name.size()) > kLongestName) return;
    // A tag left open has no content.
    const bool closed = end < n && t[size_t(end)] == '>';
    const int64_t contentStart = closed ? end + 1 : end;
    const auto endTag = lastEnd.find(name);
    const int64_t length = closed && endTag != lastEnd.end() && endTag->second >= contentStart
                               ? analysis::findByte(t, contentStart, '<') - contentStart
                               : 0;
    d.add(labels.id(name), true, contentStart, length);
    forEachAttribute(g, nameEnd, [&](std::string_view attr, size_t valueStart, size_t valueEnd, char) {
      if (attr.empty()) return true;
      attribute.assign(name);
      attribute.append("->");
      attribute.append(attr);
      d.add(labels.id(attribute), false, q + int64_t(valueStart), int64_t(valueEnd - valueStart));
      return true;
    });
  });
  return d;
}

Write EcritBalise(const TextStore& store, int32_t rank, std::string_view label, std::string_view value) {
  Write w;
  const size_t arrow = label.find("->");
  const std::string_view element = arrow == std::string_view::npos ? label : label.substr(0, arrow);
  const std::string_view attribute =
      arrow == std::string_view::npos ? std::string_view() : trimmed(label.substr(arrow + 2, 256));
  const std::string key = "<" + std::string(element);

  // The rank-th start tag of that name outside comments and CDATA sections, its name read as
  // the rows read it.
  int64_t place = -1;
  {
    const std::unique_ptr<TextLines> lines = store.lines();
    int32_t count = 0;
    int64_t position = 0;
    bool on = false;
    for (int64_t i = 0, total = lines->count(); i < total && place < 0; ++i) {
      const std::string_view line = lines->line(i);
      const auto n = int64_t(line.size());
      for (int64_t p = 0; p < n; ++p) {
        if (line.compare(size_t(p), 4, "<!--") == 0)
          on = true;
        else if (line.compare(size_t(p), 3, "-->") == 0)
          on = false;
        else if (line.compare(size_t(p), 3, "<![") == 0)
          on = true;
        else if (line.compare(size_t(p), 2, "]]") == 0)
          on = false;
        if (on || line[size_t(p)] != '<') continue;
        if (p + int64_t(key.size()) > n || line.compare(size_t(p), key.size(), key) != 0) continue;
        const char after = p + int64_t(key.size()) < n ? line[size_t(p) + key.size()] : '\n';
        if (endsName(after) && ++count == rank) {
          place = position + p;
          break;
        }
      }
      position += n + 2;
    }
  }
  if (place < 0) return w;
  // The tag ends as the rows read it: at its ">", or left open.
  const int64_t close = startTagEnd([&](int64_t i) { return store.at(i); }, place, store.size());
  const bool closed = close < store.size() && store.at(close) == '>';

  if (attribute.empty() && arrow == std::string_view::npos) {
    // An empty-element tag or a tag left open has no content, and a line break alone before
    // the next tag is layout, not a value.
    if (!closed || store.at(close - 1) == '/') return w;
    const int64_t next = findInStore(store, close + 1, '<');
    if (next < 0) return w;
    const int64_t length = next - close - 1;
    if (length == 2 && store.text(close + 1, 2) == "\r\n") return w;
    w.found = true;
    if (length == int64_t(value.size()) && store.text(close + 1, length) == value) return w;
    w.from = close + 1;
    w.length = length;
    w.text = TextStore::normalise(value);
    return w;
  }

  // The attribute of that name, read as the rows read it.
  const std::string tag = store.text(place, std::min(close - place, kLongestTag));
  forEachAttribute(tag, key.size(), [&](std::string_view name, size_t valueStart, size_t valueEnd, char quote) {
    if (name != attribute) return true;
    if (quote && valueEnd >= tag.size()) return false;  // a quote that never closes: no place
    w.found = true;
    if (std::string_view(tag).substr(valueStart, valueEnd - valueStart) == value) return false;
    std::string v = TextStore::normalise(value);
    if (quote && v.find(quote) == std::string::npos) {
      w.from = place + int64_t(valueStart);
      w.length = int64_t(valueEnd - valueStart);
      w.text = v;
      return false;
    }
    // The value holds the quote that delimits it, or stood unquoted: it is written whole
    // between the other quote, or between double quotes with "&quot;" when it holds both.
    char other = quote == '"' ? '\'' : '"';
    if (v.find(other) != std::string::npos) {
      other = '"';
      std::string escaped;
      for (const char c : v) escaped += c == '"' ? std::string("&quot;") : std::string(1, c);
      v = escaped;
    }
    w.from = place + int64_t(quote ? valueStart - 1 : valueStart);
    w.length = int64_t(valueEnd - valueStart) + (quote ? 2 : 0);
    w.text = other + v + other;
    return false;
  });
  return w;
}

}  // namespace dataview
