#pragma once
// The tag-scanning rules that every scan of the document text shares, written once: the comment
// state, the tag window, the tag key, the quoted value, the attribute quoting check, and keys
// compared without regard to case. They read a line's Windows-1252 bytes, one byte a character;
// positions in a line are 0-based; a tag window is at most 64 characters of its line from the
// "<" and never reaches into the next line.
//
// A scan walks each line once with walkLine(), which hands it every "<" outside comments, and
// asks a LineTags of that line for the keys and the checks of the tags found there. LineTags
// remembers its searches along the line, so a line of any number of tags is read a bounded
// number of times, however close together the tags' windows lie.
#include <cstdint>
#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <QString>

namespace analysis {

constexpr int64_t kTagWindow = 64;

// A tag key, held as a view into its line: "<" + name, then ">" when closed (the window had a
// blank or a ">" after the name). The name never holds a ">", so two keys are equal exactly
// when both members are.
struct TagKey {
  std::string_view name;
  bool closed = false;
  bool valid = false;  // false when the window has no key: "<?", "<!", "/>" in the window...

  std::string text() const;  // "<body>"; empty when not valid
  QString toQString() const;  // text() decoded from Windows-1252, for fault texts
  bool is(std::string_view key) const;  // the key's text is exactly key
};

// Position of the first c in s at or after from, or s's size. Inline, sixteen bytes at a time:
// tags lie close together, and a library call per search would cost more than the search.
inline int64_t findByte(std::string_view s, int64_t from, char c) {
  const auto n = int64_t(s.size());
  const char* d = s.data();
  int64_t i = from < 0 ? 0 : from;
#ifdef __SSE2__
  if (i + 16 <= n) {
    const __m128i v = _mm_set1_epi8(c);
    do {
      const int m = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i)), v));
      if (m) return i + __builtin_ctz(unsigned(m));
      i += 16;
    } while (i + 16 <= n);
  }
#endif
  for (; i < n; ++i)
    if (d[i] == c) return i;
  return n;
}

// Position of the first occurrence of pattern (not empty) in s at or after from, or s's size.
inline int64_t findText(std::string_view s, int64_t from, std::string_view pattern) {
  const auto n = int64_t(s.size());
  const auto m = int64_t(pattern.size());
  for (int64_t i = findByte(s, from, pattern[0]); i + m <= n; i = findByte(s, i + 1, pattern[0])) {
    int64_t j = 1;
    while (j < m && s[size_t(i + j)] == pattern[size_t(j)]) ++j;
    if (j == m) return i;
  }
  return n;
}

// Position of the first "-->" in line at or after from, or the line's size.
int64_t findCommentEnd(std::string_view line, int64_t from);

inline bool opensComment(std::string_view line, int64_t p) {
  return p >= 0 && p + 4 <= int64_t(line.size()) && line[size_t(p)] == '<' && line[size_t(p) + 1] == '!' &&
         line[size_t(p) + 2] == '-' && line[size_t(p) + 3] == '-';
}

// The comment state, one position at a time: call skips() for every position p of a line in
// order, before looking at the character there; true when the character lies inside a comment
// ("-->" from p turns the state off, then "<!--" from p turns it on). The state carries over from
// one line to the next; a scan starts with it off unless it says otherwise.
struct CommentState {
  bool on = false;
  bool skips(std::string_view line, int64_t p);
};

// The comment state over a whole line, for scans that look at tags only: calls onTag(p) for every
// "<" at p that the state lets through and that does not open a comment, and onCommentEnd(p)
// when a "-->" at p turns the state off. onTag returns false to leave the rest of the line.
// inComment carries the state from one line to the next.
template <class OnTag, class OnCommentEnd>
void walkLine(std::string_view line, bool& inComment, OnTag&& onTag, OnCommentEnd&& onCommentEnd) {
  const auto n = int64_t(line.size());
  int64_t p = 0;
  while (p < n) {
    if (inComment) {
      const int64_t q = findCommentEnd(line, p);
      if (q >= n) return;
      inComment = false;
      onCommentEnd(q);
      p = q + 1;  // the "-" there is looked at, and is no tag
      continue;
    }
    const int64_t q = findByte(line, p, '<');
    if (q >= n) return;
    p = q + 1;
    if (opensComment(line, q))
      inComment = true;
    else if (!onTag(q))
      return;
  }
}

