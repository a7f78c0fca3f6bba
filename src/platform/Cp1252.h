#pragma once
// Windows-1252, the character set of every document: all 256 byte values decode, so a file
// opened and saved unchanged is identical byte for byte.
#include <QByteArray>
#include <QChar>
#include <QString>

namespace cp1252 {

QString decode(const QByteArray& bytes);

// Characters that the set cannot hold become "&#" + code + ";" so that nothing is lost.
QByteArray encode(const QString& text);

// True when c has a byte of its own in the set.
bool representable(char32_t c);

// Replaces every character that the set cannot hold by its numeric character reference.
QString referenceUnrepresentable(const QString& text);

// Upper-casing of the set, for comparisons "without regard to case" ("é" equals "É").
QChar upper(QChar c);
// The same on the set's bytes.
char upperByte(char c);

}  // namespace cp1252
