#pragma once
// The tag-scanning rules that every scan of the document text shares, written once: the comment
// state (comments and CDATA sections, whose content is text), the tag's own text, the tag key,
// the quoted value, the attribute quoting check, entity references, and keys compared without
// regard to case. They read a line's Windows-1252 bytes, one byte a character; positions in a
// line are 0-based.
//
// A tag is its own text: from its "<" to its own ">" (quoted values may hold ">"), over the next
// lines when it goes on below. It also stops at the next "<", which no well-formed tag holds, so
// that a text of any number of unfinished tags is still read about once.
//
// A scan walks each line once with walkLine(), which hands it every "<" outside comments and
// CDATA sections, and asks a LineTags of that line for the keys and the checks of the tags
// found there.
#include <cstdint>
#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <QString>

#include "TextLines.h"

namespace analysis {

// The tag picker and the DTD generator still read a tag from a window of this many characters.
constexpr int64_t kTagWindow = 64;

// A tag key, held as a view into its line: "<" + name, then ">" when closed. Every key that the
// tag rules make is closed; the member stays for keys read from other texts. The name never
// holds a ">", so two keys are equal exactly when both members are.
struct TagKey {
  std::string_view name;
  bool closed = false;
  bool valid = false;  // false when the tag has no key: "<?", "<!", an empty element...

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

// Position of the first "-->" or "]]>" in line at or after from, or the line's size: either ends
// a comment or a CDATA section.
int64_t findCommentEnd(std::string_view line, int64_t from);

// Whether a comment ("<!--") or a CDATA section ("<![CDATA[") opens at p.
inline bool opensComment(std::string_view line, int64_t p) {
  const auto n = int64_t(line.size());
  if (p < 0 || p + 4 > n || line[size_t(p)] != '<' || line[size_t(p) + 1] != '!') return false;
  if (line[size_t(p) + 2] == '-') return line[size_t(p) + 3] == '-';
  return line[size_t(p) + 2] == '[' && line.substr(size_t(p), 9) == "<![CDATA[";
}

// Position of the first "<!--" or "<![CDATA[" in line at or after from, or the line's size.
int64_t findCommentStart(std::string_view line, int64_t from);

// The comment state, one position at a time: call skips() for every position p of a line in
// order, before looking at the character there; true when the character lies inside a comment
// or a CDATA section ("-->" or "]]>" from p turns the state off, then "<!--" or "<![CDATA[" from
// p turns it on). One state serves both, so that a scan that starts anywhere falls in step with
// another at the first end it meets. The state carries over from one line to the next; a scan
// starts with it off unless it says otherwise.
struct CommentState {
  bool on = false;
  bool skips(std::string_view line, int64_t p);
};

// The comment state over a whole line, for scans that look at tags only: calls onTag(p) for every
// "<" at p that the state lets through and that does not open a comment or a CDATA section, and
// onCommentEnd(p) when a "-->" or "]]>" at p turns the state off. onTag returns false to leave the rest of the line.
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

// Where the tag whose "<" is at p ends, read from text. The name runs from the "<" (after its
// "/" for an end tag) to a blank, a tab, a line break, ">", "<" or the end of the text; after
// it, quoted values are skipped whole. The tag ends at its own ">" (closed), or at the next "<"
// (stopped), or goes on past the end of the text (a tag that goes on below).
struct TagExtent {
  int64_t nameFrom = 0;
  int64_t nameEnd = 0;
  int64_t end = 0;         // its own ">", the "<" that stops it, or the text's size
  bool closed = false;     // it has its own ">"
  bool goesOn = false;     // it reached the end of the text
  char quote = 0;          // the quote still open where it goes on
};
TagExtent tagExtent(std::string_view text, int64_t p);

// The tag text after a line break, for a tag that goes on: e.end, e.closed, e.goesOn and
// e.quote are updated from the start of text.
void continueTag(std::string_view text, TagExtent& e);

// The attribute quoting check (ControleAttributs) of a whole tag text, from its "<" to its end:
// 0 when every "=" is followed (after blanks and control characters) by a value in double quotes
// or apostrophes closed by a quote of its own kind, each value skipped whole; 4 otherwise.
int attributesOf(std::string_view tagText);

// Whether the "&" at p of line begins an entity reference: "&" + name + ";", "&#" + digits + ";"
// or "&#x" + hexadecimal digits + ";", of any length.
bool isReference(std::string_view line, int64_t p);

// The first "&" in line[from, to) that begins no entity reference, or to.
int64_t findBadReference(std::string_view line, int64_t from, int64_t to);

// The tags of one line: keys and checks of the tags whose "<" is at a given position. A tag that
// goes on below is read on the next lines (joined by CR LF) up to its own ">" when the lines
// are given. The tag last asked about is remembered, as a scan asks for its key and then for
// its checks.
class LineTags {
 public:
  explicit LineTags(std::string_view line) : line_(line) {}
  LineTags(const TextLines& lines, int64_t index) : line_(lines.line(index)), lines_(&lines), index_(index) {}

