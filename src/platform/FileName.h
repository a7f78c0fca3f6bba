#pragma once
// File names are the file system's bytes, and not every name is UTF-8 (a share written from
// Windows holds "nom\xe9.xml"). Qt decodes names as UTF-8 and loses such a byte, so the file
// could never be opened again. Here each byte of a sequence that is not UTF-8 is kept in the
// QString as the lone surrogate U+DC00 + byte, which no valid UTF-8 decodes to: the name goes
// back to exactly its bytes. Every path that reaches the file system goes through toNative.
#include <QByteArray>
#include <QString>

namespace filename {

QString fromNative(const QByteArray& bytes);
QByteArray toNative(const QString& name);

// For messages and captions: each kept byte shown as its Windows-1252 character.
QString display(const QString& name);

// A name that does not exist as given, because a widget decoded the bytes itself (U+FFFD for
// each byte it could not) or the user typed it as display() shows it: the name on disk it stands
// for when exactly one entry of its folder reads so; otherwise name unchanged.
QString recover(const QString& name);

}  // namespace filename
