#include "Indent.h"

#include <vector>

#include "Markup.h"

namespace indent {

using markup::isBlank;
using markup::Kind;
using markup::Reader;
using markup::Scanner;
using markup::Token;

namespace {

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
