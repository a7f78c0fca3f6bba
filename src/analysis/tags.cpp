#include "tags.h"

#include <QByteArray>

#include <algorithm>

#include "Cp1252.h"

namespace analysis {

std::string TagKey::text() const {
  if (!valid) return {};
  std::string t;
  t.reserve(name.size() + 2);
  t += '<';
  t += name;
  if (closed) t += '>';
  return t;
}

QString TagKey::toQString() const {
  const std::string t = text();
  return cp1252::decode(QByteArray(t.data(), qsizetype(t.size())));
}

bool TagKey::is(std::string_view key) const {
  if (!valid) return key.empty();
  const size_t n = name.size();
  if (key.size() != n + 1 + (closed ? 1 : 0) || key[0] != '<') return false;
  if (closed && key[n + 1] != '>') return false;
  return key.substr(1, n) == name;
}

int64_t findCommentEnd(std::string_view l, int64_t from) {
  const auto n = int64_t(l.size());
  for (int64_t i = findByte(l, from, '-'); i + 2 < n; i = findByte(l, i + 1, '-'))
    if (l[size_t(i) + 1] == '-' && l[size_t(i) + 2] == '>') return i;
  return n;
}

bool CommentState::skips(std::string_view l, int64_t p) {
  if (p + 3 <= int64_t(l.size()) && l.compare(size_t(p), 3, "-->") == 0) on = false;
  if (opensComment(l, p)) on = true;
  return on;
}

LineTags::LineTags(std::string_view line)
    : line_(line), blank_(line, ' '), chevron_(line, '>'), equal_(line, '='), slash_(line, '/') {}

int64_t LineTags::slashChevron(int64_t p) {
  if (slashFound_ >= 0 && p >= slashStart_ && p <= slashFound_) return slashFound_;
  slashStart_ = p;
  const auto n = int64_t(line_.size());
  int64_t x = p;
  for (;;) {
    x = slash_.from(x);
    if (x + 1 >= n) {
      x = n;
      break;
    }
    if (line_[size_t(x) + 1] == '>') break;
    ++x;
  }
  slashFound_ = x;
  return x;
}

namespace {

bool excluded(char c) { return c == '/' || c == '?' || c == '!'; }

}  // namespace

// The key of the window "<" + line[from, end): the window's first character stands at from - 1
// for a start tag, and is the "<" before a removed "/" for an end tag.
TagKey LineTags::keyIn(int64_t from, int64_t end) {
  TagKey r;
  if (from < end && excluded(line_[size_t(from)])) return r;
  if (from < end && slashChevron(from) + 1 < end) return r;
  // Names are short: reading to the first blank or ">" beats asking the remembered searches.
  int64_t k = from;
  while (k < end && line_[size_t(k)] != ' ' && line_[size_t(k)] != '>') ++k;
  if (k >= end) {
    r.name = line_.substr(size_t(from), size_t(end - from));
  } else {
    if (k > from && line_[size_t(k) - 1] == '/') return r;
    r.name = line_.substr(size_t(from), size_t(k - from));
    r.closed = true;
  }
  r.valid = true;
  return r;
}

TagKey LineTags::startKey(int64_t p) {
  const int64_t end = std::min(int64_t(line_.size()), p + kTagWindow);
  if (p < 0 || p >= end) return {};
  return keyIn(p + 1, end);
}

TagKey LineTags::endKey(int64_t p) {
  const int64_t end = std::min(int64_t(line_.size()), p + kTagWindow);
  if (p < 0 || p >= end) return {};
  return keyIn(std::min(p + 2, end), end);
}

int LineTags::attributes(int64_t p) {
  const std::string_view l = line_;
  int64_t end = std::min(int64_t(l.size()), p + 1024);
  const int64_t gt = chevron_.from(p);
  if (gt < end) end = gt + 1;
  if (equal_.from(p) >= end) return 0;  // the usual tag without attributes
  const auto quote = [](char c) { return c == '"' || c == '\''; };
  int64_t i = p;
  for (;;) {
    const int64_t eq = equal_.from(i);
    if (eq >= end) return 0;
    int64_t j = eq + 1;
    while (j < end && static_cast<unsigned char>(l[size_t(j)]) <= 32) ++j;
    if (j >= end || !quote(l[size_t(j)])) return 4;
    ++j;
    int64_t k = j;
    while (k < end && !quote(l[size_t(k)])) ++k;
    if (k >= end) return 4;
    i = j;  // on from the value's start: an "=" inside the value is looked at next
  }
}

TagKey LineTags::tagTextKey(int64_t p, int64_t* bodyEnd) {
  const std::string_view s = line_;
  if (p + 1 >= int64_t(s.size()) || excluded(s[size_t(p) + 1])) return {};
  // Only the end of the text can then hold a ">", which keeps the key a view of the line.
  const int64_t gt = chevron_.from(p + 1);
  if (gt >= int64_t(s.size())) return {};
  const bool slash = s[size_t(gt) - 1] == '/';
  const int64_t end = slash ? gt - 1 : gt;
  if (slash && s[size_t(gt) - 2] == '/') return {};  // "//>" still holds "/>"
  const int64_t k = std::min(blank_.from(p + 1), end);
  if (k > p + 1 && s[size_t(k) - 1] == '/') return {};
  *bodyEnd = end;
  return {s.substr(size_t(p) + 1, size_t(k - p - 1)), true, true};
}

TagKey NomBalise(std::string_view window) {
  if (window.empty()) return {};
  LineTags t(window);
  return t.keyIn(1, int64_t(window.size()));
}

TagKey endTagKey(std::string_view window) {
  if (window.empty()) return {};
  LineTags t(window);
  return t.keyIn(std::min<int64_t>(2, int64_t(window.size())), int64_t(window.size()));
}

std::string_view ValeurGuillemets(std::string_view text) {
  const auto quote = [](char c) { return c == '"' || c == '\''; };
  size_t q = 0;
  while (q < text.size() && !quote(text[q])) ++q;
  // Without any quote the text comes back whole; once cut, no quote of either kind remains, so
  // turning apostrophes into double quotes never shows in the result.
  if (q >= text.size()) return text;
  const std::string_view rest = text.substr(q + 1, 1024);
  for (size_t i = 0; i < rest.size(); ++i)
    if (quote(rest[i])) return rest.substr(0, i);
  return rest;
}

int ControleAttributs(std::string_view text) {
  LineTags t(text.substr(0, 1024));
  return t.attributes(0);
}

bool sameKeyIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && cp1252::upperByte(a[i]) != cp1252::upperByte(b[i])) return false;
  return true;
}

bool sameKeyIgnoringCase(const TagKey& a, const TagKey& b) {
  return a.valid == b.valid && a.closed == b.closed && sameKeyIgnoringCase(a.name, b.name);
}

}  // namespace analysis
