// The fast checks against the plain reference, on seeded random documents. A mismatch prints
// the seed, the document and a reduced document that still shows it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <ostream>

#include "Dtd.h"
#include "Generator.h"
#include "Octets.h"
#include "Reference.h"
#include "Wellformed.h"
#include "tags.h"

// Readable texts in failure messages; internal linkage, so that no other test file can clash.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using Diff = std::function<QString(const QStringList&)>;  // empty when both sides agree

// Fixed, so that a failure repeats; TOVELO_GRAINE=<n> explores other documents.
const quint32 kSeed = qEnvironmentVariableIsSet("TOVELO_GRAINE")
                            ? quint32(qEnvironmentVariableIntValue("TOVELO_GRAINE"))
                            : 20240611u;

// One line per document line, as a C++ literal, so that a failing case can be pasted into a test.
QString asLiterals(const QStringList& lines) {
  QString out;
  for (const QString& l : lines) {
    QString e = l;
    e.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\"")).replace(u'\t', QStringLiteral("\\t"));
    out += QStringLiteral("  u\"") + e + QStringLiteral("\",\n");
  }
  return out;
}

// Drops lines, then runs of characters, while the mismatch stays; a bounded number of tries,
// so that a failing run still ends soon.
QStringList reduce(QStringList doc, const Diff& differs) {
  int attempts = 20000;
  const auto keeps = [&](const QStringList& attempt) { return --attempts > 0 && !differs(attempt).isEmpty(); };
  for (bool progress = true; progress && attempts > 0;) {
    progress = false;
    for (qsizetype i = 0; i < doc.size() && doc.size() > 1;) {
      QStringList attempt = doc;
      attempt.removeAt(i);
      if (keeps(attempt)) {
        doc = attempt;
        progress = true;
      } else {
        ++i;
      }
    }
    for (qsizetype step : {256, 16, 1}) {
      for (qsizetype i = 0; i < doc.size(); ++i) {
        for (qsizetype p = 0; p < doc[i].size();) {
          QStringList attempt = doc;
          attempt[i].remove(p, step);
          if (keeps(attempt)) {
            doc = attempt;
            progress = true;
          } else {
            p += step;
          }
        }
      }
    }
  }
  return doc;
}

// Runs differe on every case; reports the first few mismatches, the first one reduced.
class Comparer {
 public:
  Comparer(const char* what, quint32 seed) : what_(what), seed_(seed) {}
  ~Comparer() { EXPECT_EQ(mismatches_, 0) << mismatches_ << " mismatches in " << what_; }

  void compare(int trial, const QStringList& doc, const Diff& differs, const QStringList& external = {}) {
    const QString mismatch = differs(doc);
    if (mismatch.isEmpty()) return;
    if (++mismatches_ > 3) return;
    QString report = QStringLiteral("%1, seed %2, case %3: %4\nDocument:\n%5")
                          .arg(QString::fromUtf8(what_)).arg(seed_).arg(trial).arg(mismatch, asLiterals(doc));
    if (!external.isEmpty()) report += QStringLiteral("External DTD:\n") + asLiterals(external);
    if (mismatches_ == 1) {
      const QStringList reduced = reduce(doc, differs);
      report += QStringLiteral("Reduced:\n") + asLiterals(reduced) + differs(reduced);
    }
    ADD_FAILURE() << report.toStdString();
  }

 private:
  const char* what_;
  quint32 seed_;
  int mismatches_ = 0;
};

// "L:C-L:C", as people count, of a fault of doc; empty without a fault.
QString placeOf(const reference::Result& r) {
  if (r.code == 0) return {};
  return QStringLiteral("%1:%2-%3:%4").arg(r.fromLine).arg(r.fromColumn).arg(r.toLine).arg(r.toColumn);
}

QString placeOf(const QStringList& doc, const analysis::Fault& f) {
  if (f.code == analysis::kNoFault) return {};
  const StringListLines lines(doc);
  const analysis::LineColumn from = analysis::lineColumnOf(lines, f.from);
  const analysis::LineColumn to = analysis::lineColumnOf(lines, f.to);
  return QStringLiteral("%1:%2-%3:%4").arg(from.line).arg(from.column).arg(to.line).arg(to.column);
}

// The reference is the judge of the place as of the code and text.
QString faultMismatch(const char* what, const QStringList& doc, const reference::Result& expected,
                      const analysis::Fault& actual) {
  const QString expectedPlace = placeOf(expected);
  const QString actualPlace = placeOf(doc, actual);
  if (expected.code == actual.code && expected.text == actual.text && expectedPlace == actualPlace) return {};
  return QStringLiteral("%1: reference %2 \"%3\" %4, product %5 \"%6\" %7")
      .arg(QString::fromUtf8(what)).arg(expected.code).arg(expected.text, expectedPlace)
      .arg(actual.code).arg(actual.text, actualPlace);
}

