#include "DtdGenerator.h"

#include <algorithm>

#include "StoreText.h"
#include "tags.h"

namespace dtdgen {

namespace {

// The lines read as one text joined by CR LF, a character at a time, with a short look ahead.
class Cursor {
 public:
  explicit Cursor(const TextLines& lines) : lines_(lines), last_(lines.count() - 1), line_(lines.line(0)) {}
  // At a column of a line whose first character is at text position position.
  Cursor(const TextLines& lines, int64_t line, int64_t column, int64_t position)
      : lines_(lines), last_(lines.count() - 1), line_(lines.line(line)), index_(line), column_(column),
        position_(position) {}

  bool atEnd() const { return index_ == last_ && column_ >= int64_t(line_.size()); }
  int64_t position() const { return position_; }
  int64_t line() const { return index_; }
  // The character k ahead ('\0' past the end).
  char at(int64_t k) const {
    int64_t i = index_;
    int64_t c = column_ + k;
    std::string_view s = line_;
    for (;;) {
      if (c < int64_t(s.size())) return s[size_t(c)];
      if (i == last_) return '\0';
      c -= int64_t(s.size());
      if (c == 0) return '\r';
      if (c == 1) return '\n';
      c -= 2;
      s = lines_.line(++i);
    }
  }
  bool startsWith(std::string_view text) const {
    for (size_t k = 0; k < text.size(); ++k)
      if (at(int64_t(k)) != text[k]) return false;
    return true;
  }
  void next() {
    if (atEnd()) return;
    ++position_;
    if (column_ <= int64_t(line_.size())) {
      ++column_;
      return;
    }
    line_ = lines_.line(++index_);
    column_ = 0;
  }
  void skip(int64_t n) {
    while (n-- > 0) next();
  }
  // Moves just past the next text (to the end when there is none); false when not found.
  bool passAfter(std::string_view text) {
    while (!atEnd()) {
      if (startsWith(text)) {
        skip(int64_t(text.size()));
        return true;
      }
      next();
    }
    return false;
  }

