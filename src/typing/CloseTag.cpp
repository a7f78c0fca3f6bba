#include "CloseTag.h"

#include <cstring>

#include "tags.h"

namespace typing {
namespace {

// The end tag of a key: "/" after its first character.
std::string endTagOf(std::string_view key) {
  std::string e(key);
  e.insert(1, 1, '/');
  return e;
}

// Whether the text holds t at pos, reading across chunks when it must.
bool holdsAt(const TextStore& text, std::string_view piece, int64_t pieceStart, int64_t pos,
             std::string_view t) {
  const int64_t off = pos - pieceStart;
  if (off + int64_t(t.size()) <= int64_t(piece.size()))
    return std::memcmp(piece.data() + off, t.data(), t.size()) == 0;
  return text.text(pos, int64_t(t.size())) == t;
}

}  // namespace

bool EstFerme(std::string_view key, const TextStore& text, int64_t from) {
  if (key.empty()) return false;
  const std::string end = endTagOf(key);
  // Both texts begin with "<": only those places need comparing.
  int64_t pos = from + int64_t(key.size()) - 1;
  const int64_t n = text.size();
  while (pos < n) {
    int64_t start = 0;
    const std::string_view piece = text.piece(pos, &start);
    if (piece.empty()) break;
    for (int64_t i = analysis::findByte(piece, pos - start, '<'); i < int64_t(piece.size());
         i = analysis::findByte(piece, i + 1, '<')) {
      // A second identical key before the end tag leaves this one open.
      if (holdsAt(text, piece, start, start + i, key)) return false;
      if (holdsAt(text, piece, start, start + i, end)) return true;
    }
    pos = start + int64_t(piece.size());
  }
  return false;
}

std::string endTagToClose(const TextStore& text, int64_t caret) {
  int64_t pos = std::min(caret, text.size()) - 1;
  while (pos >= 0) {
    int64_t start = 0;
    const std::string_view piece = text.piece(pos, &start);
    const char* base = piece.data();
    size_t len = size_t(pos - start + 1);
    while (const void* found = len ? memrchr(base, '<', len) : nullptr) {
      const int64_t p = start + (static_cast<const char*>(found) - base);
      const std::string window = text.text(p, kCloseWindow);
      const analysis::TagKey key = analysis::NomBalise(window);
      if (key.valid) {
        const std::string k = key.text();
        if (!EstFerme(k, text, p)) return endTagOf(k);
      }
      len = size_t(p - start);
    }
    pos = start - 1;
  }
  return {};
}

}  // namespace typing