// Every kind of line break in turn, fixed by the document so that a reduced case keeps its own.
int breakKind(const QStringList& d) { return int(qHash(d.join(QString())) % 3); }

// Some generated lines hold a break of their own, which no file's lines can.
bool fitsOneBuffer(const QStringList& d) {
  return std::none_of(d.begin(), d.end(), [](const QString& l) { return l.contains(u'\r') || l.contains(u'\n'); });
}

// What the check command (dtd false) or the validate command reports on both sides: the same
// message and the same place.
QString reportMismatch(const QStringList& d, bool dtd, const reference::Loader& load,
                       const analysis::DtdLoader& productLoad) {
  const reference::Result v = reference::Valid(d);
  const QString expectedPlace = placeOf(v.code != 0 || !dtd ? v : reference::Validdtd(d, load));
  const QString expected = reference::report(d, dtd, load);
  // Read line by line as the editor holds the text, and from one buffer as a file is loaded.
  for (const bool oneBuffer : {false, true}) {
    if (oneBuffer && !fitsOneBuffer(d)) break;
    analysis::Fault f;
    const QString actual = oneBuffer ? produitRapportEnBloc(d, breakKind(d), dtd, productLoad, &f)
                                     : produitRapport(d, dtd, productLoad, &f);
    const QString actualPlace = placeOf(d, f);
    if (expected != actual || expectedPlace != actualPlace)
      return QStringLiteral("report: ") + expected + u' ' + expectedPlace + QStringLiteral(" / ") + actual + u' ' +
             actualPlace + (oneBuffer ? QStringLiteral(" (one buffer)") : QString());
  }
  return {};
}

// Valid on both views of the document.
QString validMismatch(const QStringList& d) {
  const reference::Result expected = reference::Valid(d);
  const QString e = faultMismatch("Valid", d, expected, produitValid(d));
  if (!e.isEmpty() || !fitsOneBuffer(d)) return e;
  return faultMismatch("Valid (one buffer)", d, expected, produitValidEnBloc(d, breakKind(d)));
}

reference::Loader loaderOf(const QString& name, const QStringList& external) {
  return [name, external](const QString& asked, QStringList& lines) {
    if (name.isEmpty() || asked != name) return false;
    lines = external;
    return true;
  };
}

// The same file for the product, which asks for it by its bytes.
analysis::DtdLoader productLoaderOf(const QString& name, const QStringList& external) {
  if (name.isEmpty()) return [](std::string_view, std::vector<std::string>&) { return false; };
  return fichierUnique(name, external);
}

struct Question {
  int line;
  qsizetype position;
  QString key;
};

// The start tags of each line with their keys, found without the comment state, so that the
// overlap test is also asked about tags that the main pass would skip.
std::vector<Question> startTags(const QStringList& lines) {
  std::vector<Question> out;
  for (int i = 0; i < lines.size(); ++i)
    for (qsizetype p = 0; p < lines[i].size(); ++p)
      if (lines[i][p] == u'<') {
        const QString k = reference::NomBalise(lines[i].mid(p));
        if (!k.isEmpty()) out.push_back({i, p, k});
      }
  return out;
}

