#pragma once
// TextStore: the text of the source view, without widgets. Windows-1252 bytes, one byte a
// character, every line break held as CR LF, so a text position (a break counts two) is a byte
// offset. The text is a list of immutable chunks shared between copies: copying a store (a
// snapshot for undo) copies the list only, and an edit copies just the chunk it touches, so
// snapshots and restores cost microseconds on 50 MB as on 1 KB.
//
// Why not a gap buffer: undo, redo and every command that memorises the text replace the whole
// text by a snapshot, and a gap buffer makes each snapshot and each restore a copy of the whole
// text (tens of milliseconds at 50 MB, twice the memory per snapshot). Here a copy shares one
// index (a pointer and a reference count); the first edit after it copies the index, that is a
// pointer per chunk (about 1,600 for 50 MB), and the one chunk it changes. Chunks of 8 to 64 KiB
// keep that copy and the in-chunk moves of an edit small, and a position or line is found by two
// binary searches (prefix sums over chunks, then the chunk's own break offsets).
//
// A break is a CR immediately followed by an LF. Bytes are kept as given: a lone CR or LF (which
// normalise never leaves) is an ordinary character, so no input can make the index disagree
// with the text. Positions and lengths out of range are clamped. One thread at a time changes a
// store; copies (snapshots) may be read on other threads meanwhile, as an edit never changes a
// chunk or an index that a copy shares.
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
  // The store of normalise(bytes), made in one pass without the normalised copy: a file's
  // bytes as they were read.
  static TextStore fromBytes(std::string_view bytes);

  // The same store as fromBytes of all the pieces joined, from bytes that arrive a piece at a
  // time (a file read a block at a time), so a large file is never held twice while it loads.
  class Builder;

  int64_t size() const;       // in text positions (bytes)
  int64_t lineCount() const;  // breaks + 1
  int64_t lineStart(int64_t line) const;   // clamped to [0, lineCount)
  int64_t lineLength(int64_t line) const;  // without the break
  // The line holding pos; a position on a line's CR or LF belongs to that line.
  int64_t lineOf(int64_t pos) const;
  char at(int64_t pos) const;  // 0 <= pos < size(); '\0' outside
  // True when pos lies between the CR and the LF of a break, where no edit should begin or end.
  bool splitsBreak(int64_t pos) const;

  // Copies [from, from + length), clamped to the text.
  std::string text(int64_t from, int64_t length) const;
  std::string text() const { return text(0, size()); }
  // The contiguous bytes around pos: a view into the chunk holding pos and that chunk's first
  // position in *chunkStart. Lets searches walk the text without copying it. Empty, with
  // *chunkStart == size(), when pos >= size(). Valid until the store is next changed.
  std::string_view piece(int64_t pos, int64_t* chunkStart) const;

  // Replaces [from, from + length) by bytes whose breaks are all CR LF. The range must not cut
  // a break in two (callers round positions between CR and LF first); if it does, the remaining
  // CR or LF stays as an ordinary character and nothing else is lost.
  void replace(int64_t from, int64_t length, std::string_view crlfBytes);

  // Same text, compared chunk by chunk (shared chunks compare in constant time).
  bool operator==(const TextStore& other) const;

  // A view of the lines of this text as it is now; it keeps the chunks alive, so later edits of
  // the store do not disturb it.
  std::unique_ptr<TextLines> lines() const;

  // Bytes held for this text and its index, shared chunks counted in full.
  int64_t memoryUsed() const;
  int64_t chunkCount() const;
  // Empty when the chunks and the index agree with each other and keep their size and break
  // rules; otherwise the first thing found wrong. Walks the whole text: for tests and fuzzing.
  std::string structureFault() const;

 private:
  struct Chunk;
  struct Index;
  class LinesView;
  static const std::shared_ptr<const Index>& emptyIndex();
  const Index& index() const { return *index_; }
  Index& writableIndex();
  bool replaceInChunk(size_t chunk, int64_t from, int64_t length, std::string_view bytes);
  void rebuildAround(size_t first, size_t last, int64_t from, int64_t length, std::string_view bytes);

  std::shared_ptr<const Index> index_;  // never null; shared with copies and views
};

class TextStore::Builder {
 public:
  Builder();
  ~Builder();
  Builder(const Builder&) = delete;
  Builder& operator=(const Builder&) = delete;
  void append(std::string_view bytes);
  TextStore finish();

 private:
  void normalised(std::string_view bytes);
  std::shared_ptr<Index> built_;
  std::string block_;  // normalised bytes not yet cut into chunks
  // The run of CR and LF bytes that ended the last piece: how it pairs may depend on the
  // bytes that come next.
  std::string breaks_;
};