 private:
  const TextLines& lines_;
  int64_t last_;
  std::string_view line_;
  int64_t index_ = 0;
  int64_t column_ = 0;  // the line's size stands for its CR, one more for its LF
  int64_t position_ = 0;
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool blankOnly(std::string_view s) {
  for (const char c : s)
    if (c != ' ' && c != '\t') return false;
  return true;
}

// A declaration or processing instruction of the prolog, and where the root element starts.
struct Construct {
  bool xml = false;       // "<?xml..."
  bool doctype = false;
  bool subset = false;    // a DOCTYPE with an internal subset
  bool system = false;    // a DOCTYPE that names a SYSTEM file before its subset
  int64_t start = 0, end = -1;  // end: just after its ">", -1 when it never ends
  int64_t startLine = 0, endLine = 0;
};
struct Prolog {
  std::vector<Construct> constructs;
  int64_t root = -1;  // the root's "<", -1 when the prolog runs to the end
  int64_t rootLine = 0;
};

// Reads a DOCTYPE from its "<!DOCTYPE" to the ">" that ends it, quoted literals and comments of
// the internal subset passed over whole, so that no "]>" or ">" inside them ends it.
void readDoctype(Cursor& c, Construct& d) {
  c.skip(9);
  bool inSubset = false;
  int words = 0;  // the words read before the subset: the name, then SYSTEM or PUBLIC
  bool afterBlank = false;
  while (!c.atEnd()) {
    const char ch = c.at(0);
    if (!inSubset && afterBlank && !isSpace(ch) && ch != '[' && ++words == 2 && c.startsWith("SYSTEM")) d.system = true;
    afterBlank = isSpace(ch);
    if (ch == '"' || ch == '\'') {
      c.next();
      if (!c.passAfter(std::string_view(&ch, 1))) return;
      continue;
    }
    if (inSubset && c.startsWith("<!--")) {
      if (!c.passAfter("-->")) return;
      continue;
    }
    if (!inSubset && ch == '[') {
      inSubset = d.subset = true;
    } else if (inSubset && ch == ']') {
      int64_t k = 1;
      while (isSpace(c.at(k))) ++k;
      if (c.at(k) == '>') {
        c.skip(k + 1);
        d.end = c.position();
        d.endLine = c.line();
        return;
      }
    } else if (!inSubset && ch == '>') {
      c.next();
      d.end = c.position();
      d.endLine = c.line();
      return;
    }
    c.next();
  }
}

Prolog readProlog(const TextLines& lines) {
  Prolog p;
  Cursor c(lines);
  while (!c.atEnd()) {
    if (c.at(0) != '<') {
      c.next();
      continue;
    }
    Construct k;
    k.start = c.position();
    k.startLine = c.line();
    if (c.startsWith("<!--")) {
      if (!c.passAfter("-->")) break;
      continue;
    }
    if (c.startsWith("<!DOCTYPE")) {
      k.doctype = true;
      readDoctype(c, k);
    } else if (c.startsWith("<?")) {
      k.xml = c.startsWith("<?xml");
      if (c.passAfter("?>")) {
        k.end = c.position();
        k.endLine = c.line();
      }
    } else if (c.startsWith("<!")) {
      if (c.passAfter(">")) {
        k.end = c.position();
        k.endLine = c.line();
      }
    } else {
      p.root = c.position();
      p.rootLine = c.line();
      break;
    }
    p.constructs.push_back(k);
    if (k.end < 0) break;
  }
  return p;
}

// The text position where a line begins.
int64_t lineStart(const TextLines& lines, int64_t line) {
  int64_t pos = 0;
  for (int64_t i = 0; i < line; ++i) pos += int64_t(lines.line(i).size()) + 2;
  return pos;
}

std::string nameOf(const std::string& entry) {
  const size_t blank = entry.find(' ', 10);
  return entry.substr(10, blank == std::string::npos ? std::string::npos : blank - 10);
}

// FNV-1a, grown a byte at a time, so that a search can try the texts after a "<" one length
// after another.
constexpr uint64_t kHashStart = 0xcbf29ce484222325ull;
uint64_t grow(uint64_t hash, char c) { return (hash ^ uint8_t(c)) * 0x100000001b3ull; }
uint64_t hashOf(std::string_view s) {
  uint64_t h = kHashStart;
  for (const char c : s) h = grow(h, c);
  return h;
}

// A flat hash table of indices into a list that the caller owns and compares: a document of a
// hundred thousand distinct elements costs one array here, not a node and a key each. A slot
// holds the hash's top 32 bits and the index + 1 (0: free), so a probe reads one word.
class IndexTable {
 public:
  explicit IndexTable(size_t count) { resize(count); }
  // Every index added under a hash equal to hash in its top bits, in the order added, while
  // visit returns true.
  template <class Visit>
  void find(uint64_t hash, Visit&& visit) const {
    const uint64_t top = hash >> 32;
    for (size_t i = slotOf(hash); slots_[i] != 0; i = (i + 1) & mask_)
      if (slots_[i] >> 32 == top && !visit(size_t(uint32_t(slots_[i]) - 1))) return;
  }
  void add(uint64_t hash, size_t index) {
    if (2 * (count_ + 1) > slots_.size()) {
      IndexTable bigger(2 * (count_ + 1));
      for (const uint64_t slot : slots_)
        if (slot != 0) bigger.put(slot);
      *this = std::move(bigger);
    }
    put((hash >> 32 << 32) | uint64_t(uint32_t(index + 1)));
  }