TEST(Differential, TagFunctionsAgreeOnRandomText) {
  reference::Generator g(kSeed);
  Comparer c("tag functions", kSeed);
  for (int trial = 0; trial < 20000; ++trial) {
    QString text = g.noise(70);
    if (g.chance(0.5)) text.prepend(g.chance(0.3) ? QStringLiteral("</") : QStringLiteral("<"));
    const QStringList line{text};
    c.compare(trial, line, [](const QStringList& d) {
      const QString& t = d.value(0);
      QStringList mismatches;
      const std::string o = octets(t);
      // A window begins with its "<".
      if (t.startsWith(u'<') && reference::NomBalise(t) != analysis::NomBalise(o).toQString())
        mismatches << QStringLiteral("NomBalise ") + reference::NomBalise(t) + QStringLiteral(" / ") + analysis::NomBalise(o).toQString();
      if (t.startsWith(QStringLiteral("</")) && reference::endKey(t) != analysis::endTagKey(o).toQString())
        mismatches << QStringLiteral("endTagKey ") + reference::endKey(t) + QStringLiteral(" / ") + analysis::endTagKey(o).toQString();
      if (reference::ValeurGuillemets(t) != enTexte(analysis::ValeurGuillemets(o)))
        mismatches << QStringLiteral("ValeurGuillemets ") + reference::ValeurGuillemets(t) + QStringLiteral(" / ") +
                      enTexte(analysis::ValeurGuillemets(o));
      if (reference::ControleAttributs(t) != analysis::ControleAttributs(o))
        mismatches << QStringLiteral("ControleAttributs %1 / %2").arg(reference::ControleAttributs(t)).arg(analysis::ControleAttributs(o));
      for (qsizetype p = 0; p < t.size(); ++p)
        if (t[p] == u'&' && reference::isReference(t, p + 1) != analysis::isReference(o, p))
          mismatches << QStringLiteral("reference at %1").arg(p);
      bool active = false;
      analysis::CommentState state;
      analysis::LineTags tags(o);
      for (qsizetype p = 0; p < t.size(); ++p) {
        if (reference::commentState(active, t, p + 1) != state.skips(o, p)) {
          mismatches << QStringLiteral("comment state at %1").arg(p);
          break;
        }
        // The keys of a line's scanner, asked in order along the line, against each window.
        if (t[p] != u'<') continue;
        const QString w = t.mid(p);
        const bool stop = w.size() > 1 && w[1] == u'/';
        const QString expected = stop ? reference::endKey(w) : reference::NomBalise(w);
        if (expected != tags.key(p).toQString()) {
          mismatches << QStringLiteral("key at %1: %2 / %3").arg(p).arg(expected, tags.key(p).toQString());
          break;
        }
        if (!stop && reference::ControleAttributs(w) != tags.attributes(p)) {
          mismatches << QStringLiteral("attributes at %1").arg(p);
          break;
        }
      }
      return mismatches.join(u'\n');
    });
  }
}

TEST(Differential, KeysCompareWithoutRegardToCaseLikeTheReference) {
  const QString letters = QStringLiteral("aAzZéÉçÇÿŸšŠœŒßµ<>");  // pairs: i and i ^ 1
  reference::Generator g(kSeed + 1);
  int equalCount = 0;
  for (int trial = 0; trial < 5000; ++trial) {
    QString a, b;
    for (int n = g.between(0, 4); n > 0; --n) {
      const int i = g.between(0, int(letters.size()) - 1);
      a += letters[i];
      // Mostly the same letter in the other case, so that equal keys are common.
      b += g.chance(0.85) ? (g.chance(0.5) ? letters[i ^ 1] : letters[i]) : letters[g.between(0, int(letters.size()) - 1)];
    }
    const bool expected = reference::sameKey(a, b);
    equalCount += expected;
    EXPECT_EQ(expected, analysis::sameKeyIgnoringCase(octets(a), octets(b))) << a.toStdString() << " / " << b.toStdString();
  }
  EXPECT_GT(equalCount, 500);
}

// The comparison of one overlap question, on the document and on its reductions.
auto sameOverlap(const Question& q) {
  return [q](const QStringList& d) {
    if (q.line >= d.size()) return QString();
    const bool expected = reference::Chevauche(d, q.key, q.line, q.position);
    return expected == produitChevauche(d, q.key, q.line, q.position)
               ? QString()
               : QStringLiteral("Chevauche(%1, %2, %3): reference %4")
                     .arg(q.key).arg(q.line).arg(q.position).arg(expected);
  };
}

TEST(Differential, ValidAndChevaucheAgreeOnRandomDocuments) {
  reference::Generator g(kSeed + 2);
  Comparer valid("Valid", kSeed + 2);
  Comparer overlaps("Chevauche", kSeed + 2);
  std::map<int, int> codes;
  for (int trial = 0; trial < 15000; ++trial) {
    const QStringList doc = g.document();
    codes[reference::Valid(doc).code]++;
    valid.compare(trial, doc, [](const QStringList& d) {
      const QString e = validMismatch(d);
      return e.isEmpty() ? reportMismatch(d, false, {}, {}) : e;
    });
    if (trial % 3 != 0) continue;  // the overlap test on every tag is the slow part
    for (const Question& q : startTags(doc)) {
      overlaps.compare(trial, doc, sameOverlap(q));
    }
  }
  // The generator must reach every outcome, or the comparison proves little.
  for (int code : {0, 1, 2, 3, 4, 5, 6, 7}) EXPECT_GT(codes[code], 100) << "code " << code;
}

