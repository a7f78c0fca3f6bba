#include "Dtd.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <optional>

#include "FastPass.h"
#include "StoreText.h"
#include "LineViews.h"
#include "ScanSupport.h"
#include "TextFile.h"
#include "tags.h"

namespace analysis {

namespace {

constexpr size_t kDeclarationWindow = 4096;
constexpr size_t kSystemWindow = 256;
constexpr size_t kNameWindow = 256;

// The at most n characters of the lines joined by CR LF from the first occurrence of pattern
// (which holds no line break, so it never straddles two lines); false when it does not occur.
bool windowFrom(const TextLines& lines, std::string_view pattern, int64_t n, std::string& out) {
  for (int64_t i = 0, c = lines.count(); i < c; ++i) {
    const std::string_view l = lines.line(i);
    const int64_t x = findText(l, 0, pattern);
    if (x == int64_t(l.size())) continue;
    out = detail::joinedWindow(lines, i, x, n);
    return true;
  }
  return false;
}

// Every declaration of one kind, each read up to its first ">" within the 4096 characters from its
// keyword. The next one is looked for in the 4096 characters after the previous keyword, taken
// from the whole text: a declaration is found when it begins within 4096 characters of the
// previous one of its kind, however long the DTD. (Taking each window out of the previous
// window instead would stop every search 4096 characters after the first declaration and lose
// the rest of any longer DTD.)
void declarations(std::string_view x, std::string_view keyword, std::vector<std::string>& list) {
  size_t from = 0;
  size_t end = x.size();
  for (;;) {
    const size_t i = x.substr(from, end - from).find(keyword);
    if (i == std::string_view::npos) return;
    const size_t p = from + i;
    const size_t gt = x.substr(p, kDeclarationWindow).find('>');
    list.emplace_back(gt == std::string_view::npos ? std::string_view() : x.substr(p, gt + 1));
    from = p + keyword.size();
    end = std::min(from + kDeclarationWindow, x.size());
  }
}

std::string_view from(std::string_view s, size_t pos, size_t n = std::string_view::npos) {
  return pos < s.size() ? s.substr(pos, n) : std::string_view();
}

// Where the declarations are looked up for each start tag: the element names and the required
// attributes, sorted, so that "declared" and "required" cost a search instead of a visit of
// every entry.
class Index {
 public:
  explicit Index(const std::vector<std::string>& list) {
    for (const std::string& e : list) {
      const std::string_view r = from(e, 10, kNameWindow);
      if (e.find("<!ELEMENT") != std::string::npos) elements_.push_back(r);
      if (e.find("<!ATTLIST") != std::string::npos && r.find("#REQUIRED") != std::string_view::npos)
        attributes_.push_back(r);
    }
    std::sort(elements_.begin(), elements_.end());
    std::sort(attributes_.begin(), attributes_.end());
  }

  // 0, 11 or 12 for the tag whose name is n and whose text (after the "/" of "/>" is removed)
  // is body followed by ">". body lies in line (the line number-th) unless the tag goes on below.
  int check(std::string_view line, int64_t number, std::string_view body, std::string_view n) {
    const int id = names_.exactAfter(last_, {n, true, true});
    last_ = id;
    if (size_t(id) >= cards_.size()) cards_.resize(size_t(id) + 1);
    Card& c = cards_[size_t(id)];
    if (!c.done) fill(c, n);
    if (!c.declared) return kUndeclaredTag;
    const bool inLine = body.data() >= line.data() && body.data() + body.size() <= line.data() + line.size();
    const size_t q = inLine ? size_t(body.data() - line.data()) : 0;
    for (int a : c.required) {
      const bool found = inLine ? present(required_[size_t(a)], line, number, q, q + body.size())
                                : presentIn(required_[size_t(a)].word, body);
      if (!found) return kMissingAttribute;
    }
    return kNoFault;
  }

  // The required attributes' words are found alike in a tag's text whatever its line breaks:
  // a declaration over several lines may give a word that holds one.
  bool wordsHoldNoBreak() const {
    for (std::string_view a : attributes_)
      if (a.find_first_of("\r\n") != std::string_view::npos) return false;
    return true;
  }

 private:
  struct Card {
    bool done = false;
    bool declared = false;
    std::vector<int> required;
  };
  // A required attribute's word with the first occurrence found on a line at or after a
  // position, so that the tags of one line share the searches.
  struct Required {
    std::string_view word;
    int64_t line = -1;
    size_t since = 0;
    size_t found = std::string_view::npos;
  };

