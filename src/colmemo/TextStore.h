#pragma once
// TextStore: the text of the source view, without widgets. Windows-1252 bytes, one byte a
// character, every line break held as CR LF, so a text position (a break counts two) is a byte
// offset. The text is a list of immutable chunks shared between copies: copying a store (a
// snapshot for undo) copies the list only, and an edit copies just the chunk it touches, so
// snapshots and restores cost the same on 50 MB as on 1 KB.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "TextLines.h"

class TextStore {
 public:
  TextStore();  // the empty text
  // Takes text whose breaks are all CR LF already (see normalise).
  explicit TextStore(std::string crlfBytes);

  // Copies are cheap snapshots sharing the chunks.
  TextStore(const TextStore&);
  TextStore& operator=(const TextStore&);
  TextStore(TextStore&&) noexcept;
  TextStore& operator=(TextStore&&) noexcept;
  ~TextStore();

  // Every CR, LF, CR LF and LF CR becomes one CR LF.
  static std::string normalise(std::string_view bytes);

  int64_t size() const;       // in text positions (bytes)
  int64_t lineCount() const;  // breaks + 1
  int64_t lineStart(int64_t line) const;   // clamped to [0, lineCount)
  int64_t lineLength(int64_t line) const;  // without the break
  // The line holding pos; a position on a line's CR or LF belongs to that line.
  int64_t lineOf(int64_t pos) const;
  char at(int64_t pos) const;  // 0 <= pos < size()

  // Copies [from, from + length), clamped to the text.
  std::string text(int64_t from, int64_t length) const;
  std::string text() const { return text(0, size()); }
  // The contiguous bytes around pos: a view into the chunk holding pos and that chunk's first
  // position in *chunkStart. Lets searches walk the text without copying it.
  std::string_view piece(int64_t pos, int64_t* chunkStart) const;

  // Replaces [from, from + length) by bytes whose breaks are all CR LF. The range must not cut
  // a break in two (callers round positions between CR and LF first).
  void replace(int64_t from, int64_t length, std::string_view crlfBytes);

  // Same text, compared chunk by chunk (shared chunks compare in constant time).
  bool operator==(const TextStore& other) const;

  // A view of the lines of this text as it is now; it keeps the chunks alive, so later edits of
  // the store do not disturb it.
  std::unique_ptr<TextLines> lines() const;

 private:
  struct Chunk;
  struct Index;
  std::shared_ptr<const Index> index_;
};
