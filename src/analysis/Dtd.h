#pragma once
// Reading the declarations of a document's DTD (internal subset and SYSTEM file) and
// validating the document's start tags against them.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "TextLines.h"
#include "Wellformed.h"

namespace analysis {

// Gives the lines of the external DTD file named after SYSTEM (the name as the document's
// Windows-1252 bytes), as the editor reads a file: Windows-1252 bytes, a final line break ends
// the last line. False when there is no such readable file: it then counts as absent.
using DtdLoader = std::function<bool(std::string_view name, std::vector<std::string>& lines)>;

// The real loader: a relative name is looked for in the document's folder first (when it is
// known), then in the current directory. Files are read as the editor reads them.
DtdLoader fileDtdLoader(const QString& documentFolder);

// The declaration list: the external file's lines, then the element declarations, then the
// attribute-list declarations.
std::vector<std::string> LitDtd(const TextLines& lines, const DtdLoader& load);

// Checks every start tag against the declarations: 0, 11 (not declared) or 12 (required
// attribute missing), with the tag key of the last start tag examined as text.
Fault Validdtd(const TextLines& lines, const DtdLoader& load);

// What "Vérifier la syntaxe" (dtd false) and "Valider le document" (dtd true) report: the one
// message box text they show, and the fault in *fault when given.
QString checkReport(const TextLines& lines, bool dtd, const DtdLoader& load, Fault* fault = nullptr);

// The same on a file's whole text in one buffer, whose lines are indexed only when a fault needs
// its place or the DTD its declarations; *place receives the fault's place as people count it.
QString checkBytes(std::string_view bytes, bool dtd, const DtdLoader& load, Fault* fault, LineColumn* place);

}  // namespace analysis