  std::string_view line() const { return line_; }
  // The tag's second character is "/".
  bool isEndTag(int64_t p) const { return p + 1 < int64_t(line_.size()) && line_[size_t(p) + 1] == '/'; }
  // The key of the start tag at p ("<body>" for "<body class="x">"), or no key: "<?", "<!", an
  // empty element (its own ">" follows a "/"), a name ending in "/".
  TagKey startKey(int64_t p);
  // The key of the end tag at p: "</body>" gives "<body>"; none when "</" is followed by "/",
  // "?" or "!", or when the tag's own ">" follows a "/".
  TagKey endKey(int64_t p);
  // endKey or startKey, by the tag's second character.
  TagKey key(int64_t p);
  // ControleAttributs of the start tag at p: 0 correct, 4 badly quoted.
  int attributes(int64_t p);
  // The text of the tag at p: from its "<" to its own ">" included, or to where it stops. A view
  // into the line, or into a copy of its lines for a tag that goes on below.
  std::string_view text(int64_t p);
  // The key of a start tag that has its own ">", an empty element read as a start tag ("<br/>"
  // gives "<br>"). No key for a tag without its own ">", end tags, "<?", "<!", and names ending
  // in "/". *body receives the tag's text up to its ">" (and the "/" of an empty element),
  // excluded.
  TagKey tagTextKey(int64_t p, std::string_view* body);
  // Where the text of the tag at p ends (past its last character): how many lines below this
  // one, and the offset in that line.
  struct TagEnd {
    int64_t linesBelow = 0;
    int64_t offset = 0;
  };
  TagEnd textEnd(int64_t p);
  // Takes the extent of the tag at p as a scan of the same text has just read it, so that it is
  // not read twice (for a LineTags of one text, without lines below).
  void knowExtent(int64_t p, const TagExtent& e);

 private:
  const TagExtent& extent(int64_t p);
  TagKey keyAt(int64_t p);

  std::string_view line_;
  const TextLines* lines_ = nullptr;
  int64_t index_ = 0;
  int64_t extentOf_ = -1;
  TagExtent extent_;
  int64_t lastLine_ = 0;  // where the tag last asked about ends, as an index past index_
  bool slash_ = false;    // its own ">" follows a "/"
  std::string spanned_;   // its text, when it goes on below
};

// The same rules on one text held apart, for callers that have a tag in hand.
// NomBalise: the key of the start tag that begins text (at its "<").
TagKey NomBalise(std::string_view text);
// The key of the end tag that begins text: "</body>" gives "<body>".
TagKey endTagKey(std::string_view text);
// ValeurGuillemets: the first quoted value of a text, apostrophes counting as double quotes, at
// most 1024 characters; the whole text when it holds no quote. A view into text.
std::string_view ValeurGuillemets(std::string_view text);
// ControleAttributs of the start tag that begins text. 0 when correct, 4 when badly quoted.
int ControleAttributs(std::string_view text);

// Equality of two keys without regard to case (Windows-1252 upper-casing: "é" equals "É").
bool sameKeyIgnoringCase(std::string_view a, std::string_view b);
bool sameKeyIgnoringCase(const TagKey& a, const TagKey& b);

}  // namespace analysis
