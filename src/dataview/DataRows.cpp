#include "DataRows.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_map>

#include "tags.h"

namespace dataview {

namespace {

// A start tag longer than this is read as cut there: a "<" that no ">" follows would otherwise
// make every later "<" read the rest of the text.
constexpr int64_t kLongestTag = 65536;

bool isControl(char c) { return uint8_t(c) < 32; }

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
    const int64_t q = analysis::findByte(t, p, '<');
    if (q >= n) return;
    p = q + 1;
    if (t.compare(size_t(q), 4, "<!--") == 0 || t.compare(size_t(q), 3, "<![") == 0)
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
    const auto it = ids_.find(std::string(label));
    if (it != ids_.end()) return it->second;
    labels_.emplace_back(label);
    return ids_[labels_.back()] = int32_t(labels_.size() - 1);
  }

 private:
  std::vector<std::string>& labels_;
  std::unordered_map<std::string, int32_t> ids_;
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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
  // follows its start tag anywhere in the text.
  std::unordered_map<std::string_view, int64_t> lastEnd;
  {
    int64_t close = -1;
    for (int64_t q = analysis::findText(t, 0, "</"); q < n; q = analysis::findText(t, q + 1, "</")) {
      if (close < q + 2) close = analysis::findByte(t, q + 2, '>');
      if (close >= n) break;
      if (close - q <= kLongestTag) lastEnd[t.substr(size_t(q + 2), size_t(close - q - 2))] = q;
    }
  }

  Labels labels(d.labels);
  std::string attribute;
  int64_t chevron = -1;
  walkData(t, [&](int64_t q) {
    if (q + 1 < n && (t[size_t(q) + 1] == '?' || t[size_t(q) + 1] == '!' || t[size_t(q) + 1] == '/')) return;
    if (chevron < q) chevron = analysis::findByte(t, q, '>');
    const int64_t tagEnd = std::min({chevron < n ? chevron + 1 : n, q + kLongestTag, n});
    const std::string_view g = t.substr(size_t(q), size_t(tagEnd - q));
    const size_t blank = g.find(' ');
    const std::string_view name =
        blank != std::string_view::npos ? g.substr(1, blank - 1) : g.size() >= 2 ? g.substr(1, g.size() - 2) : std::string_view();
    if (name.empty()) return;
    const auto end = lastEnd.find(name);
    const int64_t length =
        end != lastEnd.end() && end->second >= tagEnd ? analysis::findByte(t, tagEnd, '<') - tagEnd : 0;
    d.add(labels.id(name), true, tagEnd, length);
    // AttributSuivant, turn after turn: a blank, then a name up to "=", then a quoted value.
    std::string_view rest = g;
    for (;;) {
      const size_t b = rest.find(' ');
      if (b == std::string_view::npos) break;
      rest = trimmed(rest.substr(b + 1));
      const size_t eq = rest.find('=');
      if (eq == std::string_view::npos || eq == 0) break;
      const std::string_view attr = rest.substr(0, eq);
      rest = rest.substr(eq + 1);
      const std::string_view value = analysis::ValeurGuillemets(rest);
      attribute.assign(name);
      attribute.append("->");
      attribute.append(attr);
      d.add(labels.id(attribute), false, value.data() - t.data(), int64_t(value.size()));
    }
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

  // The rank-th start tag "<element " or "<element>" outside comments and CDATA sections.
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
        if (p + int64_t(key.size()) + 1 > n || line.compare(size_t(p), key.size(), key) != 0) continue;
        const char after = line[size_t(p) + key.size()];
        if ((after == ' ' || after == '>') && ++count == rank) {
          place = position + p;
          break;
        }
      }
      position += n + 2;
    }
  }
  if (place < 0) return w;
  const int64_t close = findInStore(store, place, '>');
  if (close < 0) return w;

  if (attribute.empty() && arrow == std::string_view::npos) {
    // An empty-element tag has no content, and a line break alone before the next tag is
    // layout, not a value.
    if (store.at(close - 1) == '/') return w;
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

  // The attribute of that name, read as attributes are written: a blank, the name, "=", and
  // a value between a pair of the same quotes (or, unquoted, up to a blank or the tag's end).
  const std::string tag = store.text(place, std::min(close - place, kLongestTag));
  size_t k = key.size();
  while (k < tag.size()) {
    while (k < tag.size() && (isSpace(tag[k]) || tag[k] == '/')) ++k;
    const size_t nameStart = k;
    while (k < tag.size() && !isSpace(tag[k]) && tag[k] != '=' && tag[k] != '/') ++k;
    const std::string_view name = std::string_view(tag).substr(nameStart, k - nameStart);
    while (k < tag.size() && isSpace(tag[k])) ++k;
    if (k >= tag.size() || tag[k] != '=') {
      if (name.empty()) ++k;
      continue;
    }
    ++k;
    while (k < tag.size() && isSpace(tag[k])) ++k;
    size_t valueStart = k, valueEnd = k;
    char quote = 0;
    if (k < tag.size() && (tag[k] == '"' || tag[k] == '\'')) {
      quote = tag[k];
      valueStart = k + 1;
      valueEnd = tag.find(quote, valueStart);
      if (valueEnd == std::string::npos) valueEnd = tag.size();
      k = valueEnd + 1;
    } else {
      while (k < tag.size() && !isSpace(tag[k])) ++k;
      valueEnd = k;
    }
    if (name != attribute) continue;
    if (quote && valueEnd >= tag.size()) return w;  // a quote that never closes: no place
    w.found = true;
    if (std::string_view(tag).substr(valueStart, valueEnd - valueStart) == value) return w;
    std::string v = TextStore::normalise(value);
    if (quote && v.find(quote) == std::string::npos) {
      w.from = place + int64_t(valueStart);
      w.length = int64_t(valueEnd - valueStart);
      w.text = v;
      return w;
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
    return w;
  }
  return w;
}

}  // namespace dataview
