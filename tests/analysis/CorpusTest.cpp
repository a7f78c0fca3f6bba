// The check on documents shaped like the files that real programs write (tests/analysis/corpus:
// D-Bus descriptions, DocBook with long entity names, links with queries, CDATA holding markup,
// drawings with tags over several lines, style sheets, interface files), and on mutants of them
// that each break one rule the check covers. xmllint, when present, confirms that every file is
// well formed and every mutant is not, so that the corpus proves what it claims.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "LineViews.h"
#include "Wellformed.h"

namespace {

struct File {
  QString name;
  std::string bytes;
};

std::vector<File> corpus() {
  std::vector<File> files;
  const QDir dir(QStringLiteral(TOVELO_CORPUS_DIR));
  for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
    QFile f(dir.filePath(name));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray b = f.readAll();
    files.push_back({name, std::string(b.constData(), size_t(b.size()))});
  }
  return files;
}

analysis::Fault check(const std::string& bytes) { return analysis::Valid(BufferLines(bytes)); }

// Where markup may be changed: outside comments, CDATA sections, processing instructions (the XML
// declaration included) and the DOCTYPE.
std::vector<bool> markupMask(const std::string& t) {
  std::vector<bool> mask(t.size(), true);
  const std::pair<const char*, const char*> sections[] = {
      {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!DOCTYPE", "]>"}};
  for (const auto& [open, close] : sections) {
    for (size_t p = t.find(open); p != std::string::npos; p = t.find(open, p + 1)) {
      size_t end = t.find(close, p);
      // A DOCTYPE without internal subset ends at its first ">".
      if (std::string_view(open) == "<!DOCTYPE" && t.find('[', p) > t.find('>', p)) end = t.find('>', p) - 1;
      end = end == std::string::npos ? t.size() : std::min(t.size(), end + std::string_view(close).size());
      for (size_t i = p; i < end; ++i) mask[i] = false;
    }
  }
  return mask;
}

struct Mutant {
  std::string what;
  std::string bytes;
};

// Up to `most` mutants of each kind, spread over the file: each match of pattern outside comments,
// CDATA and the DOCTYPE is replaced by what `change` makes of it. The bytes are read as Latin-1,
// one character a byte, so that positions agree.
using Change = std::function<QString(const QRegularExpressionMatch&)>;
void mutate(const std::string& t, const std::vector<bool>& mask, const char* what, const char* pattern,
            const Change& change, std::vector<Mutant>& out, size_t most = 5) {
  const QString text = QString::fromLatin1(t.data(), qsizetype(t.size()));
  struct Place {
    size_t at, length;
    std::string replacement;
  };
  std::vector<Place> found;
  for (auto it = QRegularExpression(QString::fromLatin1(pattern)).globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (mask[size_t(m.capturedStart())])
      found.push_back({size_t(m.capturedStart()), size_t(m.capturedLength()), change(m).toLatin1().toStdString()});
  }
  const size_t step = found.size() > most ? found.size() / most : 1;
  for (size_t i = 0; i < found.size(); i += step) {
    std::string b = t;
    b.replace(found[i].at, found[i].length, found[i].replacement);
    out.push_back({std::string(what) + " at " + std::to_string(found[i].at), b});
  }
}

std::vector<Mutant> mutants(const std::string& t) {
  const std::vector<bool> mask = markupMask(t);
  std::vector<Mutant> out;
  using M = QRegularExpressionMatch;
  const auto none = [](const M&) { return QString(); };
  mutate(t, mask, "end tag dropped", "</[A-Za-z:.-]+>", none, out);
  mutate(t, mask, "end tag renamed", "</([A-Za-z:.-]+)>", [](const M& m) { return "</" + m.captured(1) + "x>"; }, out);
  mutate(t, mask, "start tag dropped", "<[A-Za-z][A-Za-z:.-]*( [^<>]*[^/<>])?>", none, out);
  mutate(t, mask, "value unquoted", " ([A-Za-z:]+)=\"([A-Za-z0-9.]+)\"",
         [](const M& m) { return " " + m.captured(1) + "=" + m.captured(2); }, out);
  mutate(t, mask, "value left open", " ([A-Za-z:]+)=\"([A-Za-z0-9.]+)\"/?>",
         [](const M& m) { return " " + m.captured(1) + "=\"" + m.captured(2) + ">"; }, out);
  mutate(t, mask, "reference without ;", "&([A-Za-z][A-Za-z0-9.-]*);", [](const M& m) { return "&" + m.captured(1) + " "; }, out);
  mutate(t, mask, "lone ampersand", ">([A-Za-z]+)</", [](const M& m) { return ">" + m.captured(1) + " & co</"; }, out);
  mutate(t, std::vector<bool>(t.size(), true), "standalone", "standalone=\"(yes|no)\"",
         [](const M&) { return QStringLiteral("standalone=\"maybe\""); }, out);
  // Two end tags alone on consecutive lines, swapped: elements that overlap across lines.
  mutate(t, mask, "end tags swapped", "\n( *)</([A-Za-z:.-]+)>\n( *)</([A-Za-z:.-]+)>\n", [](const M& m) {
    return "\n" + m.captured(1) + "</" + m.captured(4) + ">\n" + m.captured(3) + "</" + m.captured(2) + ">\n";
  }, out);
  // A second root after the first one.
  const QString text = QString::fromLatin1(t.data(), qsizetype(t.size()));
  for (auto it = QRegularExpression(QStringLiteral("<([A-Za-z][A-Za-z:.-]*)[ \n>]")).globalMatch(text); it.hasNext();) {
    const M m = it.next();
    if (!mask[size_t(m.capturedStart())]) continue;
    const std::string root = m.captured(1).toStdString();
    out.push_back({"second root", t + "<" + root + "></" + root + ">\n"});
    break;
  }
  return out;
}

// xmllint's verdict, or -1 when it is not installed.
int xmllintAccepts(const QString& path) {
  static const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
  if (xmllint.isEmpty()) return -1;
  QProcess p;
  p.start(xmllint, {QStringLiteral("--noout"), QStringLiteral("--nonet"), path});
  if (!p.waitForFinished(20000)) return -1;
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 ? 1 : 0;
}

QString written(const QTemporaryDir& dir, const std::string& name, const std::string& bytes) {
  const QString path = dir.filePath(QString::fromStdString(name));
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes.data(), qint64(bytes.size()));
  return path;
}