TEST(Differential, ValidAgreesOnLongerDocuments) {
  reference::Generator g(kSeed + 4);
  Comparer valid("Valid (longer documents)", kSeed + 4);
  std::map<int, int> codes;
  for (int trial = 0; trial < 800; ++trial) {
    const QStringList doc = g.longDocument(g.between(5, 80));
    codes[reference::Valid(doc).code]++;
    valid.compare(trial, doc, [](const QStringList& d) {
      return validMismatch(d);
    });
  }
  EXPECT_GT(codes[0], 200);
  EXPECT_GT(codes[7], 100);
}

// Many tags a line: each start tag's scan takes what stands before it on its line as outer
// entries, which is where a shared walk could drift from the per-tag scans.
TEST(Differential, ValidAndChevaucheAgreeOnRecordsALine) {
  reference::Generator g(kSeed + 5);
  Comparer valid("Valid (records a line)", kSeed + 5);
  Comparer overlaps("Chevauche (records a line)", kSeed + 5);
  std::map<int, int> codes;
  int trueCount = 0, questions = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    const QStringList doc = g.recordsDocument(g.between(1, 15));
    codes[reference::Valid(doc).code]++;
    valid.compare(trial, doc, [](const QStringList& d) {
      return validMismatch(d);
    });
    for (const Question& q : startTags(doc)) {
      const bool expected = reference::Chevauche(doc, q.key, q.line, q.position);
      trueCount += expected;
      ++questions;
      overlaps.compare(trial, doc, sameOverlap(q));
    }
  }
  EXPECT_GT(codes[0], 250);
  EXPECT_GT(codes[7], 250);
  EXPECT_GT(trueCount, questions / 20);
  EXPECT_LT(trueCount, questions / 2);
}

TEST(Differential, LitDtdAndValiddtdAgreeOnRandomDocuments) {
  reference::Generator g(kSeed + 3);
  Comparer read("LitDtd", kSeed + 3);
  Comparer dtdCheck("Validdtd", kSeed + 3);
  Comparer external("Validdtd (external file reduced)", kSeed + 3);
  std::map<int, int> codes;
  int withExternal = 0;
  for (int trial = 0; trial < 10000; ++trial) {
    const reference::DtdDocument d = g.dtdDocument();
    const reference::Loader load = loaderOf(d.externalName, d.external);
    const analysis::DtdLoader productLoad = productLoaderOf(d.externalName, d.external);
    withExternal += !d.externalName.isEmpty();
    codes[reference::Validdtd(d.lines, load).code]++;
    const auto list = [&load, &productLoad](const QStringList& doc) {
      const QStringList expected = reference::LitDtd(doc, load);
      const QStringList actual = produitLitDtd(doc, productLoad);
      if (expected == actual) return QString();
      return QStringLiteral("reference list:\n") + asLiterals(expected) + QStringLiteral("product list:\n") +
             asLiterals(actual);
    };
    const auto dtd = [&load, &productLoad](const QStringList& doc) {
      const QString e = faultMismatch("Validdtd", doc, reference::Validdtd(doc, load), produitValiddtd(doc, productLoad));
      return e.isEmpty() ? reportMismatch(doc, true, load, productLoad) : e;
    };
    read.compare(trial, d.lines, list, d.external);
    dtdCheck.compare(trial, d.lines, dtd, d.external);
    // The same mismatch reduced on the external file's side, when it is the external file's doing.
    if (!d.externalName.isEmpty() && !dtd(d.lines).isEmpty()) {
      external.compare(trial, d.external, [&](const QStringList& ext) {
        const reference::Loader c2 = loaderOf(d.externalName, ext);
        return faultMismatch("Validdtd", d.lines, reference::Validdtd(d.lines, c2),
                             produitValiddtd(d.lines, productLoaderOf(d.externalName, ext)));
      });
    }
  }
  EXPECT_GT(withExternal, 3000);
  for (int code : {0, 11, 12}) EXPECT_GT(codes[code], 200) << "code " << code;
}

// Edge cases with known answers, on both sides: the reference is checked as much as
// the product here.
struct Case {
  const char* name;
  QStringList lines;
  int code;
  QString text;
};