  // Every text begins with the empty name, also the empty view of a declaration too short to
  // have an 11th character.
  static bool beginsWith(std::string_view r, std::string_view n) { return n.empty() || r.starts_with(n); }

  void fill(Card& c, std::string_view n) {
    c.done = true;
    auto it = std::lower_bound(elements_.begin(), elements_.end(), n);
    c.declared = it != elements_.end() && beginsWith(*it, n);
    for (auto a = std::lower_bound(attributes_.begin(), attributes_.end(), n);
         a != attributes_.end() && beginsWith(*a, n); ++a) {
      std::string_view word = from(*a, n.size() + 1);
      const size_t b = word.find(' ');
      if (b != std::string_view::npos) word = word.substr(0, b);
      const int id = words_.exact({word, true, true});
      if (size_t(id) >= required_.size()) {
        required_.resize(size_t(id) + 1);
        required_[size_t(id)].word = word;
      }
      if (std::find(c.required.begin(), c.required.end(), id) == c.required.end()) c.required.push_back(id);
    }
  }

  static bool present(Required& a, std::string_view line, int64_t number, size_t q, size_t bodyEnd) {
    const std::string_view m = a.word;
    // An empty word never occurs, as an empty value never occurs in the declaration check.
    if (m.empty()) return false;
    if (a.line != number || q < a.since || (a.found != std::string_view::npos && q > a.found)) {
      a.line = number;
      a.since = q;
      const int64_t x = findText(line, int64_t(q), m);
      a.found = x < int64_t(line.size()) ? size_t(x) : std::string_view::npos;
    }
    if (a.found != std::string_view::npos && a.found + m.size() <= bodyEnd) return true;
    // The tag text ends with the ">" that follows bodyEnd, which the line may not hold there.
    if (m.back() == '>') {
      const size_t l = m.size() - 1;
      return l <= bodyEnd - q && line.substr(bodyEnd - l, l) == m.substr(0, l);
    }
    return false;
  }

  // The same for a tag text held apart.
  static bool presentIn(std::string_view m, std::string_view body) {
    if (m.empty()) return false;
    if (body.find(m) != std::string_view::npos) return true;
    if (m.back() != '>') return false;
    const size_t l = m.size() - 1;
    return l <= body.size() && body.substr(body.size() - l) == m.substr(0, l);
  }

  std::vector<std::string_view> elements_;
  std::vector<std::string_view> attributes_;
  detail::KeyTable names_;
  int last_ = -1;
  std::vector<Card> cards_;
  detail::KeyTable words_;
  std::vector<Required> required_;
};

}  // namespace

DtdLoader fileDtdLoader(const QString& documentFolder) {
  return [documentFolder](std::string_view name, std::vector<std::string>& lines) {
    if (name.empty()) return false;
    const QString nom = storetext::decode(name);
    QStringList paths;
    if (QFileInfo(nom).isRelative() && !documentFolder.isEmpty()) paths << QDir(documentFolder).filePath(nom);
    paths << nom;
    for (const QString& path : paths) {
      textfile::LoadedBytes l = textfile::loadRawBytes(path);
      if (!l.ok) continue;  // missing, unreadable, a folder or no regular file: absent
      lines.clear();
      if (l.bytes.empty()) return true;
      const bool finalBreak = l.bytes.back() == '\r' || l.bytes.back() == '\n';
      const BufferLines view(std::move(l.bytes));
      for (int64_t i = 0; i < view.count() - (finalBreak ? 1 : 0); ++i) lines.emplace_back(view.line(i));
      return true;
    }
    return false;
  };
}

std::vector<std::string> LitDtd(const TextLines& lines, const DtdLoader& load) {
  std::vector<std::string> list;
  std::string d;
  windowFrom(lines, "<!DOCTYPE", kDeclarationWindow, d);
  std::string x;
  const size_t s = d.find("SYSTEM");
  if (s != std::string::npos) {
    d = d.substr(s, kSystemWindow);
    const std::string_view f = ValeurGuillemets(d);
    std::vector<std::string> file;
    if (!f.empty() && load && load(f, file)) {
      list = file;
      for (const std::string& l : file) x += l;
      const size_t i = x.find("<![IGNORE");
      if (i != std::string::npos) {
        // The text before the section takes the place of the DOCTYPE text from here on.
        d = x.substr(0, i);
        const size_t j = x.find("]]>", i);
        x = j != std::string::npos ? d + x.substr(j + 3) : x.substr(i);
      }
    }
  }
  const size_t end = d.find("]>");
  if (end != std::string::npos) x.append(d, 0, end + 2);
  declarations(x, "<!ELEMENT", list);
  declarations(x, "<!ATTLIST", list);
  return list;
}

namespace {

// The start tags against the declarations, one "<" at a time, in the walk's order.
class DtdCheck final : public detail::TagHook {
 public:
  explicit DtdCheck(const std::vector<std::string>& list) : index_(list) {}

