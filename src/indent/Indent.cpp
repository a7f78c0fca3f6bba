#include "Indent.h"

#include <cstring>
#include <vector>

namespace indent {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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

class Scanner {
 public:
  explicit Scanner(Reader& r) : r_(r) {}

  // The token at p (p < size).
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

// Output gathered in blocks, so that the caller's function is called once per block.
class Output {
 public:
  explicit Output(const std::function<void(std::string_view)>& sink) : sink_(sink) { block_.reserve(kBlock); }
  ~Output() { flush(); }
  void append(std::string_view s) {
    if (s.size() >= kBlock) {
      flush();
      sink_(s);
      return;
    }
    if (block_.size() + s.size() > kBlock) flush();
    block_.append(s);
  }
  void newLine(size_t depth) {
    append("\r\n");
    while (depth > 0) {
      const size_t k = std::min(depth, kTabs.size());
      append(kTabs.substr(0, k));
      depth -= k;
    }
  }
  void flush() {
    if (!block_.empty()) sink_(block_);
    block_.clear();
  }

 private:
  static constexpr size_t kBlock = 1 << 16;
  static constexpr std::string_view kTabs = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
  const std::function<void(std::string_view)>& sink_;
  std::string block_;
};

struct Open {
  int64_t begin, nameBegin, nameEnd;
  size_t ordinal;
  bool text = false, child = false;
};

// First pass: does the markup nest, and which elements are copied whole (their content holds
// text, or nothing to indent, or they preserve their blanks). One flag per element with content.
Outcome survey(Reader& r, std::vector<bool>& whole) {
  Outcome o;
  Scanner s(r);
  std::vector<Open> open;
  for (int64_t p = 0; p < r.size();) {
    const Token t = s.next(p);
    if (t.kind == Kind::Bad) {
      o.faultPosition = p;
      return o;
    }
    p = t.end;
    switch (t.kind) {
      case Kind::Text:
        if (!open.empty() && !r.blank(t.begin, t.end)) open.back().text = true;
        break;
      case Kind::CData:
      case Kind::Declaration:
        if (!open.empty()) open.back().text = true;
        break;
      case Kind::Start:
        if (!open.empty()) open.back().child = true;
        open.push_back({t.begin, t.nameBegin, t.nameEnd, whole.size()});
        whole.push_back(t.preserve);
        break;
      case Kind::End: {
        const int64_t length = t.nameEnd - t.nameBegin;
        if (open.empty() || open.back().nameEnd - open.back().nameBegin != length ||
            !r.same(open.back().nameBegin, t.nameBegin, length)) {
          o.faultPosition = t.begin;
          return o;
        }
        const Open& e = open.back();
        if (e.text || !e.child) whole[e.ordinal] = true;
        open.pop_back();
        break;
      }
      default:  // an empty element, a comment, a processing instruction
        if (!open.empty()) open.back().child = true;
        break;
    }
  }
  if (!open.empty()) {
    o.faultPosition = open.front().begin;
    return o;
  }
  o.indented = true;
  return o;
}

}  // namespace

Outcome indentDocument(const TextStore& text, const std::function<void(std::string_view)>& sink) {
  Reader r(text);
  std::vector<bool> whole;
  const Outcome o = survey(r, whole);
  if (!o.indented) return o;

  Output out(sink);
  Scanner s(r);
  size_t depth = 0;      // elements open and being indented
  size_t ordinal = 0;    // start tags with content met so far
  size_t copying = 0;    // > 0 inside an element copied whole: its nesting depth
  int64_t copyFrom = 0;  // where that element began
  bool first = true;     // nothing written at the top level yet
  int64_t pendingText = -1, pendingEnd = -1;  // top-level text not yet written

  for (int64_t p = 0; p < r.size();) {
    const Token t = s.next(p);
    p = t.end;
    if (copying > 0) {
      if (t.kind == Kind::Start) {
        ++ordinal;
        ++copying;
      } else if (t.kind == Kind::End && --copying == 0) {
        r.copy(copyFrom, t.end, out);
      }
      continue;
    }
    if (t.kind == Kind::Text) {
      // Inside an indented element, text is blanks only; they give way to the new lines.
      if (depth == 0) {
        if (first) r.copy(t.begin, t.end, out);
        else pendingText = t.begin, pendingEnd = t.end;
      }
      continue;
    }
    // A new line before every child of an indented element, its end tag, and every top-level
    // item but the first; top-level text that is not blank stays as it was instead.
    if (depth > 0) {
      out.newLine(t.kind == Kind::End ? depth - 1 : depth);
    } else if (!first) {
      if (pendingText >= 0 && !r.blank(pendingText, pendingEnd)) r.copy(pendingText, pendingEnd, out);
      else out.newLine(0);
    }
    first = false;
    pendingText = -1;
    switch (t.kind) {
      case Kind::Start:
        if (whole[ordinal++]) {
          copying = 1;
          copyFrom = t.begin;
        } else {
          r.copy(t.begin, t.end, out);
          ++depth;
        }
        break;
      case Kind::End:
        r.copy(t.begin, t.end, out);
        --depth;
        break;
      default:
        r.copy(t.begin, t.end, out);
        break;
    }
  }
  if (pendingText >= 0) r.copy(pendingText, pendingEnd, out);
  return o;
}

TextStore indented(const TextStore& text, Outcome* outcome) {
  TextStore::Builder b;
  const Outcome o = indentDocument(text, [&b](std::string_view s) { b.append(s); });
  if (outcome) *outcome = o;
  return o.indented ? b.finish() : text;
}

}  // namespace indent
