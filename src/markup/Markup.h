#pragma once
// The markup of a document read as tokens, straight from the text store's chunks: text, start,
// end and empty-element tags, comments, CDATA sections, processing instructions, declarations
// (a DOCTYPE with its internal subset). For the commands that follow the nesting of elements
// (indenting, the matching tag); the checker keeps its own rules.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "TextStore.h"

namespace markup {

inline bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Random access to a store's bytes, kept on the chunk read last, so that a walk costs a lookup
// per chunk rather than per byte.
class Reader {
 public:
  explicit Reader(const TextStore& text) : text_(text), size_(text.size()) {}

  int64_t size() const { return size_; }

  // 0 <= p < size().
  char at(int64_t p) {
    if (p < start_ || p >= start_ + int64_t(piece_.size())) piece_ = text_.piece(p, &start_);
    return piece_[size_t(p - start_)];
  }

  // The first c at or after from, or size().
  int64_t find(int64_t from, char c) {
    while (from < size_) {
      at(from);
      const size_t offset = size_t(from - start_);
      const void* hit = std::memchr(piece_.data() + offset, c, piece_.size() - offset);
      if (hit) return start_ + (static_cast<const char*>(hit) - piece_.data());
      from = start_ + int64_t(piece_.size());
    }
    return size_;
  }

  // The last c at or before from and no more than reach bytes before it, or -1.
  int64_t findBack(int64_t from, char c, int64_t reach) {
    const int64_t stop = std::max<int64_t>(0, from - reach);
    while (from >= stop) {
      at(from);
      const int64_t low = std::max(stop, start_);
      for (int64_t p = from; p >= low; --p)
        if (piece_[size_t(p - start_)] == c) return p;
      from = low - 1;
    }
    return -1;
  }

  // The first occurrence of pattern at or after from, or size().
  int64_t find(int64_t from, std::string_view pattern) {
    const auto m = int64_t(pattern.size());
    for (int64_t p = find(from, pattern[0]); p + m <= size_; p = find(p + 1, pattern[0]))
      if (startsWith(p, pattern)) return p;
    return size_;
  }

  bool startsWith(int64_t p, std::string_view literal) {
    if (p < 0 || p + int64_t(literal.size()) > size_) return false;
    for (size_t i = 0; i < literal.size(); ++i)
      if (at(p + int64_t(i)) != literal[i]) return false;
    return true;
  }

  // True when [from, to) holds only blanks.
  bool blank(int64_t from, int64_t to) {
    while (from < to) {
      at(from);
      const auto end = std::min(to, start_ + int64_t(piece_.size()));
      for (int64_t p = from; p < end; ++p)
        if (!isBlank(piece_[size_t(p - start_)])) return false;
      from = end;
    }
    return true;
  }

  // Hands [from, to) to out, a chunk at a time.
  template <class Out>
  void copy(int64_t from, int64_t to, Out& out) {
    while (from < to) {
      at(from);
      const auto end = std::min(to, start_ + int64_t(piece_.size()));
      out.append(piece_.substr(size_t(from - start_), size_t(end - from)));
      from = end;
    }
  }

  bool same(int64_t a, int64_t b, int64_t length) {
    for (int64_t i = 0; i < length; ++i)
      if (at(a + i) != at(b + i)) return false;
    return true;
  }

 private:
  const TextStore& text_;
  int64_t size_;
  std::string_view piece_;
  int64_t start_ = 0;
};

enum class Kind { Text, Start, Empty, End, Comment, CData, Instruction, Declaration, Bad };

struct Token {
  Kind kind = Kind::Bad;
  int64_t begin = 0, end = 0;          // [begin, end) in the text
  int64_t nameBegin = 0, nameEnd = 0;  // start and end tags
  bool preserve = false;               // a start tag with xml:space="preserve"
};

// Reads the tokens of a text; next(p) is the token that begins at p.
class Scanner {
 public:
  explicit Scanner(Reader& r) : r_(r) {}

