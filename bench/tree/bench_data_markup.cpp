// The data view's fill on text that is mostly broken markup, against xmllint on the same file.
//
//   bench_data_markup OUTDIR [TOVELO_BATCH] [--runs=N]
//
// Writes into OUTDIR 1 MB of "<", 400 KB of random text with a "<" every ten characters, and
// 4 MB of "<a b=1 " without any ">", then prints for each the median of N runs (3 unless set)
// of the fill in this process, of `tovelo-batch data` when its path is given, and of
// `xmllint --noout`, with the ratios to xmllint.
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
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
    std::vector<double> fill, lint, tool;
    size_t rows = 0;
    for (int r = 0; r < runs; ++r) {
      fill.push_back(double(timedNs([&] { rows = dataview::Remplit(text).rows.size(); })) / 1e6);
      lint.push_back(programSeconds(QStringLiteral("xmllint"), {QStringLiteral("--noout"), path}, false) * 1e3);
      if (!batch.isEmpty()) tool.push_back(programSeconds(batch, {QStringLiteral("data"), path}) * 1e3);
    }
    const double xl = median(lint);
    std::printf("%s (%zu bytes, %zu rows)\n", d.name, d.bytes.size(), rows);
    std::printf("  xmllint --noout          %9.2f ms\n", xl);
    std::printf("  fill                     %9.2f ms  %.2f of xmllint\n", median(fill), median(fill) / xl);
    if (!tool.empty())
      std::printf("  tovelo-batch data        %9.2f ms  %.2f of xmllint\n", median(tool), median(tool) / xl);
  }
  return 0;
}