TEST(KnownAnswers, WellFormednessCasesGiveTheirFaultOnBothSides) {
  const std::vector<Case> cases = {
      {"new document", {u"<?xml version=\"1.0\"?>"_qs, u"<body>"_qs, u""_qs, u"</body>"_qs}, 0, {}},
      {"unclosed", {u"<a>"_qs}, 1, u"<a>"_qs},
      {"earliest unclosed", {u"<r><a><b></r>"_qs}, 1, u"<a>"_qs},
      {"unopened", {u"</a>"_qs}, 2, u"<a>"_qs},
      {"last unopened", {u"</a>"_qs, u"</b>"_qs}, 2, u"<b>"_qs},
      {"unopened wins over unclosed", {u"<a>"_qs, u"</b>"_qs}, 2, u"<b>"_qs},
      {"root nested", {u"<r><r></r></r>"_qs}, 3, u"<r>"_qs},
      {"second root", {u"<r></r>"_qs, u"<r></r>"_qs}, 3, u"<r>"_qs},
      {"unquoted", {u"<p lang=fr>"_qs}, 4, u"<p>"_qs},
      {"apostrophes", {u"<p lang='fr'></p>"_qs}, 0, {}},
      {"blanks around =", {u"<p lang = \"fr\"></p>"_qs}, 0, {}},
      {"= in a value", {u"<a href=\"x.php?id=3\">"_qs, u"</a>"_qs}, 0, {}},
      {"unquoted in an empty element", {u"<r><p lang=fr/></r>"_qs}, 4, u"<p>"_qs},
      {"bare ampersand", {u"AT&T company"_qs}, 5, u"&T company"_qs},
      {"references", {u"<a>&amp; &#233;</a>"_qs}, 0, {}},
      {"ampersand in a comment", {u"<a><!-- x & y --></a>"_qs}, 0, {}},
      {"long entity name", {u"<a>&Lauri.Watts;</a>"_qs}, 0, {}},
      {"standalone maybe", {u"<?xml version=\"1.0\" standalone=\"maybe\"?>"_qs, u"<a/>"_qs}, 6, {}},
      {"standalone yes", {u"<?xml version=\"1.0\" standalone=\"yes\"?>"_qs}, 0, {}},
      {"standalone 'no'", {u"<?xml version=\"1.0\" standalone='no'?>"_qs}, 0, {}},
      {"standalone empty", {u"<?xml version=\"1.0\" standalone=\"\"?>"_qs}, 6, {}},
      {"overlap on four lines", {u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs}, 7, u"<b>"_qs},
      {"overlap on one line", {u"<a><b></a></b>"_qs}, 0, {}},
      {"an end tag before the tag on its line is passed over",
       {u"<r>"_qs, u"<x>"_qs, u"</x><y>"_qs, u"</y>"_qs, u"</r>"_qs}, 0, {}},
      {"one record a line",
       {u"<liste>"_qs, u"<rec><nom>Dupont</nom><ville>Lyon</ville></rec>"_qs,
        u"<rec><nom>Durand</nom><ville>Nîmes</ville></rec>"_qs, u"</liste>"_qs}, 0, {}},
      {"a record a line still overlapping", {u"<liste>"_qs, u"<rec><nom>Dupont</rec></nom>"_qs, u"</liste>"_qs},
       7, u"<rec>"_qs},
      {"empty tag later on the line", {u"<a><b/></a>"_qs}, 0, {}},
      {"empty tags", {u"<r>"_qs, u"<br/>"_qs, u"<br />"_qs, u"</r>"_qs}, 0, {}},
      {"case of the open list", {u"<A>"_qs, u"</a>"_qs}, 0, {}},
      {"case of the root", {u"<r>"_qs, u"<R></R>"_qs, u"</r>"_qs}, 0, {}},
      {"comment across lines", {u"<r><!-- <x>"_qs, u"<y> -->"_qs, u"</r>"_qs}, 0, {}},
      {"end tag in CDATA", {u"<![CDATA[</x>]]>"_qs}, 0, {}},
      {"long name", {u"<a>"_qs, u"<"_qs + QString(70, u'n') + u">"_qs, u"</a>"_qs}, 1,
       u"<"_qs + QString(70, u'n') + u">"_qs},
      {"no tags", {u"plain text"_qs}, 0, {}},
  };
  for (const Case& c : cases) {
    const reference::Result r = reference::Valid(c.lines);
    EXPECT_EQ(r.code, c.code) << "reference, " << c.name;
    EXPECT_EQ(r.text, c.text) << "reference, " << c.name;
    const analysis::Fault f = produitValid(c.lines);
    EXPECT_EQ(f.code, c.code) << "product, " << c.name;
    EXPECT_EQ(f.text, c.text) << "product, " << c.name;
  }
}

