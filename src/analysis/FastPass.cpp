#include "FastPass.h"

#include <cstring>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "tags.h"

namespace analysis::detail {

namespace {

// Position of the first a or b in d[from, n), or n, sixteen bytes at a time.
inline int64_t findEither(const char* d, int64_t from, int64_t n, char a, char b) {
  int64_t i = from;
#ifdef __SSE2__
  const __m128i va = _mm_set1_epi8(a);
  const __m128i vb = _mm_set1_epi8(b);
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)));
    if (m) return i + __builtin_ctz(unsigned(m));
  }
#endif
  for (; i < n; ++i)
    if (d[i] == a || d[i] == b) return i;
  return n;
}

// findCommentEnd on the whole text: one search for either byte, so that a text without any
// "]" is not read to its end at every comment.
int64_t commentEnd(const char* d, int64_t from, int64_t n) {
  for (int64_t i = findEither(d, from, n, '-', ']'); i + 2 < n; i = findEither(d, i + 1, n, '-', ']'))
    if (d[i + 1] == d[i] && d[i + 2] == '>') return i;
  return n;
}

// No standalone fault. The first "<?xml" starts a window of 1024 characters of the lines joined
// by CR LF, where no break is shorter than in the text: without a break the window is the
// text's own bytes, and a "standalone=" of the window lies in the text's first 1024 bytes.
bool declarationClean(std::string_view s) {
  const size_t x = s.find("<?xml");
  if (x == std::string_view::npos) return true;
  const std::string_view window = s.substr(x, 1024);
  const size_t j = window.find("standalone=");
  if (j == std::string_view::npos) return true;
  if (window.find_first_of("\r\n") != std::string_view::npos) return false;
  const std::string_view v = ValeurGuillemets(window.substr(j));
  return !v.empty() && std::string_view("yes no").find(v) != std::string_view::npos;
}

// The bytes that end a tag's name, and those the tag's extent stops at or toggles on.
struct Classes {
  bool endsName[256] = {};
  Classes() {
    for (char c : {' ', '>', '<', '\t', '\r', '\n'}) endsName[uint8_t(c)] = true;
  }
};
const Classes kClasses;

struct Name {
  const char* d;
  size_t n;
  bool operator==(const Name& o) const { return n == o.n && sameBytes(d, o.d, n); }
};

}  // namespace

// The walk of walkLine over the whole text, the entity check's "&" found in the same search.
// The tags are read by the rules of LineTags, which never look past a line break in a way that
// a different break would change. The text is clean when every start tag is correctly quoted,
// none repeats the root's key, and every end tag with a key closes the newest open element of
// exactly its key, all closed at the end: then no end tag is unopened, none left open, and no
// start tag is overlapped, as each one's own end tag closes it after every element opened
// since. Anything else is left to the line-by-line check.
bool provedWellFormed(std::string_view s, TagHook* hook) {
  if (!declarationClean(s)) return false;
  const char* d = s.data();
  const auto n = int64_t(s.size());
  std::vector<Name> open;
  open.reserve(64);
  Name root{nullptr, 0};
  bool rooted = false;
  LineTags whole(s);
  for (int64_t p = findEither(d, 0, n, '<', '&'); p < n; p = findEither(d, p, n, '<', '&')) {
    if (d[p] == '&') {
      if (!isReference(s, p)) return false;
      ++p;
      continue;
    }
    if (opensComment(s, p)) {
      p = commentEnd(d, p + 1, n) + 1;
      continue;
    }
    const int64_t q = p++;
    const char second = p < n ? d[p] : 0;
    if (second == '?' || second == '!') {
      if (hook && !hook->onTag(whole, 0, q)) hook = nullptr;
      continue;
    }
    const bool isEnd = second == '/';
    const int64_t nameFrom = q + 1 + (isEnd ? 1 : 0);
    int64_t nameEnd = -1;
    int64_t i = nameFrom;
    bool equals = false;
    bool closed = false;
    bool decided = false;
    bool ampersand = true;  // unless known otherwise, the tag's own bytes are searched again
#ifdef __SSE2__
    // Most tags are read in the sixteen bytes after their "<": where the name ends, and the
    // ">" or "<" that ends the tag when no quote comes first.
    if (q + 17 <= n) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + q + 1));
      const auto mask = [&x](char c) { return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(c)))); };
      const unsigned lt = mask('<'), gt = mask('>');
      const unsigned quotes = mask('"') | mask('\'');
      const unsigned from = unsigned(nameFrom - (q + 1));
      const unsigned ends = (lt | gt | mask(' ') | mask('\t') | mask('\r') | mask('\n')) >> from << from;
      if (ends) {
        const unsigned ne = unsigned(__builtin_ctz(ends));
        nameEnd = q + 1 + ne;
        const unsigned stops = (lt | gt | quotes) >> ne << ne;
        if (stops) {
          const unsigned st = unsigned(__builtin_ctz(stops));
          const unsigned before = (1u << st) - 1;
          i = q + 1 + st;
          equals = mask('=') & before;
          if (!(quotes >> st & 1)) {
            closed = gt >> st & 1;
            ampersand = mask('&') & before;
            decided = true;
          }
        } else {
          i = q + 17;
          equals = mask('=');
        }
      }
    }
#endif
    if (nameEnd < 0) {
      while (i < n && !kClasses.endsName[uint8_t(d[i])]) equals |= d[i++] == '=';
      nameEnd = i;
    }
    // The rest of the tag up to its own ">", quoted values skipped, or up to a "<".
    char quote = 0;
    for (; !decided && i < n; ++i) {
      const char c = d[i];
      if (c == '<') break;
      equals |= c == '=';
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '>') {
        closed = true;
        break;
      } else if (c == '"' || c == '\'') {
        quote = c;
      }
    }
    if (hook) {
      // The hook reads the tag as it was just read here.
      TagExtent e;
      e.nameFrom = nameFrom;
      e.nameEnd = nameEnd;
      e.end = i;
      e.closed = closed;
      e.goesOn = !closed && i >= n;
      e.quote = e.goesOn ? quote : 0;
      whole.knowExtent(q, e);
      if (!hook->onTag(whole, 0, q)) hook = nullptr;
    }
    // The walk goes on after the tag, or inside it when an "&" there needs the entity check.
    if (!ampersand) p = closed ? i + 1 : i;
    const bool slash = closed && i - 1 >= nameFrom && d[i - 1] == '/';
    const bool keyed = !slash && !(nameEnd > nameFrom && d[nameEnd - 1] == '/');
    const Name name{d + nameFrom, size_t(nameEnd - nameFrom)};
    if (isEnd) {
      if (nameFrom < n && (d[nameFrom] == '/' || d[nameFrom] == '?' || d[nameFrom] == '!')) continue;
      if (!keyed) continue;
      if (open.empty() || !(open.back() == name)) return false;
      open.pop_back();
      continue;
    }
    if (equals && attributesOf(s.substr(size_t(q), size_t((closed ? i + 1 : i) - q))) != 0) return false;
    if (!keyed) continue;
    if (!rooted) {
      root = name;
      rooted = true;
    } else if (root == name) {
      return false;
    }
    open.push_back(name);
  }
  return open.empty();
}

TextPlace placeOfByte(const BufferLines& lines, int64_t offset) {
  const char* base = lines.bytes().data();
  int64_t lo = 0, hi = lines.count() - 1;
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo + 1) / 2;
    if (lines.line(mid).data() - base <= offset)
      lo = mid;
    else
      hi = mid - 1;
  }
  return {lo, offset - (lines.line(lo).data() - base)};
}

}  // namespace analysis::detail