TEST(Corpus, RealWorldShapesAreWellFormed) {
  const std::vector<File> files = corpus();
  ASSERT_GE(files.size(), 7u);
  for (const File& f : files) {
    const analysis::Fault fault = check(f.bytes);
    EXPECT_EQ(fault.code, 0) << f.name.toStdString() << ": " << analysis::faultMessage(fault).toStdString();
    EXPECT_NE(xmllintAccepts(QStringLiteral(TOVELO_CORPUS_DIR "/") + f.name), 0) << f.name.toStdString();
  }
}

TEST(Corpus, EveryMutantKeepsAFault) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  std::map<std::string, int> kinds;
  int n = 0;
  for (const File& f : corpus()) {
    for (const Mutant& m : mutants(f.bytes)) {
      const std::string what = f.name.toStdString() + ", " + m.what;
      const analysis::Fault fault = check(m.bytes);
      EXPECT_NE(fault.code, 0) << what;
      const int verdict = xmllintAccepts(written(dir, "m" + std::to_string(n++) + ".xml", m.bytes));
      EXPECT_NE(verdict, 1) << what << ": the mutant is well formed";
      kinds[m.what.substr(0, m.what.find(" at "))]++;
    }
  }
  // Every kind of damage found places to apply to.
  EXPECT_EQ(kinds.size(), 10u);
  for (const auto& [kind, count] : kinds) EXPECT_GE(count, 3) << kind;
}

}  // namespace
