#pragma once
// "Générer DTD interne" without widgets: the element and attribute-list declarations collected
// from a document's tags, and the internal DOCTYPE that holds them written into the text in
// place of the one a previous generation left.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "TextLines.h"
#include "TextStore.h"

namespace dtdgen {

// The body of an element declaration for a tag window: "fiche (#PCDATA)", "br EMPTY"; empty
// for end tags, "<?" and "<!". A "/" that ends the name ("<br/>") is not part of it.
std::string ElementDtd(std::string_view window);

struct Declarations {
  std::vector<std::string> entries;  // one declaration each, without line break
  std::string root;                  // the root's name; empty when no element was found
};

// The element declarations, the root's content (its record element repeated) and the record's
// children as the record's first "<M>" line through its "</M>" show them.
Declarations collect(const TextLines& lines);
// Appends one "<!ATTLIST element  attribute>" per attribute of each element's first tag.
void DtdAttrib(const TextLines& lines, Declarations& declarations);

// A stretch of text to replace, in text positions.
struct Edit {
  int64_t from = -1;  // -1: nothing to do
  int64_t length = 0;
  std::string text;   // Windows-1252, CR LF
};
// Removes the internal DOCTYPE that a previous generation left in the prolog (the first one
// with an internal subset that names no SYSTEM file, wherever it stands), from its "<!DOCTYPE"
// to the "]>" that ends it, whole lines when it has them to itself. A DOCTYPE without internal
// subset is kept.
Edit Viredtd(const TextLines& lines);
// Inserts the DOCTYPE after the last XML declaration or DOCTYPE of the prolog, or before the
// root element when there is none, on lines of its own.
Edit Inseredtd(const TextLines& lines, const Declarations& declarations);

// The whole command on a text: false, and the text unchanged, when no element was found.
// The caller has checked that the document is well formed.
bool Gendtd(TextStore& text);

}  // namespace dtdgen
