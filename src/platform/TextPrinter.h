#pragma once
// The printer's text device: lines written top to bottom from the top-left corner of the
// printable area, broken at the page width, tabs to the next multiple of 8 average character
// widths, a new page when the next line does not fit.
#include <QFont>
#include <QStringList>

class QPagedPaintDevice;

// Returns false when the device could not be opened for painting.
bool printTextLines(QPagedPaintDevice& device, const QFont& font, const QStringList& lines);
