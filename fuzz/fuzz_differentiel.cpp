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

QStringList lines(const QByteArray& bytes) {
  return textfile::splitLines(textfile::normaliseLineBreaks(cp1252::decode(bytes)));
}

std::string bytesOf(const QString& s) {
  const QByteArray b = cp1252::encode(s);
  return std::string(b.constData(), size_t(b.size()));
}

[[noreturn]] void mismatch(const char* what, const QString& expected, const QString& actual) {
  std::fprintf(stderr, "%s differs: reference [%s], product [%s]\n", what, expected.toUtf8().constData(),
               actual.toUtf8().constData());
  __builtin_trap();
}

// The code, the text and the place of a fault, "LINE:COLUMN-LINE:COLUMN" as people count.
QString text(const reference::Result& r) {
  QString s = QString::number(r.code) + u' ' + r.text;
  if (r.code != 0) s += QStringLiteral(" %1:%2-%3:%4").arg(r.fromLine).arg(r.fromColumn).arg(r.toLine).arg(r.toColumn);
  return s;
}

QString text(const TextLines& lines, const analysis::Fault& f) {
  QString s = QString::number(f.code) + u' ' + f.text;
  if (f.code != analysis::kNoFault) {
    const analysis::LineColumn from = analysis::lineColumnOf(lines, f.from);
    const analysis::LineColumn to = analysis::lineColumnOf(lines, f.to);
    s += QStringLiteral(" %1:%2-%3:%4").arg(from.line).arg(from.column).arg(to.line).arg(to.column);
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1500) return 0;
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const qsizetype nulAt = bytes.indexOf('\0');
  const QStringList document = lines(nulAt < 0 ? bytes : bytes.left(nulAt));
  const QStringList external = nulAt < 0 ? QStringList() : lines(bytes.mid(nulAt + 1));
  const BufferLines view(BufferLines::borrow, std::string_view(bytes.constData(), size_t(nulAt < 0 ? bytes.size() : nulAt)));
  const auto load = [&](const QString&, QStringList& l) {
    if (nulAt < 0) return false;
    l = external;
    return true;
  };
  std::vector<std::string> externalBytes;
  for (const QString& l : external) externalBytes.push_back(bytesOf(l));
  const analysis::DtdLoader productLoader = [&](std::string_view, std::vector<std::string>& l) {
    if (nulAt < 0) return false;
    l = externalBytes;
    return true;
  };

  const reference::Result rv = reference::Valid(document);
  const analysis::Fault pv = analysis::Valid(view);
  if (text(rv) != text(view, pv)) mismatch("Valid", text(rv), text(view, pv));

  // The overlap test of every start tag, comments or not, at its place in its line.
  int questions = 0;
  for (int l = 0; l < document.size() && questions < 200; ++l) {
    for (qsizetype p = document[l].indexOf(u'<'); p >= 0 && questions < 200; p = document[l].indexOf(u'<', p + 1)) {
      const QString key = reference::NomBalise(document[l].mid(p, 64));
      if (key.isEmpty()) continue;
      ++questions;
      const bool rc = reference::Chevauche(document, key, l, p);
      if (rc != analysis::Chevauche(view, bytesOf(key), l, p))
        mismatch("Chevauche", key + QStringLiteral(" line %1 at %2: %3").arg(l).arg(p).arg(rc), QString());
    }
  }

  const QStringList rl = reference::LitDtd(document, load);
  QStringList pl;
  for (const std::string& e : analysis::LitDtd(view, productLoader))
    pl << cp1252::decode(QByteArray(e.data(), qsizetype(e.size())));
  if (rl != pl) mismatch("LitDtd", rl.join(u'|'), pl.join(u'|'));

  const reference::Result rd = reference::Validdtd(document, load);
  const analysis::Fault pd = analysis::Validdtd(view, productLoader);
  if (text(rd) != text(view, pd)) mismatch("Validdtd", text(rd), text(view, pd));

  // "Valider le document" checks the start tags in the same walk as the well-formedness.
  const QString rr = reference::report(document, true, load);
  analysis::Fault pf;
  const QString pr = analysis::checkReport(view, true, productLoader, &pf);
  if (rr != pr) mismatch("message", rr, pr);
  const reference::Result& rf = rv.code != 0 ? rv : rd;
  if (pf.code != analysis::kNoFault && text(rf) != text(view, pf)) mismatch("place", text(rf), text(view, pf));

  // The checker of files reads the bytes without their lines first, for both commands.
  const std::string_view whole(bytes.constData(), size_t(nulAt < 0 ? bytes.size() : nulAt));
  for (const bool dtd : {false, true}) {
    analysis::Fault bf;
    const QString br = analysis::checkBytes(whole, dtd, productLoader, &bf, nullptr);
    const reference::Result& expected = rv.code != 0 || !dtd ? rv : rd;
    if (br != reference::report(document, dtd, load)) mismatch("checkBytes", reference::report(document, dtd, load), br);
    if (bf.code != analysis::kNoFault && text(expected) != text(view, bf)) mismatch("checkBytes place", text(expected), text(view, bf));
  }
  return 0;
}
