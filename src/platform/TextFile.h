#pragma once
// Reading and writing document files: Windows-1252 bytes, line breaks kept as CR LF.
#include <QString>
#include <QStringList>

namespace textfile {

struct Loaded {
  bool ok = false;
  QString text;   // every line break turned into CR LF
  QString error;  // French message naming the file and the reason, when !ok
};

// Reads the whole file. A folder, a missing or unreadable file gives ok == false.
Loaded load(const QString& path);

// Writes text beside the file and replaces it only once the whole write has succeeded, so a
// failed save never leaves a truncated file. Returns an empty string or the French error message.
QString save(const QString& path, const QString& text);

// Every CR, LF, CR LF and LF CR becomes one CR LF.
QString normaliseLineBreaks(const QString& text);

// Splits CR LF-joined text into lines; the empty text is one empty line.
QStringList splitLines(const QString& crlfText);

}  // namespace textfile
