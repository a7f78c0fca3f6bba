#include "TextDocument.h"

#include <algorithm>
#include <cstring>

#include "StoreText.h"

namespace {

enum class ByteClass { Blank, Word, Other, Break };

ByteClass classOf(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b == ' ' || b == '\t' || b == 0xA0) return ByteClass::Blank;
  if (b == '\r' || b == '\n') return ByteClass::Break;
  if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_')
    return ByteClass::Word;
  // The letters of Windows-1252 above ASCII.
  if (b >= 0xC0 && b != 0xD7 && b != 0xF7) return ByteClass::Word;
  switch (b) {
    case 0x83:
    case 0x8A:
    case 0x8C:
    case 0x8E:
    case 0x9A:
    case 0x9C:
    case 0x9E:
    case 0x9F:
    case 0xAA:
    case 0xB5:
    case 0xBA:
      return ByteClass::Word;
    default:
      return ByteClass::Other;
  }
}

// Whether bytes already hold every break as CR LF, so that loading a file can skip a copy.
bool allBreaksCrLf(std::string_view bytes) {
  const char* p = bytes.data();
  const char* end = p + bytes.size();
  for (;;) {
    const auto* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
    const auto* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
    if (!cr && !lf) return true;
    if (!cr || !lf || lf != cr + 1) return false;
    p = lf + 1;
  }
}

// The first position from p on (up to end) whose byte is not of the kind, read a chunk at a time.
int64_t skipForward(const TextStore& store, int64_t p, int64_t end, ByteClass kind) {
  while (p < end) {
    int64_t chunk = 0;
    const std::string_view piece = store.piece(p, &chunk);
    if (piece.empty()) break;
    const int64_t stop = std::min(end, chunk + int64_t(piece.size()));
    for (; p < stop; ++p)
      if (classOf(piece[size_t(p - chunk)]) != kind) return p;
  }
  return p;
}

// The last position before p (down to start) whose preceding byte is not of the kind.
int64_t skipBackward(const TextStore& store, int64_t p, int64_t start, ByteClass kind) {
  while (p > start) {
    int64_t chunk = 0;
    const std::string_view piece = store.piece(p - 1, &chunk);
    if (piece.empty()) break;
    const int64_t stop = std::max(start, chunk);
    for (; p > stop; --p)
      if (classOf(piece[size_t(p - 1 - chunk)]) != kind) return p;
  }
  return p;
}

}  // namespace

int64_t lineColumnToPosition(const TextStore& text, int64_t line, int64_t column) {
  line = std::clamp<int64_t>(line, 0, text.lineCount() - 1);
  // One byte is one character in the store's Windows-1252 text.
  return text.lineStart(line) + std::clamp<int64_t>(column, 0, text.lineLength(line));
}

void TextDocument::replace(int64_t from, int64_t length, std::string_view crlfBytes) {
  from = std::clamp<int64_t>(from, 0, store_.size());
  length = std::clamp<int64_t>(length, 0, store_.size() - from);
  store_.replace(from, length, crlfBytes);
}

QString TextDocument::decode(std::string_view bytes) { return storetext::decode(bytes); }

std::string TextDocument::toStoreBytes(const QString& text) {
  std::string bytes = storetext::encode(text);
  if (allBreaksCrLf(bytes)) return bytes;
  return TextStore::normalise(bytes);
}

std::string TextDocument::withCrLf(std::string bytes) {
  if (allBreaksCrLf(bytes)) return bytes;
  return TextStore::normalise(bytes);
}

int64_t TextDocument::validPosition(int64_t pos, bool pastBreak) const {
  pos = std::clamp<int64_t>(pos, 0, store_.size());
  if (store_.splitsBreak(pos)) return pastBreak ? pos + 1 : pos - 1;
  return pos;
}

int64_t TextDocument::nextPosition(int64_t pos) const {
  if (pos >= store_.size()) return store_.size();
  return store_.splitsBreak(pos + 1) ? pos + 2 : pos + 1;
}

int64_t TextDocument::previousPosition(int64_t pos) const {
  if (pos <= 0) return 0;
  return store_.splitsBreak(pos - 1) ? pos - 2 : pos - 1;
}

int64_t TextDocument::nextWord(int64_t pos) const {
  if (pos >= store_.size()) return store_.size();
  if (store_.splitsBreak(pos + 1)) return pos + 2;
  const int64_t line = store_.lineOf(pos);
  const int64_t end = store_.lineStart(line) + store_.lineLength(line);
  const ByteClass first = classOf(store_.at(pos));
  int64_t p = pos;
  if (first != ByteClass::Blank) p = skipForward(store_, p, end, first);
  return skipForward(store_, p, end, ByteClass::Blank);
}

int64_t TextDocument::previousWord(int64_t pos) const {
  if (pos <= 0) return 0;
  const int64_t start = store_.lineStart(store_.lineOf(pos));
  if (pos == start) return previousPosition(pos);
  const int64_t p = skipBackward(store_, pos, start, ByteClass::Blank);
  if (p == start) return p;
  return skipBackward(store_, p, start, classOf(store_.at(p - 1)));
}

std::pair<int64_t, int64_t> TextDocument::wordAt(int64_t pos) const {
  const int64_t line = store_.lineOf(pos);
  const int64_t start = store_.lineStart(line);
  const int64_t end = start + store_.lineLength(line);
  if (start == end) return {pos, pos};
  // At the end of a line, the word before it.
  const int64_t at = pos >= end ? end - 1 : pos;
  const ByteClass kind = classOf(store_.at(at));
  return {skipBackward(store_, at, start, kind), skipForward(store_, at + 1, end, kind)};
}