  // The token at p (p < size); Kind::Bad when markup there does not end or is malformed.
  Token next(int64_t p) {
    Token t;
    t.begin = p;
    if (r_.at(p) != '<') {
      t.kind = Kind::Text;
      t.end = r_.find(p, '<');
      return t;
    }
    const char second = p + 1 < r_.size() ? r_.at(p + 1) : '\0';
    if (second == '/') return endTag(t, p + 2);
    if (second == '?') return closedBy(t, Kind::Instruction, p + 2, "?>");
    if (second != '!') return startTag(t, p + 1);
    if (r_.startsWith(p, "<!--")) return closedBy(t, Kind::Comment, p + 4, "-->");
    if (r_.startsWith(p, "<![CDATA[")) return closedBy(t, Kind::CData, p + 9, "]]>");
    return declaration(t, p + 2);
  }

 private:
  Token& closedBy(Token& t, Kind kind, int64_t from, std::string_view close) {
    const int64_t q = r_.find(from, close);
    if (q >= r_.size()) return t;
    t.kind = kind;
    t.end = q + int64_t(close.size());
    return t;
  }

  // "<!DOCTYPE ... [ ... ]>": quoted literals and comments of the internal subset may hold
  // ">" and brackets.
  Token& declaration(Token& t, int64_t q) {
    int depth = 0;
    const int64_t n = r_.size();
    while (q < n) {
      const char c = r_.at(q);
      if (c == '"' || c == '\'') {
        q = r_.find(q + 1, c);
        if (q >= n) return t;
      } else if (c == '<' && r_.startsWith(q, "<!--")) {
        q = r_.find(q + 4, "-->");
        if (q >= n) return t;
        q += 2;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        --depth;
      } else if (c == '>' && depth <= 0) {
        t.kind = Kind::Declaration;
        t.end = q + 1;
        return t;
      }
      ++q;
    }
    return t;
  }

  int64_t nameEnd(int64_t q) {
    const int64_t n = r_.size();
    while (q < n) {
      const char c = r_.at(q);
      if (isBlank(c) || c == '>' || c == '/' || c == '=' || c == '"' || c == '\'' || c == '<') break;
      ++q;
    }
    return q;
  }

  int64_t skipBlanks(int64_t q) {
    while (q < r_.size() && isBlank(r_.at(q))) ++q;
    return q;
  }

  Token& endTag(Token& t, int64_t q) {
    t.nameBegin = q;
    t.nameEnd = nameEnd(q);
    q = skipBlanks(t.nameEnd);
    if (t.nameEnd == t.nameBegin || q >= r_.size() || r_.at(q) != '>') return t;
    t.kind = Kind::End;
    t.end = q + 1;
    return t;
  }

  Token& startTag(Token& t, int64_t q) {
    const int64_t n = r_.size();
    t.nameBegin = q;
    t.nameEnd = q = nameEnd(q);
    if (t.nameEnd == t.nameBegin) return t;
    for (;;) {
      const int64_t afterName = q;
      q = skipBlanks(q);
      if (q >= n) return t;
      const char c = r_.at(q);
      if (c == '>') {
        t.kind = Kind::Start;
        t.end = q + 1;
        return t;
      }
      if (c == '/') {
        if (q + 1 >= n || r_.at(q + 1) != '>') return t;
        t.kind = Kind::Empty;
        t.end = q + 2;
        return t;
      }
      // An attribute: a blank before its name, then name = "value" or 'value'.
      if (q == afterName) return t;
      const int64_t name = q;
      q = nameEnd(q);
      if (q == name) return t;
      const int64_t nameLength = q - name;
      q = skipBlanks(q);
      if (q >= n || r_.at(q) != '=') return t;
      q = skipBlanks(q + 1);
      if (q >= n) return t;
      const char quote = r_.at(q);
      if (quote != '"' && quote != '\'') return t;
      const int64_t value = q + 1;
      q = r_.find(value, quote);
      if (q >= n) return t;
      if (nameLength == 9 && r_.startsWith(name, "xml:space") && q - value == 8 && r_.startsWith(value, "preserve"))
        t.preserve = true;
      ++q;
    }
  }

  Reader& r_;
};

}  // namespace markup
