// Valid on any bytes, read as the editor reads a file: Windows-1252, every line break made CR LF.
#include <cstddef>
#include <cstdint>

#include "Cp1252.h"
#include "TextFile.h"
#include "Wellformed.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray octets(reinterpret_cast<const char*>(data), qsizetype(size));
  const QStringList lignes = textfile::splitLines(textfile::normaliseLineBreaks(cp1252::decode(octets)));
  const analyse::Faute f = analyse::Valid(lignes);
  // Codes outside the table would reach the message box as an empty text.
  if (f.code < 0 || f.code > 7) __builtin_trap();
  if (f.code != 0 && f.code != 6 && f.texte.isEmpty()) __builtin_trap();
  if (analyse::messageFaute(f).isEmpty() && f.code != 0) __builtin_trap();
  return 0;
}