TEST(KnownAnswers, ValidationCasesGiveTheirFaultOnBothSides) {
  const QStringList internal = {u"<!DOCTYPE r ["_qs, u"<!ELEMENT r (a)*>"_qs, u"<!ELEMENT a (#PCDATA)>"_qs, u"]>"_qs};
  const QStringList body = {u"<!DOCTYPE body ["_qs, u"<!ELEMENT body (#PCDATA)>"_qs, u"]>"_qs};
  const QStringList required = {u"<!DOCTYPE a ["_qs, u"<!ELEMENT a (#PCDATA)>"_qs,
                              u"<!ATTLIST a id CDATA #REQUIRED>"_qs, u"]>"_qs};
  // One-line sections: a raw line of the file that begins with a declaration declares too.
  const QStringList external = {u"<!ELEMENT r ANY>"_qs, u"<![IGNORE[<!ELEMENT a ANY>]]>"_qs,
                               u"<![IGNORE[<!ELEMENT b ANY>]]>"_qs};
  const auto plus = [](QStringList a, const QStringList& b) { return a + b; };
  const std::vector<Case> cases = {
      {"no DOCTYPE", {u"<r><a/></r>"_qs}, 0, {}},
      {"undeclared", plus(internal, {u"<r><a>x</a><b>y</b></r>"_qs}), 11, u"<b>"_qs},
      {"declared name begins with the tag's", plus(body, {u"<bo></bo>"_qs}), 0, u"<bo>"_qs},
      {"required attribute missing", plus(required, {u"<a>"_qs, u"</a>"_qs}), 12, u"<a>"_qs},
      {"required attribute present", plus(required, {u"<a id=\"1\">"_qs, u"</a>"_qs}), 0, u"<a>"_qs},
      {"undeclared wins over missing",
       {u"<!DOCTYPE a ["_qs, u"<!ELEMENT a ANY>"_qs, u"<!ATTLIST x id CDATA #REQUIRED>"_qs, u"]>"_qs, u"<x>"_qs},
       11, u"<x>"_qs},
      {"empty tag checked by its name", plus(internal, {u"<r><br/></r>"_qs}), 11, u"<br>"_qs},
      {"start tag in a comment", plus(internal, {u"<r><!-- <z> --></r>"_qs}), 0, u"<r>"_qs},
      {"start tag in CDATA", plus(internal, {u"<r><![CDATA[<z>]]></r>"_qs}), 0, u"<r>"_qs},
      {"external file", {u"<!DOCTYPE r SYSTEM \"r.dtd\">"_qs, u"<r><b/></r>"_qs}, 0, u"<b>"_qs},
      {"first IGNORE section cut", {u"<!DOCTYPE r SYSTEM \"r.dtd\">"_qs, u"<r><a/></r>"_qs}, 11, u"<a>"_qs},
      {"absent external file", {u"<!DOCTYPE r SYSTEM \"absent.dtd\">"_qs, u"<r><a/></r>"_qs}, 0, {}},
  };
  const auto load = loaderOf(u"r.dtd"_qs, external);
  const auto productLoad = productLoaderOf(u"r.dtd"_qs, external);
  for (const Case& c : cases) {
    const reference::Result r = reference::Validdtd(c.lines, load);
    EXPECT_EQ(r.code, c.code) << "reference, " << c.name;
    EXPECT_EQ(r.text, c.text) << "reference, " << c.name;
    const analysis::Fault f = produitValiddtd(c.lines, productLoad);
    EXPECT_EQ(f.code, c.code) << "product, " << c.name;
    EXPECT_EQ(f.text, c.text) << "product, " << c.name;
  }
}

TEST(KnownAnswers, DeclarationListHoldsTheExternalLinesThenElementsThenAttributeLists) {
  const QStringList external = {u"  <!ELEMENT e ANY>"_qs, u"<![IGNORE[<!ELEMENT i ANY>]]>"_qs,
                               u"<!ATTLIST e id CDATA #REQUIRED>"_qs};
  const QStringList doc = {u"<!DOCTYPE r SYSTEM 'e.dtd' [<!ELEMENT r ANY>]>"_qs, u"<r/>"_qs};
  const QStringList expected = external + QStringList{u"<!ELEMENT e ANY>"_qs, u"<!ATTLIST e id CDATA #REQUIRED>"_qs};
  // The internal subset gives nothing here: once the IGNORE cut has run, the subset test reads
  // the external text before the section, which holds no "]>".
  EXPECT_EQ(reference::LitDtd(doc, loaderOf(u"e.dtd"_qs, external)), expected);
  EXPECT_EQ(produitLitDtd(doc, productLoaderOf(u"e.dtd"_qs, external)), expected);
}

