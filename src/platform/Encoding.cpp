#include "Encoding.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/utf16.h>

#include "Cp1252.h"

namespace encoding {

enum class Kind { Utf8, Utf16LE, Utf16BE, SingleByte, Generic, Unknown };

// The bytes one file byte decodes to in a single-byte encoding; an escape when it decodes to
// nothing, or to a character that would not encode back to that byte.
struct Cell {
  uint8_t length = 0;
  bool escape = false;
  char bytes[3] = {};
};

struct Codec::Impl {
  Kind kind = Kind::Unknown;
  QString name;
  std::string icuName;
  // Single-byte encodings.
  std::array<Cell, 256> decodeTable{};
  bool asciiIdentity = false;
  std::array<int16_t, 256> encodeLow{};  // code points below 256; -1 when absent
  std::unordered_map<char32_t, uint8_t> encodeHigh;
  // Other converters' answers, learnt as they are asked.
  mutable std::mutex probeMutex;
  mutable UConverter* probe = nullptr;
  mutable std::unordered_map<char32_t, bool> probed;

  ~Impl() {
    if (probe) ucnv_close(probe);
  }
};

namespace {

// ---------------------------------------------------------------------------------------------
// UTF-8 sequences

constexpr uint64_t kHighBits = 0x8080808080808080ull;

bool asciiWord(const unsigned char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return (w & kHighBits) == 0;
}

// Length of the valid sequence at p, 0 when p[0] starts none, -1 when p..end is the valid
// beginning of one that end cuts. In store form the escapes ED B0..B3 xx are valid too.
template <bool Store>
int sequenceAt(const unsigned char* p, const unsigned char* end) {
  const unsigned b = p[0];
  if (b < 0x80) return 1;
  int n;
  unsigned lo = 0x80, hi = 0xBF;
  if (b < 0xC2) return 0;
  if (b < 0xE0) {
    n = 2;
  } else if (b < 0xF0) {
    n = 3;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = Store ? 0xB3 : 0x9F;
  } else if (b < 0xF5) {
    n = 4;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  const ptrdiff_t avail = end - p;
  if (avail < 2) return -1;
  const unsigned c = p[1];
  if (c < lo || c > hi) return 0;
  if (Store && b == 0xED && c >= 0xA0 && c < 0xB0) return 0;  // a surrogate that is no escape
  for (int k = 2; k < n; ++k) {
    if (k >= avail) return -1;
    if ((p[k] & 0xC0) != 0x80) return 0;
  }
  return n;
}

char32_t codePointOf(const unsigned char* p, int n) {
  switch (n) {
    case 1: return p[0];
    case 2: return char32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3F);
    case 3: return char32_t(p[0] & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
    default:
      return char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 |
             char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
  }
}

bool isEscapeAt(const unsigned char* p, const unsigned char* end) {
  return end - p >= 3 && p[0] == 0xED && p[1] >= 0xB0 && p[1] <= 0xB3 && (p[2] & 0xC0) == 0x80;
}

unsigned char escapedByteOf(const unsigned char* p) {
  return static_cast<unsigned char>((p[1] & 0x03) << 6 | (p[2] & 0x3F));
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(char(c));
  } else if (c < 0x800) {
    const char b[2] = {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    out.append(b, 2);
  } else if (c < 0x10000) {
    const char b[3] = {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    out.append(b, 3);
  } else {
    const char b[4] = {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)),
                       char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    out.append(b, 4);
  }
}

void appendEscape(std::string& out, unsigned char b) { appendUtf8(out, 0xDC00 + b); }

void appendReference(std::string& out, char32_t c) {
  out += "&#";
  out += std::to_string(uint32_t(c));
  out += ';';
}

// Where the text stops being whole: the start of a sequence that end cuts, or end.
const unsigned char* wholeEnd(const unsigned char* p, const unsigned char* end) {
  for (const unsigned char* q = end; q > p && end - q < 3;) {
    --q;
    if (*q >= 0xC0) return sequenceAt<true>(q, end) < 0 ? q : end;
    if (*q < 0x80) break;
  }
  return end;
}

// Completes the sequence that the previous piece cut with the start of this one. Calls
// whole(p, n) for each whole character or stray byte of the joined bytes, takes what it used
// from piece, and leaves in carry what is still cut. Returns false when carry is still open.
template <bool Store, typename Whole>
bool joinCarry(std::string& carry, std::string_view& piece, Whole&& whole) {
  while (!carry.empty()) {
    const size_t take = std::min(piece.size(), 4 - carry.size());
    std::string joined = carry;
    joined.append(piece.substr(0, take));
    const auto* j = reinterpret_cast<const unsigned char*>(joined.data());
    const int n = sequenceAt<Store>(j, j + joined.size());
    if (n < 0) {
      carry = joined;
      piece.remove_prefix(take);
      return false;
    }
    if (n > 0) {
      whole(j, n);
      piece.remove_prefix(size_t(n) - carry.size());
      carry.clear();
      return true;
    }
    whole(j, 0);
    carry.erase(0, 1);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// ICU

struct IcuCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, IcuCloser>;

Converter openConverter(const std::string& name) {
  UErrorCode e = U_ZERO_ERROR;
  UConverter* c = ucnv_open(name.c_str(), &e);
  if (U_FAILURE(e)) return nullptr;
  return Converter(c);
}

// Every byte that does not decode becomes its escape; the count goes to *context.
void toUEscapes(const void* context, UConverterToUnicodeArgs* args, const char* bytes,
                int32_t length, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  UChar units[64];
  length = std::min<int32_t>(length, 64);
  for (int32_t i = 0; i < length; ++i) units[i] = UChar(0xDC00 + static_cast<unsigned char>(bytes[i]));
  *static_cast<int64_t*>(const_cast<void*>(context)) += length;
  *err = U_ZERO_ERROR;
  ucnv_cbToUWriteUChars(args, units, length, 0, err);
}

// The encoder turns what the encoding cannot hold into references before ICU sees it; should
// ICU still find one (a stateful encoding's own limits), a reference too, never a substitute.
void fromUReference(const void*, UConverterFromUnicodeArgs* args, const UChar*, int32_t,
                    UChar32 c, UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  *err = U_ZERO_ERROR;
  std::u16string ref = u"&#";
  for (char d : std::to_string(uint32_t(c))) ref.push_back(char16_t(d));
  ref.push_back(u';');
  const auto* source = reinterpret_cast<const UChar*>(ref.data());
  ucnv_cbFromUWriteUChars(args, &source, source + ref.size(), 0, err);
}

void setStopCallbacks(UConverter* c) {
  UErrorCode e = U_ZERO_ERROR;
  ucnv_setToUCallBack(c, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
  e = U_ZERO_ERROR;
  ucnv_setFromUCallBack(c, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &e);
}

QString displayName(const char* icuName) {
  for (const char* standard : {"MIME", "IANA"}) {
    UErrorCode e = U_ZERO_ERROR;
    const char* n = ucnv_getStandardName(icuName, standard, &e);
    if (U_SUCCESS(e) && n) return QString::fromLatin1(n);
  }
  return QString::fromLatin1(icuName);
}

// The tables of a single-byte encoding, read from the converter one byte at a time.
void readSingleByteTables(Codec::Impl& d, UConverter* c) {
  setStopCallbacks(c);
  d.encodeLow.fill(-1);
  std::array<char32_t, 256> decoded{};
  for (int b = 0; b < 256; ++b) {
    UChar u[4];
    const char byte = char(b);
    UErrorCode e = U_ZERO_ERROR;
    ucnv_resetToUnicode(c);
    const int32_t n = ucnv_toUChars(c, u, 4, &byte, 1, &e);
    decoded[size_t(b)] = (U_SUCCESS(e) && n == 1 && !U16_IS_SURROGATE(u[0])) ? u[0] : 0xFFFFFFFF;
  }
  std::array<bool, 256> roundTrips{};
  for (int b = 0; b < 256; ++b) {
    if (decoded[size_t(b)] == 0xFFFFFFFF) continue;
    // A byte whose character encodes to another byte (two bytes for one character) would
    // change on save: it is kept as its escape.
    const UChar unit = UChar(decoded[size_t(b)]);
    char back[4];
    UErrorCode e = U_ZERO_ERROR;
    ucnv_resetFromUnicode(c);
    const int32_t n = ucnv_fromUChars(c, back, 4, &unit, 1, &e);
    roundTrips[size_t(b)] = U_SUCCESS(e) && n == 1 && static_cast<unsigned char>(back[0]) == b;
  }
  // windows-1252 keeps the mapping that every earlier version read and wrote, should the
  // library ever differ from it.
  if (d.icuName == "ibm-5348_P100-1997") {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    const QString today = cp1252::decode(all);
    bool agrees = true;
    for (int b = 0; b < 256; ++b) agrees = agrees && roundTrips[size_t(b)] && decoded[size_t(b)] == today[b].unicode();
    if (!agrees)
      for (int b = 0; b < 256; ++b) {
        decoded[size_t(b)] = today[b].unicode();
        roundTrips[size_t(b)] = true;
      }
  }
  for (int b = 0; b < 256; ++b) {
    Cell& cell = d.decodeTable[size_t(b)];
    const char32_t u = decoded[size_t(b)];
    std::string bytes;
    if (roundTrips[size_t(b)]) {
      appendUtf8(bytes, u);
      if (u < 256)
        d.encodeLow[u] = int16_t(b);
      else
        d.encodeHigh[u] = uint8_t(b);
    } else {
      appendEscape(bytes, uint8_t(b));
      cell.escape = true;
    }
    cell.length = uint8_t(bytes.size());
    std::memcpy(cell.bytes, bytes.data(), bytes.size());
  }
  d.asciiIdentity = true;
  for (int b = 0; b < 0x80; ++b)
    if (d.decodeTable[size_t(b)].escape || d.encodeLow[size_t(b)] != b) d.asciiIdentity = false;
}

std::shared_ptr<const Codec::Impl> makeImpl(const QString& given) {
  auto d = std::make_shared<Codec::Impl>();
  const QString trimmed = given.trimmed();
  d->name = trimmed;
  const std::string ascii = trimmed.toStdString();
  Converter c;
  if (!ascii.empty() && ascii.size() < 64 &&
      std::all_of(ascii.begin(), ascii.end(), [](char ch) { return ch > ' ' && ch < 0x7F; }))
    c = openConverter(ascii);
  if (!c) return d;  // Kind::Unknown
  UErrorCode e = U_ZERO_ERROR;
  d->icuName = ucnv_getName(c.get(), &e);
  const std::string& icu = d->icuName;
  if (icu.rfind("UTF-8", 0) == 0) {
    d->kind = Kind::Utf8;
    d->name = QStringLiteral("UTF-8");
  } else if (icu.rfind("UTF-16BE", 0) == 0) {
    d->kind = Kind::Utf16BE;
    d->name = QStringLiteral("UTF-16BE");
  } else if (icu.rfind("UTF-16", 0) == 0) {
    d->kind = Kind::Utf16LE;
    d->name = QStringLiteral("UTF-16LE");
  } else {
    d->name = displayName(icu.c_str());
    const UConverterType type = ucnv_getType(c.get());
    const bool singleByte = ucnv_getMaxCharSize(c.get()) == 1 &&
                            (type == UCNV_SBCS || type == UCNV_LATIN_1 || type == UCNV_US_ASCII);
    if (singleByte) {
      d->kind = Kind::SingleByte;
      readSingleByteTables(*d, c.get());
    } else {
      d->kind = Kind::Generic;
    }
  }
  return d;
}

// ---------------------------------------------------------------------------------------------
// The markup around each character, for where a reference may stand in for it.

class Markup {
 public:
  // c: an ASCII byte; any other character is given as 'x', a name character.
  void step(unsigned char c) {
    switch (state_) {
      case Text:
        if (c == '<') state_ = Open;
        break;
      case Subset:
        if (c == '<') {
          state_ = Open;
        } else if (c == ']') {
          inSubset_ = false;
          state_ = Decl;
        }
        break;
      case Open:
        if (c == '?') {
          state_ = Pi;
          run_ = 0;
        } else if (c == '!') {
          state_ = Bang;
        } else if (c == '>') {
          state_ = base();
        } else {
          state_ = Tag;
        }
        break;
      case Bang:
        if (c == '-') {
          state_ = BangDash;
        } else if (c == '[') {
          state_ = CdataOpen;
          run_ = 0;
        } else {
          startDecl(c);
        }
        break;
      case BangDash:
        if (c == '-') {
          state_ = Comment;
          run_ = 0;
        } else {
          startDecl(c);
        }
        break;
      case CdataOpen:
        if (c == "CDATA["[run_]) {
          if (++run_ == 6) {
            state_ = Cdata;
            run_ = 0;
          }
        } else {
          startDecl(c);
        }
        break;
      case Comment:
        closeOn(c, '-', 2);
        break;
      case Cdata:
        closeOn(c, ']', 2);
        break;
      case Pi:
        closeOn(c, '?', 1);
        break;
      case Tag:
        if (c == '"' || c == '\'') {
          quote_ = c;
          state_ = AttrValue;
        } else if (c == '>') {
          state_ = base();
        }
        break;
      case AttrValue:
        if (c == quote_) state_ = Tag;
        break;
      case Decl:
        if (declLetters_ < 2 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
          declWord_[declLetters_++] = char(c & ~0x20);
        } else {
          declLetters_ = 2;
        }
        if (c == '"' || c == '\'') {
          quote_ = c;
          state_ = DeclValue;
        } else if (c == '[' && !inSubset_) {
          inSubset_ = true;
          state_ = Subset;
        } else if (c == '>') {
          state_ = base();
        }
        break;
      case DeclValue:
        if (c == quote_) state_ = Decl;
        break;
    }
  }

  // Steps over ASCII from p and stops at the first other byte or at end. In text, in a tag
  // and in an attribute value only a few bytes change anything: the others are skipped eight
  // at a time, which keeps a save of a large document near the speed of a copy.
  const unsigned char* run(const unsigned char* p, const unsigned char* end) {
    while (p < end) {
      switch (state_) {
        case Text: p = findStop<'<'>(p, end); break;
        case Tag: p = findStop<'"', '\'', '>'>(p, end); break;
        case AttrValue: p = quote_ == '"' ? findStop<'"'>(p, end) : findStop<'\''>(p, end); break;
        default: break;
      }
      if (p == end || *p >= 0x80) break;
      step(*p++);
    }
    return p;
  }

  // Text content, attribute values, and the quoted values of entity and attribute-list
  // declarations, where a character reference means the character.
  bool referenceAllowed() const {
    if (state_ == Text || state_ == AttrValue) return true;
    if (state_ != DeclValue) return false;
    return (declWord_[0] == 'E' && declWord_[1] == 'N') || (declWord_[0] == 'A' && declWord_[1] == 'T');
  }

 private:
  enum State : uint8_t {
    Text, Subset, Open, Bang, BangDash, CdataOpen, Comment, Cdata, Pi, Tag, AttrValue, Decl, DeclValue
  };

  // The first byte from p that is one of Cs or not ASCII, or end.
  template <unsigned char... Cs>
  static const unsigned char* findStop(const unsigned char* p, const unsigned char* end) {
    if constexpr (std::endian::native == std::endian::little) {
      constexpr uint64_t ones = 0x0101010101010101ull;
      const auto zeroByte = [](uint64_t v) { return (v - ones) & ~v & kHighBits; };
      for (; end - p >= 8; p += 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        // A borrow marks bytes after a match only, so the lowest bit set is the first stop.
        const uint64_t m = (w & kHighBits) | (zeroByte(w ^ (ones * Cs)) | ...);
        if (m) return p + (std::countr_zero(m) >> 3);
      }
    }
    while (p < end && *p < 0x80 && ((*p != Cs) && ...)) ++p;
    return p;
  }

  State base() const { return inSubset_ ? Subset : Text; }

  void startDecl(unsigned char c) {
    state_ = Decl;
    declLetters_ = 0;
    declWord_[0] = declWord_[1] = 0;
    step(c);
  }

  // Closes the construct on '>' after at least n of mark.
  void closeOn(unsigned char c, unsigned char mark, int n) {
    if (c == mark) {
      if (run_ < 2) ++run_;
    } else {
      if (c == '>' && run_ >= n) state_ = base();
      run_ = 0;
    }
  }

  State state_ = Text;
  bool inSubset_ = false;
  unsigned char quote_ = 0;
  uint8_t run_ = 0;
  uint8_t declLetters_ = 0;
  char declWord_[2] = {};
};

// Line breaks in [p, end): CR LF, CR and LF each count once. A CR at the end stays pending.
int64_t countBreaks(const char* p, const char* end, bool& pendingCr) {
  if (p == end) return 0;
  int64_t n = 0;
  if (pendingCr) {
    if (*p != '\n') ++n;
    pendingCr = false;
  }
  n += std::count(p, end, '\n');
  for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\r', size_t(end - q))));) {
    ++q;
    if (q == end)
      pendingCr = true;
    else if (*q != '\n')
      ++n;
  }
  return n;
}

// Appends the store form of UTF-16 units: a lone unit U+DC00..U+DCFF is an escape.
void appendUtf16AsStore(const char16_t* u, size_t n, std::string& out) {
  for (size_t i = 0; i < n; ++i) {
    char32_t c = u[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000 && !(c >= 0xDC00 && c <= 0xDCFF)) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Codec

Codec Codec::forName(const QString& name) {
  static std::mutex mutex;
  static std::map<QString, std::shared_ptr<const Impl>> cache;
  const QString key = name.trimmed().toLower();
  std::lock_guard lock(mutex);
  auto it = cache.find(key);
  if (it == cache.end()) {
    if (cache.size() > 256) cache.clear();  // names from files: no unbounded growth
    it = cache.emplace(key, makeImpl(name)).first;
  }
  return Codec(it->second);
}

Codec Codec::utf8() {
  static const Codec c = forName(QStringLiteral("UTF-8"));
  return c;
}

QString Codec::name() const { return d_->name; }
bool Codec::known() const { return d_->kind != Kind::Unknown; }

bool Codec::universal() const {
  return d_->kind == Kind::Utf8 || d_->kind == Kind::Utf16LE || d_->kind == Kind::Utf16BE ||
         d_->kind == Kind::Unknown;
}

bool Codec::representable(char32_t c) const {
  if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return false;
  switch (d_->kind) {
    case Kind::SingleByte:
      return c < 256 ? d_->encodeLow[c] >= 0 : d_->encodeHigh.count(c) > 0;
    case Kind::Generic: {
      std::lock_guard lock(d_->probeMutex);
      if (auto it = d_->probed.find(c); it != d_->probed.end()) return it->second;
      if (!d_->probe) {
        d_->probe = openConverter(d_->icuName).release();
        if (!d_->probe) return false;
        setStopCallbacks(d_->probe);
      }
      UChar u[2];
      int32_t n = 0;
      U16_APPEND_UNSAFE(u, n, c);
      char out[32];
      UErrorCode e = U_ZERO_ERROR;
      ucnv_resetFromUnicode(d_->probe);
      ucnv_fromUChars(d_->probe, out, sizeof out, u, n, &e);
      const bool ok = U_SUCCESS(e);
      if (d_->probed.size() > 100000) d_->probed.clear();
      d_->probed.emplace(c, ok);
      return ok;
    }
    default:
      return true;
  }
}

std::string_view Codec::byteOrderMark() const {
  switch (d_->kind) {
    case Kind::Utf8: return "\xEF\xBB\xBF";
    case Kind::Utf16LE: return "\xFF\xFE";
    case Kind::Utf16BE: return "\xFE\xFF";
    default: return {};
  }
}

// ---------------------------------------------------------------------------------------------
// Detection

bool isValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    while (end - p >= 8 && asciiWord(p)) p += 8;
    if (p == end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const int n = sequenceAt<false>(p, end);
    if (n <= 0) return false;
    p += n;
  }
  return true;
}

namespace {

constexpr size_t kDeclarationLimit = 1024;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The encoding pseudo-attribute of the declaration that opens head ("" when none).
std::string declaredEncoding(std::string_view head) {
  if (head.size() < 6 || head.substr(0, 5) != "<?xml" || !isSpace(head[5])) return {};
  head = head.substr(0, std::min(head.find("?>"), kDeclarationLimit));
  for (size_t at = head.find("encoding"); at != std::string_view::npos;
       at = head.find("encoding", at + 1)) {
    if (!isSpace(head[at - 1])) continue;
    size_t i = at + 8;
    while (i < head.size() && isSpace(head[i])) ++i;
    if (i >= head.size() || head[i] != '=') continue;
    ++i;
    while (i < head.size() && isSpace(head[i])) ++i;
    if (i >= head.size() || (head[i] != '"' && head[i] != '\'')) continue;
    const size_t close = head.find(head[i], i + 1);
    if (close == std::string_view::npos) return {};
    return std::string(head.substr(i + 1, close - i - 1));
  }
  return {};
}

// The head of a UTF-16 text as ASCII, up to its first character that is not.
std::string asciiOfUtf16(std::string_view bytes, bool littleEndian) {
  std::string out;
  for (size_t i = 0; i + 1 < bytes.size() && out.size() < kDeclarationLimit; i += 2) {
    const auto lo = static_cast<unsigned char>(bytes[i + (littleEndian ? 0 : 1)]);
    const auto hi = static_cast<unsigned char>(bytes[i + (littleEndian ? 1 : 0)]);
    if (hi != 0 || lo >= 0x80) break;
    out.push_back(char(lo));
  }
  return out;
}

Codec guessFromContent(std::string_view bytes) {
  return Codec::forName(isValidUtf8(bytes) ? QStringLiteral("UTF-8") : QStringLiteral("windows-1252"));
}

// The declaration reads as itself in the codec: a name that contradicts the bytes it is
// written in (UTF-16 or EBCDIC named in ASCII) cannot be how the file is encoded.
bool readsAsAscii(const Codec& codec, std::string_view declaration) {
  if (codec.impl().kind == Kind::Utf16LE || codec.impl().kind == Kind::Utf16BE) return false;
  if (codec.impl().kind == Kind::Utf8 || codec.impl().kind == Kind::Unknown) return true;
  return decode(declaration, codec) == declaration;
}

}  // namespace

Detection detect(std::string_view bytes) {
  Detection d;
  const auto starts = [&](std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; };
  auto settle = [&](Codec codec, Source source) {
    d.codec = std::move(codec);
    d.name = d.codec.name();
    d.source = source;
    return d;
  };
  auto noteDeclared = [&](const std::string& name) {
    d.declared = !name.empty();
    d.declaredName = QString::fromLatin1(name.data(), qsizetype(name.size()));
  };

  if (starts("\xEF\xBB\xBF")) {
    d.bomLength = 3;
    noteDeclared(declaredEncoding(bytes.substr(3, kDeclarationLimit)));
    return settle(Codec::utf8(), Source::ByteOrderMark);
  }
  if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    const bool little = bytes[0] == '\xFF';
    d.bomLength = 2;
    noteDeclared(declaredEncoding(asciiOfUtf16(bytes.substr(2), little)));
    return settle(Codec::forName(little ? "UTF-16LE" : "UTF-16BE"), Source::ByteOrderMark);
  }
  if (starts(std::string_view("<\0?\0", 4)) || starts(std::string_view("\0<\0?", 4))) {
    const bool little = bytes[0] == '<';
    noteDeclared(declaredEncoding(asciiOfUtf16(bytes, little)));
    return settle(Codec::forName(little ? "UTF-16LE" : "UTF-16BE"),
                  d.declared ? Source::Declaration : Source::Content);
  }
  const std::string name = declaredEncoding(bytes.substr(0, kDeclarationLimit));
  noteDeclared(name);
  if (!name.empty()) {
    const Codec declared = Codec::forName(d.declaredName);
    const size_t close = bytes.find("?>");
    const size_t length = close == std::string_view::npos ? kDeclarationLimit : close + 2;
    if (readsAsAscii(declared, bytes.substr(0, std::min(length, kDeclarationLimit))))
      return settle(declared, Source::Declaration);
  }
  return settle(guessFromContent(bytes), Source::Content);
}

// ---------------------------------------------------------------------------------------------
// Decoder

namespace {

// Without shifts between states, so that a character's bytes do not depend on those before.
bool statelessConverter(const std::string& icuName) {
  const Converter c = openConverter(icuName);
  if (!c) return false;
  switch (ucnv_getType(c.get())) {
    case UCNV_MBCS:
    case UCNV_DBCS:
    case UCNV_SBCS:
    case UCNV_UTF32_BigEndian:
    case UCNV_UTF32_LittleEndian:
    case UCNV_CESU8:
      return true;
    default:
      return false;
  }
}

// Each character read is kept only when it is written back as the very bytes it came from.
std::string decodeCharacterByCharacter(const std::string& bytes, const std::string& icuName, int64_t& escaped) {
  std::string text;
  const Converter reader = openConverter(icuName);
  const Converter writer = openConverter(icuName);
  if (!reader || !writer) return text;
  setStopCallbacks(reader.get());
  setStopCallbacks(writer.get());
  std::unordered_map<char32_t, std::string> written;
  const char* src = bytes.data();
  const char* const end = src + bytes.size();
  while (src < end) {
    const char* const before = src;
    UErrorCode e = U_ZERO_ERROR;
    const UChar32 c = ucnv_getNextUChar(reader.get(), &src, end, &e);
    if (src <= before) src = before + 1;
    bool kept = U_SUCCESS(e) && c >= 0 && c <= 0x10FFFF && !U_IS_SURROGATE(c);
    if (kept) {
      auto it = written.find(char32_t(c));
      if (it == written.end()) {
        UChar u[2];
        int32_t n = 0;
        U16_APPEND_UNSAFE(u, n, c);
        char out[16];
        UErrorCode we = U_ZERO_ERROR;
        ucnv_resetFromUnicode(writer.get());
        const int32_t length = ucnv_fromUChars(writer.get(), out, sizeof out, u, n, &we);
        it = written.emplace(char32_t(c), U_SUCCESS(we) ? std::string(out, size_t(length)) : std::string()).first;
      }
      kept = it->second == std::string_view(before, size_t(src - before));
    }
    if (kept) {
      appendUtf8(text, char32_t(c));
    } else {
      for (const char* b = before; b < src; ++b) appendEscape(text, static_cast<unsigned char>(*b));
      escaped += src - before;
      ucnv_resetToUnicode(reader.get());
    }
  }
  return text;
}

}  // namespace

struct Decoder::State {
  std::string carry;             // UTF-8: a sequence the piece cut
  int pendingByte = -1;          // UTF-16: the odd byte
  int pendingHigh = -1;          // UTF-16: a high surrogate waiting for its low one
  unsigned char highBytes[2] = {};
  std::string whole;             // other converters: the whole file, read at the end
};

Decoder::Decoder(const Codec& codec) : codec_(codec), s_(std::make_unique<State>()) {}
Decoder::~Decoder() = default;

namespace {

void decodeUtf8(const unsigned char* p, const unsigned char* end, bool final, std::string& carry,
                std::string& out, int64_t& undecodable) {
  const unsigned char* run = p;
  while (p < end) {
    while (end - p >= 8 && asciiWord(p)) p += 8;
    if (p == end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const int n = sequenceAt<false>(p, end);
    if (n > 0) {
      p += n;
      continue;
    }
    out.append(reinterpret_cast<const char*>(run), size_t(p - run));
    if (n < 0 && !final) {
      carry.assign(reinterpret_cast<const char*>(p), size_t(end - p));
      return;
    }
    appendEscape(out, *p);
    ++undecodable;
    run = ++p;
  }
  out.append(reinterpret_cast<const char*>(run), size_t(p - run));
}

void decodeSingleByte(const Codec::Impl& d, const unsigned char* p, const unsigned char* end,
                      std::string& out, int64_t& undecodable) {
  out.reserve(out.size() + size_t(end - p) + size_t(end - p) / 8);
  while (p < end) {
    if (d.asciiIdentity) {
      const unsigned char* run = p;
      while (end - p >= 8 && asciiWord(p)) p += 8;
      while (p < end && *p < 0x80) ++p;
      out.append(reinterpret_cast<const char*>(run), size_t(p - run));
      if (p == end) break;
    }
    const Cell& cell = d.decodeTable[*p++];
    out.append(cell.bytes, cell.length);
    undecodable += cell.escape;
  }
}

}  // namespace

void Decoder::decode(std::string_view bytes, std::string& out) {
  const Codec::Impl& d = codec_.impl();
  State& s = *s_;
  switch (d.kind) {
    case Kind::Utf8:
    case Kind::Unknown: {
      const bool whole = joinCarry<false>(s.carry, bytes, [&](const unsigned char* j, int n) {
        if (n > 0) {
          out.append(reinterpret_cast<const char*>(j), size_t(n));
        } else {
          appendEscape(out, j[0]);
          ++undecodable_;
        }
      });
      if (!whole) return;
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
      decodeUtf8(p, p + bytes.size(), false, s.carry, out, undecodable_);
      return;
    }
    case Kind::SingleByte: {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
      decodeSingleByte(d, p, p + bytes.size(), out, undecodable_);
      return;
    }
    case Kind::Generic:
      s.whole.append(bytes);
      return;
    case Kind::Utf16LE:
    case Kind::Utf16BE:
      break;
  }
  const bool little = d.kind == Kind::Utf16LE;
  auto unit = [&](unsigned char b0, unsigned char b1) {
    const char32_t u = little ? char32_t(b0 | b1 << 8) : char32_t(b0 << 8 | b1);
    if (s.pendingHigh >= 0) {
      if (u >= 0xDC00 && u < 0xE000) {
        appendUtf8(out, 0x10000 + ((char32_t(s.pendingHigh) - 0xD800) << 10) + (u - 0xDC00));
        s.pendingHigh = -1;
        return;
      }
      appendEscape(out, s.highBytes[0]);
      appendEscape(out, s.highBytes[1]);
      undecodable_ += 2;
      s.pendingHigh = -1;
    }
    if (u >= 0xD800 && u < 0xDC00) {
      s.pendingHigh = int(u);
      s.highBytes[0] = b0;
      s.highBytes[1] = b1;
    } else if (u >= 0xDC00 && u < 0xE000) {
      appendEscape(out, b0);
      appendEscape(out, b1);
      undecodable_ += 2;
    } else {
      appendUtf8(out, u);
    }
  };
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  if (s.pendingByte >= 0 && p < end) {
    unit(static_cast<unsigned char>(s.pendingByte), *p++);
    s.pendingByte = -1;
  }
  out.reserve(out.size() + size_t(end - p) / 2);
  const uint64_t asciiMask = little ? 0xFF80FF80FF80FF80ull : 0x80FF80FF80FF80FFull;
  while (end - p >= 2) {
    if constexpr (std::endian::native == std::endian::little) {
      while (s.pendingHigh < 0 && end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        if (w & asciiMask) break;
        const int o = little ? 0 : 1;
        const char four[4] = {char(p[o]), char(p[o + 2]), char(p[o + 4]), char(p[o + 6])};
        out.append(four, 4);
        p += 8;
      }
      if (end - p < 2) break;
    }
    unit(p[0], p[1]);
    p += 2;
  }
  if (p < end) s.pendingByte = *p;
}

void Decoder::finish(std::string& out) {
  State& s = *s_;
  for (char c : s.carry) appendEscape(out, static_cast<unsigned char>(c));
  undecodable_ += int64_t(s.carry.size());
  s.carry.clear();
  if (s.pendingHigh >= 0) {
    appendEscape(out, s.highBytes[0]);
    appendEscape(out, s.highBytes[1]);
    undecodable_ += 2;
    s.pendingHigh = -1;
  }
  if (s.pendingByte >= 0) {
    appendEscape(out, static_cast<unsigned char>(s.pendingByte));
    ++undecodable_;
    s.pendingByte = -1;
  }
  if (codec_.impl().kind != Kind::Generic) return;

  // Other converters read the whole file at once, and what they read is checked by writing it
  // back: one that reads two byte sequences as the same character, or a stateful one, could
  // otherwise change bytes on save.
  const std::string& bytes = s.whole;
  std::string text;
  int64_t escaped = 0;
  if (Converter c = openConverter(codec_.impl().icuName)) {
    UErrorCode e = U_ZERO_ERROR;
    ucnv_setToUCallBack(c.get(), toUEscapes, &escaped, nullptr, nullptr, &e);
    std::u16string units;
    const char* src = bytes.data();
    do {
      e = U_ZERO_ERROR;
      const size_t done = units.size();
      units.resize(done + bytes.size() + 64);
      auto* dst = reinterpret_cast<UChar*>(units.data()) + done;
      ucnv_toUnicode(c.get(), &dst, reinterpret_cast<UChar*>(units.data()) + units.size(), &src,
                     bytes.data() + bytes.size(), nullptr, true, &e);
      units.resize(size_t(dst - reinterpret_cast<UChar*>(units.data())));
    } while (e == U_BUFFER_OVERFLOW_ERROR);
    if (U_SUCCESS(e)) {
      appendUtf16AsStore(units.data(), units.size(), text);
      const Encoded back = encode(text, codec_, false);
      if (!back.ok || back.bytes != bytes) text.clear();
    } else {
      text.clear();
    }
  }
  if (text.empty() && !bytes.empty() && statelessConverter(codec_.impl().icuName)) {
    // One character at a time: only the sequences that would not come back are escaped.
    escaped = 0;
    text = decodeCharacterByCharacter(bytes, codec_.impl().icuName, escaped);
    const Encoded back = encode(text, codec_, false);
    if (!back.ok || back.bytes != bytes) text.clear();
  }
  if (text.empty() && !bytes.empty()) {
    // Kept readable where the encoding agrees with ASCII, else every byte escaped.
    escaped = 0;
    for (char b : bytes)
      if (static_cast<unsigned char>(b) < 0x80) {
        text.push_back(b);
      } else {
        appendEscape(text, static_cast<unsigned char>(b));
        ++escaped;
      }
    const Encoded back = encode(text, codec_, false);
    if (!back.ok || back.bytes != bytes) {
      text.clear();
      for (char b : bytes) appendEscape(text, static_cast<unsigned char>(b));
      escaped = int64_t(bytes.size());
    }
  }
  out += text;
  undecodable_ += escaped;
  s.whole.clear();
}

std::string decode(std::string_view bytes, const Codec& codec, int64_t* undecodable) {
  std::string out;
  Decoder d(codec);
  d.decode(bytes, out);
  d.finish(out);
  if (undecodable) *undecodable = d.undecodable();
  return out;
}

// ---------------------------------------------------------------------------------------------
// Encoder

struct Encoder::State {
  bool bom = false;
  std::string carry;      // a sequence the piece cut
  Markup markup;
  int64_t breaks = 0;     // line breaks before the piece being encoded
  bool pendingCr = false;
  const char* pieceStart = nullptr;
  Converter converter;    // other converters
  std::u16string units;
  std::unordered_map<char32_t, bool> representable;
};

Encoder::Encoder(const Codec& codec, bool byteOrderMark)
    : codec_(codec), s_(std::make_unique<State>()) {
  s_->bom = byteOrderMark;
  if (codec_.impl().kind == Kind::Generic) {
    s_->converter = openConverter(codec_.impl().icuName);
    if (s_->converter) {
      UErrorCode e = U_ZERO_ERROR;
      ucnv_setFromUCallBack(s_->converter.get(), fromUReference, nullptr, nullptr, nullptr, &e);
    }
  }
}

Encoder::~Encoder() = default;

bool Encoder::encode(std::string_view store, std::string& out) {
  if (refused()) return false;
  State& s = *s_;
  if (s.bom) {
    out += codec_.byteOrderMark();
    s.bom = false;
  }
  const std::string_view piece = store;
  bool ok = true;
  s.pieceStart = nullptr;  // the carry's bytes hold no line break
  const bool whole = joinCarry<true>(s.carry, store, [&](const unsigned char* j, int n) {
    const auto* c = reinterpret_cast<const char*>(j);
    ok = ok && encodeBody(c, c + std::max(n, 1), out);
  });
  if (!ok || !whole) return ok;
  const auto* p = reinterpret_cast<const unsigned char*>(store.data());
  const auto* cut = wholeEnd(p, p + store.size());
  s.pieceStart = store.data();
  ok = encodeBody(store.data(), reinterpret_cast<const char*>(cut), out);
  if (!ok) return false;
  s.carry.assign(reinterpret_cast<const char*>(cut), store.size() - size_t(cut - p));
  // Only a refusal needs the line, and only encodings that cannot hold everything refuse.
  if (!codec_.universal()) s.breaks += countBreaks(piece.data(), piece.data() + piece.size(), s.pendingCr);
  return true;
}

bool Encoder::finish(std::string& out) {
  if (refused()) return false;
  State& s = *s_;
  if (s.bom) {
    out += codec_.byteOrderMark();
    s.bom = false;
  }
  // A sequence cut at the very end is no character: its bytes are written as they are.
  std::string rest;
  rest.swap(s.carry);
  for (char c : rest) {
    const std::string escape = [&] {
      std::string e;
      appendEscape(e, static_cast<unsigned char>(c));
      return e;
    }();
    s.pieceStart = nullptr;
    if (!encodeBody(escape.data(), escape.data() + escape.size(), out)) return false;
  }
  if (s.converter) {
    char buffer[64];
    UErrorCode e;
    do {
      e = U_ZERO_ERROR;
      char* dst = buffer;
      ucnv_fromUnicode(s.converter.get(), &dst, buffer + sizeof buffer, nullptr, nullptr, nullptr,
                       true, &e);
      out.append(buffer, size_t(dst - buffer));
    } while (e == U_BUFFER_OVERFLOW_ERROR);
  }
  return true;
}

bool Encoder::encodeBody(const char* begin, const char* finish, std::string& out) {
  State& s = *s_;
  const Codec::Impl& d = codec_.impl();
  const auto* p = reinterpret_cast<const unsigned char*>(begin);
  const auto* end = reinterpret_cast<const unsigned char*>(finish);

  if (d.kind == Kind::Utf8 || d.kind == Kind::Unknown) {
    const unsigned char* run = p;
    while (p < end) {
      const auto* e = static_cast<const unsigned char*>(std::memchr(p, 0xED, size_t(end - p)));
      if (!e) break;
      if (isEscapeAt(e, end)) {
        out.append(reinterpret_cast<const char*>(run), size_t(e - run));
        out.push_back(char(escapedByteOf(e)));
        p = run = e + 3;
      } else {
        p = e + 1;
      }
    }
    out.append(reinterpret_cast<const char*>(run), size_t(end - run));
    return true;
  }

  if (d.kind == Kind::Utf16LE || d.kind == Kind::Utf16BE) {
    const bool little = d.kind == Kind::Utf16LE;
    out.reserve(out.size() + size_t(end - p) * 2);
    auto put = [&](char32_t u) {
      const char b[2] = {char(little ? u & 0xFF : u >> 8), char(little ? u >> 8 : u & 0xFF)};
      out.append(b, 2);
    };
    while (p < end) {
      if (*p < 0x80) {
        put(*p++);
        continue;
      }
      const int n = sequenceAt<true>(p, end);
      if (n <= 0) {
        out.push_back(char(*p++));  // a stray byte of the store is written as it is
        continue;
      }
      if (isEscapeAt(p, end)) {
        out.push_back(char(escapedByteOf(p)));
      } else {
        const char32_t c = codePointOf(p, n);
        if (c >= 0x10000) {
          put(0xD800 + ((c - 0x10000) >> 10));
          put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
          put(c);
        }
      }
      p += n;
    }
    return true;
  }

  // Encodings that cannot hold every character: each one is placed in its markup.
  const bool generic = d.kind == Kind::Generic;
  if (generic && !s.converter) return true;
  std::u16string& units = s.units;
  units.clear();
  auto refuse = [&](const unsigned char* at, char32_t c) {
    bool pending = s.pendingCr;
    int64_t breaks = s.breaks;
    if (s.pieceStart) breaks += countBreaks(s.pieceStart, reinterpret_cast<const char*>(at), pending);
    refusedLine_ = breaks + (pending ? 1 : 0) + 1;
    refusedCharacter_ = c;
    return false;
  };
  auto representable = [&](char32_t c) {
    if (!generic) return c < 256 ? d.encodeLow[c] >= 0 : d.encodeHigh.count(c) > 0;
    auto it = s.representable.find(c);
    if (it == s.representable.end()) it = s.representable.emplace(c, codec_.representable(c)).first;
    return it->second;
  };
  // c is representable, or one of the ASCII characters of a reference, which every
  // encoding that a document can be written in holds.
  auto put = [&](char32_t c) {
    if (generic) {
      if (c >= 0x10000) {
        units.push_back(char16_t(0xD800 + ((c - 0x10000) >> 10)));
        units.push_back(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)));
      } else {
        units.push_back(char16_t(c));
      }
    } else if (c < 256) {
      out.push_back(char(d.encodeLow[c] >= 0 ? d.encodeLow[c] : c));
    } else {
      out.push_back(char(d.encodeHigh.at(c)));
    }
  };
  // ICU is given what came before an escape first, and ends its state there: a stateful
  // encoding would otherwise write its pending bits after the byte.
  auto feed = [&](bool flush) {
    const auto* src = reinterpret_cast<const UChar*>(units.data());
    const auto* srcEnd = src + units.size();
    char buffer[4096];
    UErrorCode e;
    do {
      e = U_ZERO_ERROR;
      char* dst = buffer;
      ucnv_fromUnicode(s.converter.get(), &dst, buffer + sizeof buffer, &src, srcEnd, nullptr, flush, &e);
      out.append(buffer, size_t(dst - buffer));
    } while (e == U_BUFFER_OVERFLOW_ERROR);
    units.clear();
  };
  auto putRaw = [&](unsigned char raw) {
    if (generic) feed(true);
    out.push_back(char(raw));
  };
  const bool copyAscii = !generic && d.asciiIdentity;
  const unsigned char* run = p;  // ASCII copied as it is
  while (p < end) {
    if (copyAscii) {
      p = s.markup.run(p, end);
      if (p == end) break;
    }
    const unsigned char b = *p;
    if (copyAscii) out.append(reinterpret_cast<const char*>(run), size_t(p - run));
    int n = 1;
    char32_t c = b;
    if (b >= 0x80) {
      n = sequenceAt<true>(p, end);
      if (n <= 0 || isEscapeAt(p, end)) {
        putRaw(n <= 0 ? b : escapedByteOf(p));
        p += std::max(n, 1);
        run = p;
        continue;
      }
      c = codePointOf(p, n);
    }
    s.markup.step(c < 0x80 ? static_cast<unsigned char>(c) : 'x');
    if (representable(c)) {
      put(c);
    } else if (s.markup.referenceAllowed()) {
      std::string ref;
      appendReference(ref, c);
      for (char r : ref) put(static_cast<unsigned char>(r));
    } else {
      return refuse(p, c);
    }
    p += n;
    run = p;
  }
  if (copyAscii) out.append(reinterpret_cast<const char*>(run), size_t(p - run));

  if (generic && !units.empty()) feed(false);
  return true;
}

Encoded encode(std::string_view store, const Codec& codec, bool byteOrderMark) {
  Encoded r;
  Encoder e(codec, byteOrderMark);
  if (e.encode(store, r.bytes) && e.finish(r.bytes)) {
    r.ok = true;
  } else {
    r.bytes.clear();
    r.line = e.refusedLine();
    r.character = e.refusedCharacter();
  }
  return r;
}

namespace {

Read readWith(std::string_view fileBytes, Detection detection) {
  Read r;
  r.detection = std::move(detection);
  r.text = decode(fileBytes.substr(size_t(r.detection.bomLength)), r.detection.codec, &r.undecodable);
  return r;
}

}  // namespace

Read read(std::string_view fileBytes) { return readWith(fileBytes, detect(fileBytes)); }

Read read(std::string_view fileBytes, const Codec& forced) {
  Detection d = detect(fileBytes);
  const std::string_view mark = forced.byteOrderMark();
  d.bomLength = !mark.empty() && fileBytes.substr(0, mark.size()) == mark ? int(mark.size()) : 0;
  d.codec = forced;
  d.name = forced.name();
  return readWith(fileBytes, std::move(d));
}

// ---------------------------------------------------------------------------------------------
// Store form and the widgets' text

QString toQString(std::string_view store) {
  QString out(qsizetype(store.size()), Qt::Uninitialized);
  auto* d = reinterpret_cast<char16_t*>(out.data());
  char16_t* const start = d;
  const auto* p = reinterpret_cast<const unsigned char*>(store.data());
  const auto* end = p + store.size();
  while (p < end) {
    while (end - p >= 8 && asciiWord(p))
      for (int i = 0; i < 8; ++i) *d++ = *p++;
    if (p == end) break;
    if (*p < 0x80) {
      *d++ = *p++;
      continue;
    }
    const int n = sequenceAt<true>(p, end);
    if (n <= 0 || isEscapeAt(p, end)) {
      *d++ = 0xFFFD;
      p += std::max(n, 1);
      continue;
    }
    const char32_t c = codePointOf(p, n);
    if (c >= 0x10000) {
      *d++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
      *d++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      *d++ = char16_t(c);
    }
    p += n;
  }
  out.resize(d - start);
  return out;
}

std::string fromQString(const QString& text, const Codec& codec) {
  std::string out;
  out.reserve(size_t(text.size()));
  const auto* u = reinterpret_cast<const char16_t*>(text.constData());
  const qsizetype n = text.size();
  const bool all = codec.universal();
  for (qsizetype i = 0; i < n; ++i) {
    char32_t c = u[i];
    if (c < 0x80) {
      out.push_back(char(c));
      continue;
    }
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (all || codec.representable(c))
      appendUtf8(out, c);
    else
      appendReference(out, c);
  }
  return out;
}

int charLength(std::string_view store, size_t pos) {
  if (pos >= store.size()) return 1;
  const auto* p = reinterpret_cast<const unsigned char*>(store.data()) + pos;
  if (*p < 0x80) return 1;
  return std::max(sequenceAt<true>(p, reinterpret_cast<const unsigned char*>(store.data()) + store.size()), 1);
}

size_t previousCharStart(std::string_view store, size_t pos) {
  if (pos == 0) return 0;
  pos = std::min(pos, store.size());
  const auto* base = reinterpret_cast<const unsigned char*>(store.data());
  if (base[pos - 1] < 0x80) return pos - 1;
  // No valid sequence holds a lead byte inside it, so one that ends exactly at pos starts a
  // character whichever way the text is walked.
  for (size_t k = 2; k <= 4 && k <= pos; ++k)
    if (base[pos - k] >= 0xC0) return sequenceAt<true>(base + pos - k, base + pos) == int(k) ? pos - k : pos - 1;
  return pos - 1;
}

size_t charCount(std::string_view store, size_t from, size_t to) {
  to = std::min(to, store.size());
  if (from >= to) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(store.data()) + from;
  const auto* end = reinterpret_cast<const unsigned char*>(store.data()) + to;
  size_t count = 0;
  while (p < end) {
    const unsigned char* run = p;
    while (end - p >= 8 && asciiWord(p)) p += 8;
    while (p < end && *p < 0x80) ++p;
    count += size_t(p - run);
    if (p == end) break;
    p += std::max(sequenceAt<true>(p, end), 1);
    ++count;
  }
  return count;
}

size_t advanceChars(std::string_view store, size_t from, size_t n) {
  const auto* base = reinterpret_cast<const unsigned char*>(store.data());
  const auto* end = base + store.size();
  const auto* p = base + std::min(from, store.size());
  while (n > 0 && p < end) {
    if (*p < 0x80) {
      if (n >= 8 && end - p >= 8 && asciiWord(p)) {
        p += 8;
        n -= 8;
        continue;
      }
      ++p;
    } else {
      p += std::max(sequenceAt<true>(p, end), 1);
    }
    --n;
  }
  return size_t(p - base);
}

char32_t codePointAt(std::string_view store, size_t pos, int* length) {
  if (pos >= store.size()) {
    if (length) *length = 0;
    return 0;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(store.data()) + pos;
  const auto* end = reinterpret_cast<const unsigned char*>(store.data()) + store.size();
  const int n = *p < 0x80 ? 1 : sequenceAt<true>(p, end);
  if (length) *length = std::max(n, 1);
  return n <= 0 ? 0xFFFD : codePointOf(p, n);
}

int escapedByte(std::string_view store, size_t pos) {
  if (pos >= store.size()) return -1;
  const auto* p = reinterpret_cast<const unsigned char*>(store.data()) + pos;
  const auto* end = reinterpret_cast<const unsigned char*>(store.data()) + store.size();
  return isEscapeAt(p, end) ? escapedByteOf(p) : -1;
}

}  // namespace encoding
