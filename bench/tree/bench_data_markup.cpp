// The data view's fill on text that is mostly broken markup, against xmllint on the same file.
//
//   bench_data_markup OUTDIR [TOVELO_BATCH] [--runs=N]
//
// Writes into OUTDIR 1 MB of "<", 400 KB of random text with a "<" every ten characters, and
// 4 MB of "<a b=1 " without any ">", then prints for each the median of N runs (3 unless set)
// of the fill in this process, of `tovelo-batch data` when its path is given, and of
// `xmllint --noout`: wall and processor times, each with its ratio to xmllint's.
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "DataRows.h"

namespace {

using namespace bench;

struct Document {
  const char* name;
  std::string bytes;
};

std::vector<Document> documents() {
  std::vector<Document> docs;
  docs.push_back({"lt-1mb.xml", std::string(1 << 20, '<')});
  std::mt19937 rng(20261208u);
  std::string random;
  for (int i = 0; i < 400 * 1024; ++i) random += i % 10 == 0 ? '<' : char(32 + rng() % 95);
  docs.push_back({"random-400kb.xml", random});
  std::string open;
  while (open.size() < (4u << 20)) open += "<a b=1 ";
  docs.push_back({"open-tags-4mb.xml", open});
  return docs;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 3;
  const QStringList args = filesAndRuns(&runs);
  if (args.isEmpty()) {
    std::fprintf(stderr, "usage: bench_data_markup OUTDIR [TOVELO_BATCH] [--runs=N]\n");
    return 2;
  }
  const QString batch = args.value(1);
  for (const Document& d : documents()) {
    const QString path = args[0] + QStringLiteral("/") + QString::fromLatin1(d.name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(d.bytes.data(), qint64(d.bytes.size())) != qint64(d.bytes.size()))
      return 2;
    f.close();
    const TextStore text = TextStore::fromBytes(d.bytes);
    // Wall and processor times: [0] in this process, [1] xmllint, [2] tovelo-batch.
    std::vector<double> wall[3], cpu[3];
    const auto program = [&](int k, const QString& name, const QStringList& arguments) {
      double c = 0;
      wall[k].push_back(programSeconds(name, arguments, k != 1, &c) * 1e3);
      cpu[k].push_back(c * 1e3);
    };
    size_t rows = 0;
    for (int r = 0; r < runs; ++r) {
      const double before = cpuMs();
      wall[0].push_back(double(timedNs([&] { rows = dataview::Remplit(text).rows.size(); })) / 1e6);
      cpu[0].push_back(cpuMs() - before);
      program(1, QStringLiteral("xmllint"), {QStringLiteral("--noout"), path});
      if (!batch.isEmpty()) program(2, batch, {QStringLiteral("data"), path});
    }
    std::printf("%s (%zu bytes, %zu rows)        wall, ratio       processor, ratio\n", d.name, d.bytes.size(), rows);
    const char* names[] = {"fill", "xmllint --noout", "tovelo-batch data"};
    for (int k : {1, 0, 2})
      if (!wall[k].empty())
        std::printf("  %-22s %9.2f ms %5.2f   %9.2f ms %5.2f\n", names[k], median(wall[k]), median(wall[k]) / median(wall[1]),
                    median(cpu[k]), median(cpu[k]) / median(cpu[1]));
  }
  return 0;
}