 private:
  // The hash's high bits after a multiplication: FNV's low bits alone cluster on names that
  // differ in their last characters, and the probes run long.
  size_t slotOf(uint64_t hash) const { return size_t(((hash >> 32) * 0x9e3779b97f4a7c15ull) >> shift_); }
  void put(uint64_t slot) {
    size_t i = slotOf(slot);
    while (slots_[i] != 0) i = (i + 1) & mask_;
    slots_[i] = slot;
    ++count_;
  }
  void resize(size_t count) {
    size_t size = 16;
    shift_ = 60;
    while (size < 2 * count) size *= 2, --shift_;
    slots_.assign(size, 0);
    mask_ = size - 1;
  }
  std::vector<uint64_t> slots_;
  size_t mask_ = 0;
  int shift_ = 60;
  size_t count_ = 0;
};

bool holds(std::string_view line, std::string_view text) {
  return analysis::findText(line, 0, text) < int64_t(line.size());
}

// An attribute name as the walk back from "=" finds it: a real name, not a piece of a value
// or of the tag's own name.
bool plausibleName(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name)
    if (uint8_t(c) < 32 || c == '<' || c == '>' || c == '"' || c == '\'' || c == '=') return false;
  return true;
}

}  // namespace

std::string ElementDtd(std::string_view window) {
  if (window.size() > 1 && (window[1] == '/' || window[1] == '?' || window[1] == '!')) return {};
  const bool empty = window.find("/>") != std::string_view::npos;
  // The first blank reads as ">": the name ends at whichever comes first.
  const size_t close = std::min(window.find(' '), window.find('>'));
  std::string_view name = close != std::string_view::npos ? window.substr(1, close - 1) : window.substr(window.empty() ? 0 : 1);
  if (!name.empty() && name.back() == '/') name.remove_suffix(1);
  if (name.empty()) return {};
  return std::string(name).append(empty ? " EMPTY" : " (#PCDATA)");
}

Declarations collect(const TextLines& lines) {
  Declarations d;
  IndexTable seen(1024);  // the entries, by their upper-cased text
  const int64_t count = lines.count();
  for (int64_t i = 0; i < count; ++i) {
    const std::string_view line = lines.line(i);
    for (int64_t p = analysis::findByte(line, 0, '<'); p < int64_t(line.size());
         p = analysis::findByte(line, p + 1, '<')) {
      const std::string body = ElementDtd(line.substr(size_t(p), size_t(analysis::kTagWindow)));
      if (body.empty()) continue;
      if (d.root.empty()) d.root = body.substr(0, body.find(' '));
      std::string entry = "<!ELEMENT " + body + ">";
      const uint64_t h = storetext::hashIgnoringCase(entry);
      bool known = false;
      seen.find(h, [&](size_t e) {
        const std::string& other = d.entries[e];
        known = storetext::equalIgnoringCase(entry, other);
        return !known;
      });
      if (known) continue;
      seen.add(h, d.entries.size());
      d.entries.push_back(std::move(entry));
    }
  }
  if (d.entries.size() < 2) return d;

  const std::string record = nameOf(d.entries[1]);
  d.entries[0] = "<!ELEMENT " + d.root + " (" + record + ")*>";
  std::vector<std::string> fields;
  for (const std::string& e : d.entries) fields.push_back("<" + nameOf(e) + ">");
  const std::string start = "<" + record + ">";
  const std::string end = "</" + record + ">";
  int64_t first = 0;
  while (first < count && !holds(lines.line(first), start)) ++first;
  std::string children;
  if (first > 0 && first < count) {
    // "<Q>" begins at a "<" and ends at the first ">" after it, Q holding no ">": each "<" of a
    // line names at most one field, looked up, instead of every field searched in every line.
    const auto fieldName = [&](size_t f) { return std::string_view(fields[f]).substr(1, fields[f].size() - 2); };
    IndexTable fieldAt(fields.size());
    for (size_t f = 0; f < fields.size(); ++f) fieldAt.add(hashOf(fieldName(f)), f);
    std::vector<size_t> met;
    for (int64_t i = first + 1; i < count; ++i) {
      const std::string_view line = lines.line(i);
      if (holds(line, end)) break;
      met.clear();
      const auto n = int64_t(line.size());
      int64_t close = -1;
      for (int64_t p = analysis::findByte(line, 0, '<'); p < n; p = analysis::findByte(line, p + 1, '<')) {
        if (close <= p) close = analysis::findByte(line, p + 1, '>');
        if (close >= n) break;
        if (close - p - 1 > analysis::kTagWindow) continue;
        const std::string_view candidate = line.substr(size_t(p + 1), size_t(close - p - 1));
        fieldAt.find(hashOf(candidate), [&](size_t f) {
          if (fieldName(f) == candidate) met.push_back(f);
          return true;
        });
      }
      // Each field once a line, in the list's order.
      std::sort(met.begin(), met.end());
      met.erase(std::unique(met.begin(), met.end()), met.end());
      for (const size_t f : met) children += "," + fields[f].substr(1, fields[f].size() - 2);
    }
  }
  if (!children.empty()) d.entries[1] = "<!ELEMENT " + record + " (" + children.substr(1) + ")>";
  return d;
}

void DtdAttrib(const TextLines& lines, Declarations& declarations) {
  const size_t elements = declarations.entries.size();
  // The distinct names, and where "<" + name first occurs: found in one pass over the lines,
  // each "<" trying the texts that follow it as names by a hash grown a character at a time.
  struct Name {
    std::string text;
    int64_t line = -1, column = 0, position = 0;
  };
  std::vector<Name> names;
  std::vector<size_t> nameOfEntry(elements);
  IndexTable byName(elements);
  size_t longest = 0;
  for (size_t e = 0; e < elements; ++e) {
    Name n{nameOf(declarations.entries[e])};
    const uint64_t h = hashOf(n.text);
    size_t same = names.size();
    byName.find(h, [&](size_t k) {
      if (names[k].text == n.text) same = k;
      return same == names.size();
    });
    nameOfEntry[e] = same;
    if (same < names.size()) continue;
    longest = std::max(longest, n.text.size());
    byName.add(h, names.size());
    names.push_back(std::move(n));
  }
  size_t missing = names.size();
  int64_t position = 0;
  for (int64_t i = 0, count = lines.count(); i < count && missing > 0; ++i) {
    const std::string_view l = lines.line(i);
    const auto n = int64_t(l.size());
    for (int64_t p = analysis::findByte(l, 0, '<'); p < n && missing > 0; p = analysis::findByte(l, p + 1, '<')) {
      uint64_t h = kHashStart;
      for (size_t length = 1; length <= longest && p + int64_t(length) < n; ++length) {
        const char c = l[size_t(p) + length];
        if (c == ' ' || c == '>') break;  // never in a name
        h = grow(h, c);
        byName.find(h, [&](size_t k) {
          Name& name = names[k];
          if (name.line < 0 && name.text == l.substr(size_t(p + 1), length)) {
            name.line = i;
            name.column = p;
            name.position = position + p;
            --missing;
          }
          return true;
        });
      }
    }
    position += n + 2;
  }

  for (size_t e = 0; e < elements; ++e) {
    const Name& name = names[nameOfEntry[e]];
    if (name.line < 0) continue;
    // The 1024 characters from there, up to the first ">".
    std::string s;
    {
      Cursor c(lines, name.line, name.column, name.position);
      for (int k = 0; k < 1024 && !c.atEnd(); ++k, c.next()) {
        s.push_back(c.at(0));
        if (s.back() == '>') break;
      }
    }
    // Each "=" names the attribute written between it and the blank before, within the text
    // after the previous "=".
    for (size_t from = 0, eq = s.find('='); eq != std::string::npos; from = eq + 1, eq = s.find('=', from)) {
      size_t k = eq;
      while (k > from && s[k - 1] == ' ') --k;
      const size_t nameEnd = k;
      while (k > from && s[k - 1] != ' ') --k;
      if (k > from) {
        const std::string attribute = s.substr(k, nameEnd - k);
        if (plausibleName(attribute))
          declarations.entries.push_back("<!ATTLIST " + name.text + "  " + attribute + ">");
      }
    }
  }
}

Edit Viredtd(const TextLines& lines) {
  Edit edit;
  const Prolog p = readProlog(lines);
  for (const Construct& k : p.constructs) {
    // A DOCTYPE without subset, or one that names its SYSTEM file, is the author's and stays.
    if (!k.doctype || !k.subset || k.system) continue;
    if (k.end < 0) return edit;
    const int64_t first = lineStart(lines, k.startLine);
    int64_t last = first;
    for (int64_t i = k.startLine; i < k.endLine; ++i) last += int64_t(lines.line(i).size()) + 2;
    const std::string_view endLine = lines.line(k.endLine);
    const std::string_view before = lines.line(k.startLine).substr(0, size_t(k.start - first));
    const std::string_view after = endLine.substr(size_t(k.end - last));
    if (blankOnly(before) && blankOnly(after)) {
      // Whole lines, with the break that ends the last one (the one before it at the very end).
      edit.from = first;
      edit.length = last + int64_t(endLine.size()) - first;
      if (k.endLine + 1 < lines.count())
        edit.length += 2;
      else if (first > 0)
        edit.from -= 2, edit.length += 2;
    } else {
      edit.from = k.start;
      edit.length = k.end - k.start;
    }
    return edit;
  }
  return edit;
}

Edit Inseredtd(const TextLines& lines, const Declarations& declarations) {
  Edit edit;
  std::string block = "<!DOCTYPE " + declarations.root + " [";
  for (const std::string& e : declarations.entries) block += "\r\n" + e;
  block += "\r\n]>";
  const Prolog p = readProlog(lines);
  const Construct* after = nullptr;
  for (const Construct& k : p.constructs)
    if ((k.xml || k.doctype) && k.end >= 0) after = &k;
  if (after) {
    int64_t start = lineStart(lines, after->endLine);
    const std::string_view line = lines.line(after->endLine);
    if (blankOnly(line.substr(size_t(after->end - start)))) {
      edit.from = start + int64_t(line.size());
      edit.text = "\r\n" + block;
    } else {
      edit.from = after->end;
      edit.text = "\r\n" + block + "\r\n";
    }
  } else if (p.root >= 0) {
    const int64_t start = lineStart(lines, p.rootLine);
    if (blankOnly(lines.line(p.rootLine).substr(0, size_t(p.root - start)))) {
      edit.from = start;
      edit.text = block + "\r\n";
    } else {
      edit.from = p.root;
      edit.text = "\r\n" + block + "\r\n";
    }
  } else {
    edit.from = int64_t(lines.line(0).size());
    edit.text = "\r\n" + block;
  }
  return edit;
}

bool Gendtd(TextStore& text) {
  Declarations d;
  {
    const std::unique_ptr<TextLines> lines = text.lines();
    d = collect(*lines);
    if (d.entries.empty()) return false;
    DtdAttrib(*lines, d);
    const Edit removal = Viredtd(*lines);
    if (removal.from >= 0) text.replace(removal.from, removal.length, {});
  }
  const std::unique_ptr<TextLines> lines = text.lines();
  const Edit insertion = Inseredtd(*lines, d);
  text.replace(insertion.from, 0, insertion.text);
  return true;
}

}  // namespace dtdgen
