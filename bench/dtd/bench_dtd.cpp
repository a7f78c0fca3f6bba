// "Générer DTD interne" on a document of many distinct elements, against xmllint on the same
// file.
//
//   bench_dtd OUTDIR [TOVELO_BATCH] [--elements=N] [--runs=N]
//
// Writes into OUTDIR a document whose root holds N distinct elements, one a line, each with an
// attribute but the first (the record, whose children are then looked for on every line), and
// the same document with an internal DTD of N + 1 lines, which the generation replaces. Prints for
// each the median of the runs (3 unless set) of the generation in this process, of
// `tovelo-batch dtd` when its path is given, and of `xmllint --noout`: wall and processor times,
// each with its ratio to xmllint's.
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <ctime>
#include <string>

#include "BenchSupport.h"
#include "DtdGenerator.h"

namespace {

using namespace bench;

// With dtd, an internal DTD of a line per element before the root, for the generation to replace.
std::string distinctElements(int count, bool dtd) {
  std::string s = "<?xml version=\"1.0\"?>\r\n";
  if (dtd) {
    s += "<!DOCTYPE racine [\r\n<!ELEMENT racine ANY>\r\n";
    for (int i = 0; i < count; ++i) s += "<!ELEMENT e" + std::to_string(i) + " (#PCDATA)>\r\n";
    s += "]>\r\n";
  }
  s += "<racine>\r\n<e0>x</e0>\r\n";
  for (int i = 1; i < count; ++i) {
    const std::string n = "e" + std::to_string(i);
    s += "<" + n + " a=\"" + std::to_string(i) + "\">x</" + n + ">\r\n";
  }
  return s + "</racine>";
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 3;
  QStringList args = filesAndRuns(&runs);
  int elements = 100000;
  for (qsizetype i = args.size() - 1; i >= 0; --i)
    if (args[i].startsWith(QStringLiteral("--elements="))) elements = std::max(2, args.takeAt(i).mid(11).toInt());
  if (args.isEmpty()) {
    std::fprintf(stderr, "usage: bench_dtd OUTDIR [TOVELO_BATCH] [--elements=N] [--runs=N]\n");
    return 2;
  }
  const QString batch = args.value(1);
  const struct {
    const char* name;
    std::string bytes;
  } documents[] = {{"distinct-elements.xml", distinctElements(elements, false)},
                   {"distinct-elements-dtd.xml", distinctElements(elements, true)}};
  for (const auto& d : documents) {
    const QString path = args[0] + QStringLiteral("/") + QString::fromLatin1(d.name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(d.bytes.data(), qint64(d.bytes.size())) != qint64(d.bytes.size()))
      return 2;
    f.close();
    // Wall and processor times: [0] in this process, [1] xmllint, [2] tovelo-batch.
    std::vector<double> wall[3], cpu[3];
    const auto program = [&](int k, const QString& name, const QStringList& arguments) {
      double c = 0;
      wall[k].push_back(programSeconds(name, arguments, k != 1, &c) * 1e3);
      cpu[k].push_back(c * 1e3);
    };
    for (int r = 0; r < runs; ++r) {
      TextStore text(d.bytes);
      const double before = cpuMs();
      wall[0].push_back(double(timedNs([&] { dtdgen::Gendtd(text); })) / 1e6);
      cpu[0].push_back(cpuMs() - before);
      program(1, QStringLiteral("xmllint"), {QStringLiteral("--noout"), path});
      if (!batch.isEmpty()) program(2, batch, {QStringLiteral("dtd"), path});
    }
    std::printf("%s (%d elements, %zu bytes)        wall, ratio       processor, ratio\n", d.name, elements,
                d.bytes.size());
    const char* names[] = {"Générer DTD interne", "xmllint --noout", "tovelo-batch dtd"};
    for (int k : {1, 0, 2})
      if (!wall[k].empty())
        std::printf("  %-22s %9.2f ms %5.2f   %9.2f ms %5.2f\n", names[k], median(wall[k]), median(wall[k]) / median(wall[1]),
                    median(cpu[k]), median(cpu[k]) / median(cpu[1]));
  }
  return 0;
}