// A declaration is found when it begins within 4096 characters of the previous one of its kind,
// however far from the first. The external file here is one line, so that its raw line declares
// "a" only.
TEST(KnownAnswers, DeclarationsAreFoundWithin4096CharactersOfThePreviousOne) {
  const QString near(3000, u' ');
  const QString far(4100, u' ');
  const QStringList external = {u"<!ELEMENT a ANY>"_qs + near + u"<!ELEMENT b ANY>"_qs + near + u"<!ELEMENT c ANY>"_qs +
                               far + u"<!ELEMENT d ANY>"_qs};
  const QStringList doc = {u"<!DOCTYPE a SYSTEM \"x.dtd\">"_qs, u"<a>"_qs, u"<b/>"_qs, u"<c/>"_qs, u"<d/>"_qs, u"</a>"_qs};
  const auto load = loaderOf(u"x.dtd"_qs, external);
  const auto productLoad = productLoaderOf(u"x.dtd"_qs, external);
  const QStringList expected =
      external + QStringList{u"<!ELEMENT a ANY>"_qs, u"<!ELEMENT b ANY>"_qs, u"<!ELEMENT c ANY>"_qs};
  EXPECT_EQ(reference::LitDtd(doc, load), expected);
  EXPECT_EQ(produitLitDtd(doc, productLoad), expected);
  const reference::Result r = reference::Validdtd(doc, load);
  EXPECT_EQ(r.code, 11);
  EXPECT_EQ(r.text, u"<d>"_qs);
  const analysis::Fault f = produitValiddtd(doc, productLoad);
  EXPECT_EQ(f.code, 11);
  EXPECT_EQ(f.text, u"<d>"_qs);
}

// The key "<>" (of "<>" or "< x>") has an empty name, and every text begins with the empty
// text: an element declaration of any length declares it, a raw "<!ELEMENT" line too (its text
// from the 11th character is empty).
TEST(KnownAnswers, EmptyNameIsDeclaredByAnyElementDeclaration) {
  const QStringList doc = {u"<!DOCTYPE r SYSTEM \"r.dtd\">"_qs, u"<>"_qs};
  for (const QString& line : {u"<!ELEMENT"_qs, u"<!ELEMENT r ANY>"_qs}) {
    const auto load = loaderOf(u"r.dtd"_qs, {line});
    const auto productLoad = productLoaderOf(u"r.dtd"_qs, {line});
    const reference::Result r = reference::Validdtd(doc, load);
    EXPECT_EQ(r.code, 0) << line.toStdString();
    EXPECT_EQ(r.text, u"<>"_qs);
    const analysis::Fault f = produitValiddtd(doc, productLoad);
    EXPECT_EQ(f.code, 0) << line.toStdString();
    EXPECT_EQ(f.text, u"<>"_qs);
  }
}

