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

struct Fault {
  int code = kNoFault;
  QString text;  // a tag key or a piece of the line, as each code defines it
};

// Runs the five passes (declaration, open/close, outcome, overlap, entity) over the lines.
Fault Valid(const TextLines& lines);

// Overlap test of the start tag with key key (its bytes, "<body>") whose "<" is at 0-based
// position of line line (0-based).
bool Chevauche(const TextLines& lines, std::string_view key, int64_t line, int64_t position);

// The message box text of a well-formedness fault (codes 1..7) or a validity fault (11, 12);
// empty for code 0.
QString faultMessage(const Fault& fault);

}  // namespace analysis