template <class OnTag>
void walkLine(std::string_view line, bool& inComment, OnTag&& onTag) {
  walkLine(line, inComment, onTag, [](int64_t) {});
}

// The tags of one line: keys and checks of the tags whose "<" is at a given position. Searches
// along the line are remembered, so asking for increasing positions reads the line about once.
class LineTags {
 public:
  explicit LineTags(std::string_view line);

  std::string_view line() const { return line_; }
  // The window's second character is "/".
  bool isEndTag(int64_t p) const { return p + 1 < int64_t(line_.size()) && line_[size_t(p) + 1] == '/'; }
  // NomBalise of the window at p: "<body>" for "<body class="x">"; no key for "</", "<?", "<!", a
  // window holding "/>" anywhere, or a name ending in "/". Without blank or ">" in the window, the
  // key is the whole window.
  TagKey startKey(int64_t p);
  // The key of the end tag at p: NomBalise of its window without the "/" ("</body>" gives
  // "<body>").
  TagKey endKey(int64_t p);
  // endKey or startKey, by the window's second character.
  TagKey key(int64_t p) { return isEndTag(p) ? endKey(p) : startKey(p); }
  // ControleAttributs of the line from p (at most 1024 characters): 0 correct, 4 badly quoted.
  int attributes(int64_t p);
  // The key of a start tag read as its tag text: from the "<" at p to the first ">" after it,
  // a "/" just before that ">" dropped, so that "<br/>" reads as "<br>". No key for a "<" without
  // ">" after it, for end tags, "<?", "<!", and what NomBalise gives none. *bodyEnd receives the
  // end of the text before its ">" (and before the dropped "/").
  TagKey tagTextKey(int64_t p, int64_t* bodyEnd);
  // The first ">", and the first blank (space; a tab is no blank), at or after p, or the line's
  // size.
  int64_t nextChevron(int64_t p) { return chevron_.from(p); }
  int64_t nextBlank(int64_t p) { return blank_.from(p); }

 private:
  friend TagKey NomBalise(std::string_view window);
  friend TagKey endTagKey(std::string_view window);

  // The first occurrence of one byte at or after a position, remembered for the next question.
  class Next {
   public:
    Next(std::string_view line, char c) : line_(line), c_(c) {}
    int64_t from(int64_t p) {
      if (p >= start_ && p <= found_) return found_;
      start_ = p;
      found_ = findByte(line_, p, c_);
      return found_;
    }

   private:
    std::string_view line_;
    char c_;
    int64_t start_ = 0;
    int64_t found_ = -1;  // valid for positions in [start_, found_]
  };

  TagKey keyIn(int64_t from, int64_t end);  // NomBalise of "<" + line[from, end)
  int64_t slashChevron(int64_t p);          // the first "/>" at or after p (its "/"), or the size

  std::string_view line_;
  Next blank_, chevron_, equal_, slash_;
  int64_t slashStart_ = 0;
  int64_t slashFound_ = -1;
};

// The same rules on one text held apart, for callers that have a window or a value in hand.
// NomBalise: the key of a start-tag window, a text that begins with its "<" (the whole text is
// the window).
TagKey NomBalise(std::string_view window);
// The key of an end-tag window: NomBalise of the window without its "/" in second position.
TagKey endTagKey(std::string_view window);
// ValeurGuillemets: the first quoted value of a text, apostrophes counting as double quotes, at
// most 1024 characters; the whole text when it holds no quote. A view into text.
std::string_view ValeurGuillemets(std::string_view text);
// ControleAttributs of one start tag; text is its line from the "<" (the first 1024 characters
// are read). 0 when correct, 4 when badly quoted.
int ControleAttributs(std::string_view text);

// Equality of two keys without regard to case (Windows-1252 upper-casing: "é" equals "É").
bool sameKeyIgnoringCase(std::string_view a, std::string_view b);
bool sameKeyIgnoringCase(const TagKey& a, const TagKey& b);

}  // namespace analysis
