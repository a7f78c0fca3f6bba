#pragma once
// "Indenter le document": one element a line, a tab per level of nesting. Only the blanks
// between the children of an element that holds nothing but elements, comments and processing
// instructions are rewritten; everything else (text, an element whose content holds any text,
// an xml:space="preserve" element, comments, CDATA sections, processing instructions, the
// DOCTYPE, the text before the first markup and after the last) is copied byte for byte. So
// indenting twice gives what indenting once gave, and well-formedness is neither lost nor won.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "TextStore.h"

namespace indent {

// Where the markup does not nest (an end tag that closes no open element, an element never
// closed, markup without its end), nothing is written and the answer says where it stopped.
struct Outcome {
  bool indented = false;
  int64_t faultPosition = -1;  // text position of the markup that does not nest
};

// Writes the indented document to out, in pieces, only when the whole document nests: two
// linear passes over the text and about one bit per element besides the output.
Outcome indentDocument(const TextStore& text, const std::function<void(std::string_view)>& out);

// The indented document as a store, or the same store when nothing nests.
TextStore indented(const TextStore& text, Outcome* outcome = nullptr);

}  // namespace indent
