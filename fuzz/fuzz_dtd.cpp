// LitDtd and Validdtd on any bytes: before the first NUL byte the document, after it the
// external DTD, served for whatever name the DOCTYPE gives after SYSTEM.
#include <cstddef>
#include <cstdint>

#include "Cp1252.h"
#include "Dtd.h"
#include "TextFile.h"

namespace {

QStringList lignes(const QByteArray& octets) {
  return textfile::splitLines(textfile::normaliseLineBreaks(cp1252::decode(octets)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray octets(reinterpret_cast<const char*>(data), qsizetype(size));
  const qsizetype nul = octets.indexOf('\0');
  const QStringList document = lignes(nul < 0 ? octets : octets.left(nul));
  const bool avecExterne = nul >= 0;
  const QStringList externe = avecExterne ? lignes(octets.mid(nul + 1)) : QStringList();
  bool servi = false;
  const analyse::ChargeurDtd charge = [&](const QString&, QStringList& l) {
    if (!avecExterne) return false;
    l = externe;
    servi = true;
    return true;
  };

  const QStringList liste = analyse::LitDtd(document, charge);
  // A file that was read opens the list with its lines, unchanged.
  if (servi && liste.mid(0, externe.size()) != externe) __builtin_trap();

  const analyse::Faute f = analyse::Validdtd(document, charge);
  if (f.code != 0 && f.code != 11 && f.code != 12) __builtin_trap();
  if (f.code != 0 && f.texte.isEmpty()) __builtin_trap();
  analyse::rapportValider(document, true, charge);
  return 0;
}
