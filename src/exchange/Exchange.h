#pragma once
// Export of a document's text without its markup, and import of tab-delimited records, without
// widgets: the document window, the batch program and the tests call the same functions.
// Texts are Windows-1252 bytes; files are written with CR LF.
#include <string>
#include <string_view>
#include <vector>

#include "TextLines.h"
#include "TextStore.h"

namespace exchange {

// Removes the markup of one line. outside is on while the scan is outside a tag; it carries
// from line to line, so a tag spread over several lines goes whole.
void VireBalises(std::string& line, bool& outside);

// The text export: each line without markup and with its references turned back into
// characters, when something is left of it.
std::string Exportetxt(const TextLines& lines);
// The HTML export: the text lines without markup, each followed by "<br>", in a page whose
// title is the document's file name.
std::string ExporteHtm(const TextLines& lines, std::string_view title);

// A tab-delimited file: one record a line, fields split at each tab.
using Record = std::vector<std::string>;
std::vector<Record> readRecords(std::string_view crlfBytes);

// "champ" and the column number, the name a column has until the user changes it.
std::string defaultFieldName(size_t column);

// The records as elements: the text to insert and where. They go just before the document's
// last end tag as markup (a "</" in a comment, a processing instruction or a CDATA section is
// text), normally the root's, so that they land inside the root element; without any end tag,
// at the end of the document. Field values are escaped so that the document stays
// well formed; a field beyond the named columns takes its column's default name.
struct Insertion {
  int64_t position = 0;  // a text position
  std::string bytes;     // with CR LF breaks
};
Insertion recordsInsertion(const TextStore& document, const std::vector<Record>& records,
                           const std::vector<std::string>& fieldNames, std::string_view recordName);

}  // namespace exchange
