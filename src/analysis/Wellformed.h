#pragma once
// The well-formedness check of a document's lines, and the texts of its reports.
#include <cstdint>
#include <string_view>

#include <QString>

#include "TextLines.h"

namespace analysis {

// Fault codes: 0 none; 1..7 well-formedness; 11, 12 validity against the DTD.
enum FaultCode : int {
  kNoFault = 0,
  kUnclosedTag = 1,
  kUnopenedTag = 2,
  kRootNotUnique = 3,
  kBadAttribute = 4,
  kEntityWithoutSemicolon = 5,
  kBadStandalone = 6,
  kOverlappingTag = 7,
  kUndeclaredTag = 11,
  kMissingAttribute = 12,
};

// A place in the lines: a 0-based line and a byte offset in it.
struct TextPlace {
  int64_t line = -1;
  int64_t offset = 0;
  bool operator==(const TextPlace&) const = default;
};

struct Fault {
  int code = kNoFault;
  QString text;  // a tag key or a piece of the line, as each code defines it
  // Where the check stopped, for a fault: the faulty tag from its "<" to past its end (it may go
  // on over the next lines), or, for a fault that has no tag, one place (to == from).
  TextPlace from, to;
};

// A place as people count it: line and column from 1, the column in characters.
struct LineColumn {
  int64_t line = 0;
  int64_t column = 0;
};
LineColumn lineColumnOf(const TextLines& lines, const TextPlace& place);

// Runs the five passes (declaration, open/close, outcome, overlap, entity) over the lines.
Fault Valid(const TextLines& lines);

// Overlap test of the start tag with key key (its bytes, "<body>") whose "<" is at 0-based
// position of line line (0-based).
bool Chevauche(const TextLines& lines, std::string_view key, int64_t line, int64_t position);

// The message box text of a well-formedness fault (codes 1..7) or a validity fault (11, 12);
// empty for code 0.
QString faultMessage(const Fault& fault);

}  // namespace analysis
