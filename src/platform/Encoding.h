#pragma once
// The character encodings of documents: which one a file is in, and the conversion between its
// bytes and the store form, the in-memory text of every document: UTF-8 with CR LF breaks,
// positions in bytes. A file byte that does not decode is kept as the lone surrogate
// U+DC00 + byte (ED B0..B3 xx), which no valid UTF-8 holds, and is written back as that byte.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <QString>

namespace encoding {

// One encoding, found by name. Cheap to copy; immutable, so one codec may serve many threads.
class Codec {
 public:
  // Never fails: a name that no converter knows gives a codec that reads UTF-8, escapes every
  // byte that does not decode, and keeps the name so that a save writes the same bytes back.
  // Case and surrounding spaces do not matter. "UTF-16" alone is UTF-16LE.
  static Codec forName(const QString& name);
  static Codec utf8();

  // The canonical name, as the status bar shows it: "UTF-8", "UTF-16LE", "ISO-8859-1",
  // "windows-1252"..., or the name as given when no converter knows it.
  QString name() const;
  // A converter knows the name.
  bool known() const;
  // Every character has bytes in it (UTF-8, UTF-16), so no reference is ever needed.
  bool universal() const;
  // The character c has bytes of its own in the encoding.
  bool representable(char32_t c) const;
  // The byte-order mark of the encoding, empty when it has none (the single-byte ones).
  std::string_view byteOrderMark() const;

  struct Impl;
  const Impl& impl() const { return *d_; }

 private:
  explicit Codec(std::shared_ptr<const Impl> d) : d_(std::move(d)) {}
  std::shared_ptr<const Impl> d_;
};

enum class Source { ByteOrderMark, Declaration, Content };

// What the head of a file says about its encoding.
struct Detection {
  QString name;            // Codec::name() of codec
  Codec codec = Codec::utf8();
  int bomLength = 0;       // bytes of the byte-order mark at the start, 0 without one
  bool declared = false;   // an XML or text declaration names an encoding
  QString declaredName;    // that name as written
  Source source = Source::Content;
  bool known() const { return codec.known(); }
};

// The byte-order mark decides first, then the declaration's encoding (also a declaration in
// UTF-16 without a mark), then UTF-8 when the bytes are valid UTF-8, else windows-1252. Reads
// only the head, unless it has to check that the whole is valid UTF-8.
Detection detect(std::string_view bytes);

// True when the bytes are valid UTF-8 (no surrogates, nothing above U+10FFFF, no overlong form).
bool isValidUtf8(std::string_view bytes);

// Decodes a file's bytes, given in pieces cut anywhere, into store form appended to out. The
// byte-order mark is not skipped: give the bytes after it.
class Decoder {
 public:
  explicit Decoder(const Codec& codec);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  void decode(std::string_view bytes, std::string& out);
  // The bytes of a sequence cut at the end of the file are escaped.
  void finish(std::string& out);
  // Bytes kept as escapes because they do not decode.
  int64_t undecodable() const { return undecodable_; }

 private:
  struct State;
  Codec codec_;
  std::unique_ptr<State> s_;
  int64_t undecodable_ = 0;
};

// Encodes store-form text, given in pieces cut anywhere, into the file's bytes appended to out.
// A character the encoding cannot hold becomes "&#N;" where XML allows a reference (text
// content, attribute values, entity and attribute default values); elsewhere (a name, a
// comment, a processing instruction, a CDATA section, the XML declaration) the encoder
// refuses: from then on it writes nothing and the caller must not write the file.
class Encoder {
 public:
  Encoder(const Codec& codec, bool byteOrderMark);
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  // False once refused.
  bool encode(std::string_view store, std::string& out);
  bool finish(std::string& out);

  bool refused() const { return refusedLine_ > 0; }
  // The line, from 1, of the character refused (CR LF, CR and LF each end a line), or 0.
  int64_t refusedLine() const { return refusedLine_; }
  char32_t refusedCharacter() const { return refusedCharacter_; }

 private:
  struct State;
  bool encodeBody(const char* p, const char* end, std::string& out);
  Codec codec_;
  std::unique_ptr<State> s_;
  int64_t refusedLine_ = 0;
  char32_t refusedCharacter_ = 0;
};

// Whole-buffer forms of the two.
std::string decode(std::string_view bytes, const Codec& codec, int64_t* undecodable = nullptr);
struct Encoded {
  bool ok = false;
  std::string bytes;       // empty when refused
  int64_t line = 0;        // the refused character's line
  char32_t character = 0;  // the refused character
};
Encoded encode(std::string_view store, const Codec& codec, bool byteOrderMark);

// A whole file read as the editor opens it: its encoding detected, or forced (the batch
// program's --encoding), the byte-order mark left out of the text (a forced encoding skips only
// its own mark). Saving it back: encode(text, detection.codec, detection.bomLength > 0).
struct Read {
  std::string text;
  Detection detection;
  int64_t undecodable = 0;
};
Read read(std::string_view fileBytes);
Read read(std::string_view fileBytes, const Codec& forced);

// Store form to the widgets' text: an escape, or a stray byte, is one U+FFFD, so that every
// character below U+10000 is one QChar.
QString toQString(std::string_view store);
// The widgets' text to store form: a character the codec cannot hold becomes "&#N;", as the
// editor inserts it; a lone surrogate becomes U+FFFD.
std::string fromQString(const QString& text, const Codec& codec);

// Store-form characters. A character is a UTF-8 sequence, an escape, or else one stray byte;
// stepping never enters a sequence.
//
// Bytes of the character that starts at pos (1 at the end or on a stray byte).
int charLength(std::string_view store, size_t pos);
// Start of the character that ends at pos (0 at 0).
size_t previousCharStart(std::string_view store, size_t pos);
// Characters in the byte range [from, to).
size_t charCount(std::string_view store, size_t from, size_t to);
inline size_t charCount(std::string_view store) { return charCount(store, 0, store.size()); }
// The byte offset of the character n characters after from (clamped to the end).
size_t advanceChars(std::string_view store, size_t from, size_t n);
// The code point at pos and its length in bytes; an escape gives U+DC00 + byte, a stray byte
// U+FFFD.
char32_t codePointAt(std::string_view store, size_t pos, int* length = nullptr);
// The escaped file byte at pos, or -1 when pos holds no escape.
int escapedByte(std::string_view store, size_t pos);

}  // namespace encoding
