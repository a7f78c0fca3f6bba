#pragma once
// The data view without widgets: the two-column rows of a document (one per element, one per
// attribute), and the write-back of one edited value at the place of the same rank. A row keeps
// only where its value lies in the text it was read from; the value is read when it is shown.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "TextStore.h"

namespace dataview {

// Twelve bytes a row: a document of two million rows keeps its grid in about 25 MB.
struct Row {
  uint32_t labelBits = 0;  // the label's number; the top bit marks an attribute row
  uint32_t length = 0;     // the value's stretch in the text, from its start
  uint32_t startLow = 0;   // the low 32 bits of the start (DataRows::startHigh the rest)
  int32_t label() const { return int32_t(labelBits & 0x7fffffffu); }
  // Element rows drop the characters below code 32 from their value.
  bool element() const { return (labelBits >> 31) == 0; }
};

struct DataRows {
  std::vector<std::string> labels;  // "fiche", "fiche->id" (Windows-1252)
  std::vector<Row> rows;
  std::vector<uint8_t> startHigh;   // bits 32 and up of each start; empty for a text under 4 GiB
  TextStore text;                   // the text the rows were read from (a shared snapshot)

  void add(int32_t label, bool element, int64_t start, int64_t length);
  int64_t start(size_t row) const {
    return int64_t(rows[row].startLow) | (startHigh.empty() ? 0 : int64_t(startHigh[row]) << 32);
  }
  const std::string& label(size_t row) const { return labels[size_t(rows[row].label())]; }
  // The value as the grid shows it (Windows-1252).
  std::string value(size_t row) const;
  // The row's rank: how many rows up to it, itself included, carry its label.
  int32_t rank(size_t row) const;
  int64_t memoryUsed() const;
};

// Remplit's rows: the start tags outside comments and CDATA sections, in text order. A start
// tag runs to its ">" or to the next "<"; its name ends at a blank, a line break, ">", "<", "/"
// or a quote. Attribute rows are read as EcritBalise reads them. Linear in the text's size.
DataRows Remplit(const TextStore& text);

// What EcritBalise changes: the stretch to replace and its new text. from is -1 when nothing is
// written: the place is not found, the value there is already value, the element has no
// content to write into (an empty-element tag, a tag left open, a bare line break before the
// next tag, no tag after it).
struct Write {
  int64_t from = -1;
  int64_t length = 0;
  std::string text;  // Windows-1252, CR LF
  bool found = false;  // the place of that rank exists
};
Write EcritBalise(const TextStore& text, int32_t rank, std::string_view label, std::string_view value);

}  // namespace dataview