// Where each fault lies, on both sides: "LINE:COLUMN-LINE:COLUMN" from the tag's "<" to just past
// its text, or one place for a fault without a tag; columns count characters, a tab as one.
TEST(KnownAnswers, EveryFaultIsPlacedOnBothSides) {
  const QString dtd = u"<!DOCTYPE r [<!ELEMENT r ANY><!ELEMENT a ANY><!ATTLIST a id CDATA #REQUIRED>]>"_qs;
  struct Placed {
    const char* name;
    QStringList lines;
    bool dtd;
    QString message;
    QString place;
  };
  const std::vector<Placed> cases = {
      {"unclosed after a tab", {u"<r>"_qs, u"\t<é>"_qs, u"</r>"_qs}, false, u"Balise <é> non fermée"_qs, u"2:2-2:5"_qs},
      {"unclosed over two lines", {u"<r>"_qs, u"<a"_qs, u"  b='1'>"_qs, u"</r>"_qs}, false,
       u"Balise <a> non fermée"_qs, u"2:1-3:9"_qs},
      {"unopened on the last line", {u"<r>"_qs, u"</r>"_qs, u"\t</x>"_qs}, false, u"Balise <x> non ouverte"_qs,
       u"3:2-3:6"_qs},
      {"the last unopened", {u"</x></y>"_qs, u"<r></r>"_qs}, false, u"Balise <y> non ouverte"_qs, u"1:5-1:9"_qs},
      {"root after accents", {u"<r>"_qs, u"çà€<r>"_qs}, false, u"Racine <r> non unique"_qs, u"2:4-2:7"_qs},
      {"attribute over two lines", {u"<r>"_qs, u"<p"_qs, u"lang=fr>"_qs, u"</p></r>"_qs}, false,
       u"Attribut dans la balise <p> incorrect"_qs, u"2:1-3:9"_qs},
      {"after a tag over two lines", {u"<r a='1'"_qs, u"  b='2'><x y=z></x></r>"_qs}, false,
       u"Attribut dans la balise <x> incorrect"_qs, u"2:9-2:16"_qs},
      {"attribute of an empty element", {u"<r>\t<br a=b/></r>"_qs}, false, u"Attribut dans la balise <br> incorrect"_qs,
       u"1:5-1:14"_qs},
      {"ampersand after a tab", {u"<r>Å"_qs, u"\tAT&T</r>"_qs}, false, u"&T</r> Manque ; en fin d'entité"_qs,
       u"2:4-2:4"_qs},
      {"standalone on the next line", {u"<?xml version=\"1.0\""_qs, u"  standalone=\"peut-être\"?>"_qs, u"<r/>"_qs},
       false, u"Déclaration xml ou attribut standalone incorrect"_qs, u"2:3-2:3"_qs},
      {"overlap after tabs", {u"<a>"_qs, u"\t\t<b>"_qs, u"</a>"_qs, u"</b>"_qs}, false, u"Balise <b> chevauchée"_qs,
       u"2:3-2:6"_qs},
      {"tag stopped by the next line's", {u"<r>"_qs, u"<a"_qs, u"<b></a></b>"_qs, u"</r>"_qs}, false,
       u"Balise <a> chevauchée"_qs, u"2:1-3:1"_qs},
      {"undeclared after accents", {dtd, u"<r>"_qs, u"\tél<x/>"_qs, u"</r>"_qs}, true, u"Balise <x> non déclarée"_qs,
       u"3:4-3:8"_qs},
      {"required attribute missing on the last line", {dtd, u"<r><a"_qs, u" x='1'></a></r>"_qs}, true,
       u"Attribut dans balise <a> manquant"_qs, u"2:4-3:8"_qs},
      {"well formed", {u"<r/>"_qs}, false, u"Le document est bien formé"_qs, {}},
      {"valid", {dtd, u"<r><a id='1'/></r>"_qs}, true, u"Le document est valide"_qs, {}},
  };
  for (const Placed& c : cases) {
    const reference::Result v = reference::Valid(c.lines);
    EXPECT_EQ(reference::report(c.lines, c.dtd, {}), c.message) << "reference, " << c.name;
    EXPECT_EQ(placeOf(v.code != 0 || !c.dtd ? v : reference::Validdtd(c.lines, {})), c.place) << "reference, " << c.name;
    analysis::Fault f;
    EXPECT_EQ(produitRapport(c.lines, c.dtd, {}, &f), c.message) << "product, " << c.name;
    EXPECT_EQ(placeOf(c.lines, f), c.place) << "product, " << c.name;
  }
}

TEST(KnownAnswers, MessagesAreTheEditorsTexts) {
  const std::vector<std::pair<QStringList, QString>> cases = {
      {{u"<a>"_qs}, u"Balise <a> non fermée"_qs},
      {{u"</a>"_qs}, u"Balise <a> non ouverte"_qs},
      {{u"<r></r><r></r>"_qs}, u"Racine <r> non unique"_qs},
      {{u"<p lang=fr>"_qs}, u"Attribut dans la balise <p> incorrect"_qs},
      {{u"AT&T company"_qs}, u"&T company Manque ; en fin d'entité"_qs},
      {{u"<?xml standalone=\"maybe\"?>"_qs}, u"Déclaration xml ou attribut standalone incorrect"_qs},
      {{u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs}, u"Balise <b> chevauchée"_qs},
      {{u"<r/>"_qs}, u"Le document est bien formé"_qs},
  };
  for (const auto& [lines, text] : cases) {
    EXPECT_EQ(reference::report(lines, false, {}), text);
    EXPECT_EQ(produitRapport(lines, false, {}), text);
  }
  const QStringList dtd = {u"<!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r id CDATA #REQUIRED>]>"_qs};
  const std::vector<std::pair<QStringList, QString>> validation = {
      {dtd + QStringList{u"<r id='1'><x></x></r>"_qs}, u"Balise <x> non déclarée"_qs},
      {dtd + QStringList{u"<r></r>"_qs}, u"Attribut dans balise <r> manquant"_qs},
      {dtd + QStringList{u"<r id='1'></r>"_qs}, u"Le document est valide"_qs},
      {dtd + QStringList{u"<r id='1'>"_qs}, u"Balise <r> non fermée"_qs},
  };
  for (const auto& [lines, text] : validation) {
    EXPECT_EQ(reference::report(lines, true, {}), text);
    EXPECT_EQ(produitRapport(lines, true, {}), text);
  }
}

}  // namespace
