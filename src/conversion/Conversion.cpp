#include "Conversion.h"

#include <array>

namespace conversion {
namespace {

constexpr unsigned char kLetters[] = {224, 226, 228, 231, 232, 233, 234,
                                      235, 238, 239, 244, 246, 249, 251};
constexpr unsigned char kCedilla = 231;

struct References {
  std::array<std::string, 256> text;
  std::array<const char*, 256> of{};
  References() {
    for (const unsigned char c : kLetters) {
      text[c] = "&#" + std::to_string(c) + ";";
      of[c] = text[c].c_str();
    }
  }
};

const References& references() {
  static const References r;
  return r;
}

// The references that CarXml knows, each followed by its ";". The letters' come from the table.
struct Named {
  std::string_view start;
  std::string_view replacement;
};
constexpr Named kNamed[] = {{"&nbsp", " "}, {"&lt", "<"}, {"&gt", ">"}, {"&copy", "(c)"}};

inline unsigned code(char c) { return static_cast<unsigned char>(c); }
inline unsigned code(QChar c) { return c.unicode(); }

// True when s holds the ASCII text t at i.
template <class S>
bool holds(const S& s, qsizetype i, std::string_view t) {
  if (i + qsizetype(t.size()) > qsizetype(s.size())) return false;
  for (size_t k = 0; k < t.size(); ++k)
    if (code(s[i + qsizetype(k)]) != static_cast<unsigned char>(t[k])) return false;
  return true;
}

void appendAscii(std::string& out, std::string_view t) { out.append(t); }
void appendAscii(QString& out, std::string_view t) {
  out.append(QLatin1String(t.data(), qsizetype(t.size())));
}
void appendLetter(std::string& out, unsigned c) { out.push_back(static_cast<char>(c)); }
void appendLetter(QString& out, unsigned c) { out.append(QChar(char16_t(c))); }

// The reference at i with its ";": its length, and the text that replaces it in *replacement
// (for a letter, *letter is set instead). 0 when none is there.
template <class S>
qsizetype referenceAt(const S& s, qsizetype i, std::string_view* replacement, unsigned* letter) {
  const References& refs = references();
  if (holds(s, i, "&#")) {
    for (const unsigned char c : kLetters) {
      if (holds(s, i, refs.text[c])) {
        *letter = c;
        return qsizetype(refs.text[c].size());
      }
    }
    return 0;
  }
  for (const Named& n : kNamed) {
    const qsizetype end = i + qsizetype(n.start.size());
    if (holds(s, i, n.start) && end < qsizetype(s.size()) && code(s[end]) == ';') {
      *replacement = n.replacement;
      return end + 1 - i;
    }
  }
  return 0;
}

template <class S>
void carXml(S& s) {
  qsizetype i = 0;
  const auto n = qsizetype(s.size());
  // Most strings hold no reference: leave them untouched.
  while (i < n && code(s[i]) != '&') ++i;
  if (i >= n) return;
  S out;
  out.reserve(s.size());
  for (qsizetype k = 0; k < i; ++k) out.push_back(s[k]);
  while (i < n) {
    if (code(s[i]) == '&') {
      std::string_view replacement;
      unsigned letter = 0;
      if (const qsizetype len = referenceAt(s, i, &replacement, &letter)) {
        if (letter)
          appendLetter(out, letter);
        else
          appendAscii(out, replacement);
        i += len;
        continue;
      }
    }
    out.push_back(s[i]);
    ++i;
  }
  s = std::move(out);
}

}  // namespace

const char* referenceOf(unsigned char c, bool withCedilla) {
  if (c == kCedilla && !withCedilla) return nullptr;
  return references().of[c];
}

TextStore Convertir(const TextStore& text, int64_t* replaced) {
  // Where the walk stands: the quoted value of a tag is text for the reader, the rest of a tag
  // is names; comments and CDATA sections are taken as they are.
  enum class State { Text, Tag, Quoted, Comment, Cdata };
  const auto& of = references().of;
  State state = State::Text;
  char quote = 0;
  char before1 = 0, before2 = 0;  // the last two characters, for "-->" and "]]>"
  int64_t count = 0;
  TextStore::Builder built;
  std::string block;
  constexpr size_t kBlock = size_t(1) << 20;
  block.reserve(kBlock + 64);

  const int64_t n = text.size();
  int64_t pos = 0;
  while (pos < n) {
    int64_t start = 0;
    const std::string_view piece = text.piece(pos, &start);
    if (piece.empty()) break;
    const auto opens = [&](int64_t at, std::string_view what) {
      const int64_t off = at - start;
      if (off + int64_t(what.size()) <= int64_t(piece.size()))
        return piece.substr(size_t(off), what.size()) == what;
      return text.text(at, int64_t(what.size())) == what;
    };
    for (int64_t i = pos - start; i < int64_t(piece.size()); ++i) {
      const char c = piece[size_t(i)];
      const auto u = static_cast<unsigned char>(c);
      const char* reference = nullptr;
      switch (state) {
        case State::Text:
        case State::Tag:
          if (c == '<') {
            const int64_t at = start + i;
            state = opens(at, "<!--") ? State::Comment
                    : opens(at, "<![CDATA[") ? State::Cdata
                                             : State::Tag;
          } else if (state == State::Text) {
            reference = of[u];
          } else if (c == '"' || c == '\'') {
            state = State::Quoted;
            quote = c;
          } else if (c == '>') {
            state = State::Text;
          }
          break;
        case State::Quoted:
          if (c == quote)
            state = State::Tag;
          else
            reference = of[u];
          break;
        case State::Comment:
          if (c == '>' && before1 == '-' && before2 == '-') state = State::Text;
          break;
        case State::Cdata:
          if (c == '>' && before1 == ']' && before2 == ']') state = State::Text;
          break;
      }
      if (reference) {
        block.append(reference);
        ++count;
        before2 = before1;
        before1 = ';';
      } else {
        block.push_back(c);
        before2 = before1;
        before1 = c;
      }
      if (block.size() >= kBlock) {
        built.append(block);
        block.clear();
      }
    }
    pos = start + int64_t(piece.size());
  }
  if (replaced) *replaced = count;
  if (count == 0) return text;
  built.append(block);
  return built.finish();
}

void CodeAccents(std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    if (const char* r = referenceOf(static_cast<unsigned char>(c), false))
      out.append(r);
    else
      out.push_back(c);
  }
  s = std::move(out);
}

void CodeAccents(QString& s) {
  QString out;
  out.reserve(s.size());
  for (const QChar c : s) {
    const char* r = c.unicode() < 256 ? referenceOf(static_cast<unsigned char>(c.unicode()), false)
                                      : nullptr;
    if (r)
      out.append(QLatin1String(r));
    else
      out.append(c);
  }
  s = std::move(out);
}

void CarXml(std::string& s) { carXml(s); }
void CarXml(QString& s) { carXml(s); }

QString changeCase(const QString& text, bool upper) {
  QString out = text;
  for (QChar& c : out) {
    const char16_t u = c.unicode();
    if (upper && u >= 'a' && u <= 'z') c = QChar(char16_t(u - 'a' + 'A'));
    if (!upper && u >= 'A' && u <= 'Z') c = QChar(char16_t(u - 'A' + 'a'));
  }
  return out;
}

}  // namespace conversion
