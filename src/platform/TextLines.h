#pragma once
// A read-only view of a document's lines as Windows-1252 bytes, one byte a character, each line
// without its line break. The analysis scans read the text through it, so the source view's
// store and a file loaded by the batch programs are read where they lie, never turned into a
// list of strings.
#include <cstdint>
#include <string_view>

class TextLines {
 public:
  virtual ~TextLines() = default;
  // At least 1: the empty text is one empty line, and a final break is followed by one.
  virtual int64_t count() const = 0;
  // The bytes of line i (0 <= i < count()), valid as long as this object lives.
  virtual std::string_view line(int64_t i) const = 0;
};