  bool onTag(LineTags& t, int64_t line, int64_t q) override {
    std::string_view body;
    const TagKey k = t.tagTextKey(q, &body);
    if (!k.valid) return true;
    name_ = k.name;
    examined_ = true;
    at_ = {line, q};
    code_ = index_.check(t.line(), line, body, name_);
    return code_ == kNoFault;
  }

  // The fault, placed on the tag last examined, in lines (those that were walked).
  Fault fault(const TextLines& lines) const { return faultAt(lines, at_); }
  // The same after a walk of the buffer's whole text as one line.
  Fault faultInBuffer(const BufferLines& lines) const {
    return faultAt(lines, code_ != kNoFault ? detail::placeOfByte(lines, at_.offset) : at_);
  }
  bool wordsHoldNoBreak() const { return index_.wordsHoldNoBreak(); }

 private:
  Fault faultAt(const TextLines& lines, TextPlace at) const {
    Fault f;
    f.code = code_;
    if (examined_) f.text = TagKey{name_, true, true}.toQString();
    if (code_ != kNoFault) detail::placeTag(f, lines, at.line, at.offset);
    return f;
  }

  Index index_;
  std::string_view name_;
  bool examined_ = false;
  TextPlace at_;
  int code_ = kNoFault;
};

}  // namespace

Fault Validdtd(const TextLines& lines, const DtdLoader& load) {
  const std::vector<std::string> list = LitDtd(lines, load);
  if (list.empty()) return {};
  DtdCheck check(list);
  bool inComment = false;
  bool more = true;
  for (int64_t l = 0, n = lines.count(); l < n && more; ++l) {
    LineTags t(lines, l);
    walkLine(t.line(), inComment, [&](int64_t q) { return more = check.onTag(t, l, q); });
  }
  return check.fault(lines);
}

namespace {

QString wellFormedReport(const Fault& f) {
  return f.code == kNoFault ? QStringLiteral("Le document est bien formé") : faultMessage(f);
}

}  // namespace

QString checkReport(const TextLines& lines, bool dtd, const DtdLoader& load, Fault* fault) {
  Fault f;
  QString message;
  if (!dtd) {
    f = Valid(lines);
    message = wellFormedReport(f);
  } else {
    // The declarations are read first, so that the start tags are checked against them in the
    // same walk as the well-formedness; their fault counts only when the text is well formed.
    const std::vector<std::string> list = LitDtd(lines, load);
    std::optional<DtdCheck> check;
    if (!list.empty()) check.emplace(list);
    // The one pass over a buffer's bytes first, as for Valid; it gives the DTD's fault too.
    const auto* buffer = dynamic_cast<const BufferLines*>(&lines);
    if (buffer && (!check || check->wordsHoldNoBreak()) &&
        detail::provedWellFormed(buffer->bytes(), check ? &*check : nullptr)) {
      if (check) f = check->faultInBuffer(*buffer);
    } else {
      if (check) check.emplace(list);
      f = detail::validWith(lines, check ? &*check : nullptr);
      if (f.code == kNoFault && check) f = check->fault(lines);
    }
    message = f.code == kNoFault ? QStringLiteral("Le document est valide") : faultMessage(f);
  }
  if (fault) *fault = f;
  return message;
}

QString checkBytes(std::string_view bytes, bool dtd, const DtdLoader& load, Fault* fault, LineColumn* place) {
  if (place) *place = {};
  if (!dtd && detail::provedWellFormed(bytes, nullptr)) {
    if (fault) *fault = {};
    return wellFormedReport({});
  }
  const BufferLines lines(BufferLines::borrow, bytes);
  Fault f;
  // The one pass has already found a doubt: the walk over the lines decides.
  const QString message = dtd ? checkReport(lines, true, load, &f) : wellFormedReport(f = detail::validWith(lines, nullptr));
  if (place && f.code != kNoFault) *place = lineColumnOf(lines, f.from);
  if (fault) *fault = f;
  return message;
}

}  // namespace analysis
