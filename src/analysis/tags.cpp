#include "tags.h"

#include <QByteArray>

#include <algorithm>

#include "StoreText.h"

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
  return storetext::decode(t);
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
  int64_t dash = findByte(l, from, '-');
  int64_t bracket = findByte(l, from, ']');
  for (;;) {
    const int64_t i = std::min(dash, bracket);
    if (i + 2 >= n) return n;
    if (l[size_t(i) + 1] == l[size_t(i)] && l[size_t(i) + 2] == '>') return i;
    if (i == dash)
      dash = findByte(l, i + 1, '-');
    else
      bracket = findByte(l, i + 1, ']');
  }
}

int64_t findCommentStart(std::string_view l, int64_t from) {
  const auto n = int64_t(l.size());
  for (int64_t i = findByte(l, from, '<'); i < n; i = findByte(l, i + 1, '<'))
    if (opensComment(l, i)) return i;
  return n;
}

bool CommentState::skips(std::string_view l, int64_t p) {
  if (p + 3 <= int64_t(l.size()) && (l.compare(size_t(p), 3, "-->") == 0 || l.compare(size_t(p), 3, "]]>") == 0))
    on = false;
  if (opensComment(l, p)) on = true;
  return on;
}

namespace {

bool excluded(char c) { return c == '/' || c == '?' || c == '!'; }

bool endsName(char c) { return c == ' ' || c == '>' || c == '<' || c == '\t' || c == '\r' || c == '\n'; }

bool quote(char c) { return c == '"' || c == '\''; }

bool startsEntityName(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || uint8_t(c) >= 0x80;
}

bool inEntityName(char c) { return startsEntityName(c) || (c >= '0' && c <= '9') || c == '.' || c == '-'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

TagExtent tagExtent(std::string_view s, int64_t p) {
  const auto n = int64_t(s.size());
  TagExtent e;
  int64_t i = p + 1;
  if (i < n && s[size_t(i)] == '/') ++i;
  e.nameFrom = i;
  while (i < n && !endsName(s[size_t(i)])) ++i;
  e.nameEnd = i;
  e.end = i;
  continueTag(s, e);
  return e;
}

void continueTag(std::string_view s, TagExtent& e) {
  const auto n = int64_t(s.size());
  char q = e.quote;
  for (int64_t i = e.goesOn ? 0 : e.end; i < n; ++i) {
    const char c = s[size_t(i)];
    if (c == '<') {
      e.end = i;
      e.goesOn = false;
      return;
    }
    if (q) {
      if (c == q) q = 0;
    } else if (c == '>') {
      e.end = i;
      e.closed = true;
      e.goesOn = false;
      e.quote = 0;
      return;
    } else if (quote(c)) {
      q = c;
    }
  }
  e.end = n;
  e.goesOn = true;
  e.quote = q;
}

int attributesOf(std::string_view s) {
  const auto n = int64_t(s.size());
  for (int64_t i = 0;;) {
    const int64_t eq = findByte(s, i, '=');
    if (eq >= n) return 0;
    int64_t j = eq + 1;
    while (j < n && uint8_t(s[size_t(j)]) <= 32) ++j;
    if (j >= n || !quote(s[size_t(j)])) return 4;
    const int64_t k = findByte(s, j + 1, s[size_t(j)]);
    if (k >= n) return 4;
    i = k + 1;  // past the whole value, whatever it holds
  }
}

bool isReference(std::string_view l, int64_t p) {
  const auto n = int64_t(l.size());
  int64_t i = p + 1;
  if (i < n && l[size_t(i)] == '#') {
    ++i;
    const bool hex = i < n && l[size_t(i)] == 'x';
    if (hex) ++i;
    const int64_t digits = i;
    while (i < n && (hex ? isHexDigit(l[size_t(i)]) : isDigit(l[size_t(i)]))) ++i;
    return i > digits && i < n && l[size_t(i)] == ';';
  }
  if (i >= n || !startsEntityName(l[size_t(i)])) return false;
  for (++i; i < n && inEntityName(l[size_t(i)]);) ++i;
  return i < n && l[size_t(i)] == ';';
}

int64_t findBadReference(std::string_view l, int64_t from, int64_t to) {
  const std::string_view part = l.substr(0, size_t(std::min<int64_t>(to, int64_t(l.size()))));
  for (int64_t p = findByte(part, from, '&'); p < int64_t(part.size()); p = findByte(part, p + 1, '&'))
    if (!isReference(l, p)) return p;
  return to;
}

const TagExtent& LineTags::extent(int64_t p) {
  if (p == extentOf_) return extent_;
  extentOf_ = p;
  extent_ = tagExtent(line_, p);
  lastLine_ = 0;
  spanned_.clear();
  if (extent_.goesOn && lines_) {
    spanned_.assign(line_.substr(size_t(p)));
    for (int64_t j = index_ + 1; extent_.goesOn && j < lines_->count(); ++j) {
      const std::string_view next = lines_->line(j);
      continueTag(next, extent_);
      lastLine_ = j - index_;
      spanned_ += "\r\n";
      spanned_.append(next.substr(0, size_t(extent_.closed ? extent_.end + 1 : extent_.end)));
    }
    if (lastLine_ == 0) spanned_.clear();
  }
  const std::string_view endLine = lastLine_ ? lines_->line(index_ + lastLine_) : line_;
  const int64_t from = lastLine_ ? 0 : extent_.nameFrom;
  slash_ = extent_.closed && extent_.end - 1 >= from && endLine[size_t(extent_.end) - 1] == '/';
  return extent_;
}

void LineTags::knowExtent(int64_t p, const TagExtent& e) {
  extentOf_ = p;
  extent_ = e;
  lastLine_ = 0;
  spanned_.clear();
  slash_ = e.closed && e.end - 1 >= e.nameFrom && line_[size_t(e.end) - 1] == '/';
}

std::string_view LineTags::text(int64_t p) {
  const TagExtent& e = extent(p);
  if (lastLine_) return spanned_;
  return line_.substr(size_t(p), size_t((e.closed ? e.end + 1 : e.end) - p));
}

LineTags::TagEnd LineTags::textEnd(int64_t p) {
  const TagExtent& e = extent(p);
  return {lastLine_, e.closed ? e.end + 1 : e.end};
}

TagKey LineTags::keyAt(int64_t p) {
  const auto n = int64_t(line_.size());
  if (p < 0 || p >= n) return {};
  if (p + 1 < n && (line_[size_t(p) + 1] == '?' || line_[size_t(p) + 1] == '!')) return {};
  const TagExtent& e = extent(p);
  if (e.nameFrom > p + 1 && e.nameFrom < n && excluded(line_[size_t(e.nameFrom)])) return {};
  if (slash_) return {};  // an empty element
  if (e.nameEnd > e.nameFrom && line_[size_t(e.nameEnd) - 1] == '/') return {};
  return {line_.substr(size_t(e.nameFrom), size_t(e.nameEnd - e.nameFrom)), true, true};
}

TagKey LineTags::startKey(int64_t p) { return isEndTag(p) ? TagKey{} : keyAt(p); }

TagKey LineTags::endKey(int64_t p) { return isEndTag(p) ? keyAt(p) : TagKey{}; }

TagKey LineTags::key(int64_t p) { return keyAt(p); }

int LineTags::attributes(int64_t p) {
  const std::string_view t = text(p);
  // The usual tag without attributes.
  if (findByte(t, 0, '=') >= int64_t(t.size())) return 0;
  return attributesOf(t);
}

TagKey LineTags::tagTextKey(int64_t p, std::string_view* body) {
  const std::string_view s = line_;
  if (p < 0 || p >= int64_t(s.size()) || (p + 1 < int64_t(s.size()) && excluded(s[size_t(p) + 1]))) return {};
  const TagExtent& e = extent(p);
  if (!e.closed) return {};
  const std::string_view t = text(p);
  size_t end = t.size() - 1;  // its ">"
  if (slash_) {
    --end;
    if (end >= 1 && t[end - 1] == '/' && (lastLine_ || int64_t(end) - 1 >= e.nameFrom - p)) return {};  // "//>"
  }
  const int64_t k = std::min(e.nameEnd, p + int64_t(end));
  if (k > e.nameFrom && s[size_t(k) - 1] == '/') return {};
  *body = t.substr(0, end);
  return {s.substr(size_t(e.nameFrom), size_t(k - e.nameFrom)), true, true};
}

TagKey NomBalise(std::string_view text) {
  if (text.size() > 1 && text[1] == '/') return {};
  LineTags t(text);
  return t.key(0);
}

TagKey endTagKey(std::string_view text) {
  if (text.size() < 2 || text[1] != '/') return {};
  LineTags t(text);
  return t.key(0);
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
  if (text.empty()) return 0;
  LineTags t(text);
  return attributesOf(t.text(0));
}

bool sameKeyIgnoringCase(std::string_view a, std::string_view b) {
  return storetext::equalIgnoringCase(a, b);
}

bool sameKeyIgnoringCase(const TagKey& a, const TagKey& b) {
  return a.valid == b.valid && a.closed == b.closed && sameKeyIgnoringCase(a.name, b.name);
}

}  // namespace analysis
