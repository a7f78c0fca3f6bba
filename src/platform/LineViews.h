#pragma once
// Read-only line views (TextLines) over text already in memory: one contiguous buffer of
// Windows-1252 bytes, as a file is loaded, or a list of strings, encoded once.
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "TextLines.h"

// The lines of one contiguous buffer. A line break is CR LF, and also a lone CR or LF, or LF CR,
// as the editor reads a file; a final break is followed by one empty line. The line starts are
// found in one pass when the view is made and kept in about 2 bytes a line: blocks of 256 lines
// hold their first start and each line's offset from it (blocks wider than 64 KiB keep full
// starts), in fixed-size pieces, so building the index never copies it.
class BufferLines final : public TextLines {
 public:
  struct Borrow {};
  static constexpr Borrow borrow{};

  // Owns the bytes.
  explicit BufferLines(std::string bytes);
  // Reads bytes that must outlive the view and stay unchanged.
  BufferLines(Borrow, std::string_view bytes);

  // The views point into the buffer: neither copied nor moved.
  BufferLines(const BufferLines&) = delete;
  BufferLines& operator=(const BufferLines&) = delete;

  int64_t count() const override { return count_; }
  std::string_view line(int64_t i) const override;
  std::string_view bytes() const { return text_; }

 private:
  static constexpr int kBlockBits = 8;
  static constexpr int kPieceBits = 16;
  struct Block {
    int64_t base;
    int64_t wide;  // where the block's starts begin in wide_, or -1
  };

  void index();
  void commit(const int64_t* starts, int n);
  int64_t start(int64_t i) const {
    const Block& b = blocks_[size_t(i >> kBlockBits)];
    if (b.wide >= 0) return wide_[size_t(b.wide + (i & ((1 << kBlockBits) - 1)))];
    return b.base + pieces_[size_t(i >> kPieceBits)][size_t(i & ((1 << kPieceBits) - 1))];
  }

  std::string owned_;
  std::string_view text_;
  int64_t count_ = 0;
  std::vector<Block> blocks_;
  std::vector<std::unique_ptr<uint16_t[]>> pieces_;
  std::vector<int64_t> wide_;
};

// The lines of a string list, each encoded once with storetext::encode (a character the set cannot
// hold becomes its numeric character reference, as when the editor saves). An empty list reads
// as one empty line.
class StringListLines final : public TextLines {
 public:
  explicit StringListLines(const QStringList& lines);

  int64_t count() const override { return int64_t(starts_.size()) - 1; }
  std::string_view line(int64_t i) const override;

 private:
  std::string bytes_;
  std::vector<int64_t> starts_;  // count() + 1 entries: each line's start, then the end
};
