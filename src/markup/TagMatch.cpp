#include "TagMatch.h"

#include <vector>

#include "Markup.h"

namespace markup {

namespace {

// How far back the "<" of the tag around a position is looked for: further than any tag that
// people write, and a bounded cost on every caret move.
constexpr int64_t kTagReach = 1 << 16;

bool sameName(Reader& r, const Token& a, const Token& b) {
  const int64_t n = a.nameEnd - a.nameBegin;
  return n == b.nameEnd - b.nameBegin && r.same(a.nameBegin, b.nameBegin, n);
}

Tag tagOf(const Token& t) { return {t.begin, t.end, t.kind == Kind::End}; }

// The token of the start or end tag whose "<" is at p, or a token of another kind.
Token tokenAt(Reader& r, int64_t p) {
  if (p < 0 || p >= r.size() || r.at(p) != '<') return {};
  return Scanner(r).next(p);
}

}  // namespace

Tag tagAround(const TextStore& text, int64_t pos) {
  Reader r(text);
  pos = std::clamp<int64_t>(pos, 0, r.size());
  const int64_t lt = r.findBack(std::min(pos, r.size() - 1), '<', kTagReach);
  const Token t = tokenAt(r, lt);
  if ((t.kind != Kind::Start && t.kind != Kind::End) || pos > t.end) return {};
  return tagOf(t);
}

Tag partnerOf(const TextStore& text, const Tag& tag, int64_t reach) {
  Reader r(text);
  const Token own = tokenAt(r, tag.begin);
  if (own.kind != (tag.isEnd ? Kind::End : Kind::Start)) return {};
  Scanner s(r);
  if (!tag.isEnd) {
    const int64_t limit = reach > r.size() - own.end ? r.size() : own.end + reach;
    int64_t depth = 0;
    for (int64_t p = own.end; p < limit;) {
      const Token t = s.next(p);
      if (t.kind == Kind::Bad) return {};
      if (t.kind == Kind::Start) ++depth;
      else if (t.kind == Kind::End && depth-- == 0) return sameName(r, own, t) ? tagOf(t) : Tag{};
      p = t.end;
    }
    return {};
  }
  // Backwards, the start tags still open when the end tag comes; read from where the reach
  // allows, at a "<".
  int64_t p = own.begin > reach ? r.find(own.begin - reach, '<') : 0;
  std::vector<Token> open;
  while (p < own.begin) {
    const Token t = s.next(p);
    if (t.kind == Kind::Bad) {
      p = r.find(p + 1, '<');  // a stray "<" in the text: the nesting goes on after it
      continue;
    }
    if (t.kind == Kind::Start) open.push_back(t);
    else if (t.kind == Kind::End && !open.empty()) open.pop_back();
    p = t.end;
  }
  // Past the end tag's "<": it lies inside other markup (a comment...) and closes nothing.
  if (p != own.begin || open.empty() || !sameName(r, open.back(), own)) return {};
  return tagOf(open.back());
}

}  // namespace markup
