// The fast checks against the plain reference on small inputs (the reference is quadratic):
// before the first NUL byte the document, after it the external DTD. Any difference traps.
// Inputs with many tags a line matter most: each tag's overlap test starts at its line's start.
// The reference reads the lines as strings, the way the editor once loaded them; the product
// reads the bytes where they lie.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "Cp1252.h"
#include "Dtd.h"
#include "LineViews.h"
#include "Reference.h"
#include "TextFile.h"

namespace {

QStringList lignes(const QByteArray& octets) {
  return textfile::splitLines(textfile::normaliseLineBreaks(cp1252::decode(octets)));
}

std::string octetsDe(const QString& s) {
  const QByteArray b = cp1252::encode(s);
  return std::string(b.constData(), size_t(b.size()));
}

[[noreturn]] void ecart(const char* quoi, const QString& attendu, const QString& obtenu) {
  std::fprintf(stderr, "%s differs: reference [%s], product [%s]\n", quoi, attendu.toUtf8().constData(),
               obtenu.toUtf8().constData());
  __builtin_trap();
}

QString texte(int code, const QString& t) { return QString::number(code) + u' ' + t; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1500) return 0;
  const QByteArray octets(reinterpret_cast<const char*>(data), qsizetype(size));
  const qsizetype nul = octets.indexOf('\0');
  const QStringList document = lignes(nul < 0 ? octets : octets.left(nul));
  const QStringList externe = nul < 0 ? QStringList() : lignes(octets.mid(nul + 1));
  const BufferLines vue(BufferLines::borrow, std::string_view(octets.constData(), size_t(nul < 0 ? octets.size() : nul)));
  const auto charge = [&](const QString&, QStringList& l) {
    if (nul < 0) return false;
    l = externe;
    return true;
  };
  std::vector<std::string> externeOctets;
  for (const QString& l : externe) externeOctets.push_back(octetsDe(l));
  const analysis::DtdLoader chargeProduit = [&](std::string_view, std::vector<std::string>& l) {
    if (nul < 0) return false;
    l = externeOctets;
    return true;
  };

  const reference::Resultat rv = reference::Valid(document);
  const analysis::Fault pv = analysis::Valid(vue);
  if (rv.code != pv.code || rv.texte != pv.text) ecart("Valid", texte(rv.code, rv.texte), texte(pv.code, pv.text));

  // The overlap test of every start tag, comments or not, at its place in its line.
  int questions = 0;
  for (int l = 0; l < document.size() && questions < 200; ++l) {
    for (qsizetype p = document[l].indexOf(u'<'); p >= 0 && questions < 200; p = document[l].indexOf(u'<', p + 1)) {
      const QString cle = reference::NomBalise(document[l].mid(p, 64));
      if (cle.isEmpty()) continue;
      ++questions;
      const bool rc = reference::Chevauche(document, cle, l, p);
      if (rc != analysis::Chevauche(vue, octetsDe(cle), l, p))
        ecart("Chevauche", cle + QStringLiteral(" line %1 at %2: %3").arg(l).arg(p).arg(rc), QString());
    }
  }

  const QStringList rl = reference::LitDtd(document, charge);
  QStringList pl;
  for (const std::string& e : analysis::LitDtd(vue, chargeProduit))
    pl << cp1252::decode(QByteArray(e.data(), qsizetype(e.size())));
  if (rl != pl) ecart("LitDtd", rl.join(u'|'), pl.join(u'|'));

  const reference::Resultat rd = reference::Validdtd(document, charge);
  const analysis::Fault pd = analysis::Validdtd(vue, chargeProduit);
  if (rd.code != pd.code || rd.texte != pd.text) ecart("Validdtd", texte(rd.code, rd.texte), texte(pd.code, pd.text));

  // "Valider le document" checks the start tags in the same walk as the well-formedness.
  const QString rr = reference::rapport(document, true, charge);
  const QString pr = analysis::checkReport(vue, true, chargeProduit);
  if (rr != pr) ecart("message", rr, pr);
  return 0;
}
