// Decoding a file into store form and encoding it back, against iconv on the same file.
//
//   bench_encoding [--runs=N] FILE...
//
// For each file: the encoding it is detected in (and windows-1252 forced too, the reading of
// every file that earlier versions wrote, when the file is a single-byte one), then the median
// processor time of detection, of decoding in 64 KiB pieces as the store is built, and of
// encoding the store in 64 KiB pieces as a save writes; the same conversions by iconv in the
// same run (its whole process, output dropped); throughputs in MB/s of the file's bytes and the
// ratios. Every round trip is checked: a benchmark of a wrong conversion is no figure. Last, the
// store-form helpers of the view on the last file's text.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "Encoding.h"

namespace {

constexpr size_t kPiece = 64 * 1024;

std::string decodePieces(const std::string& bytes, const encoding::Codec& codec) {
  encoding::Decoder d(codec);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  for (size_t at = 0; at < bytes.size(); at += kPiece)
    d.decode(std::string_view(bytes).substr(at, kPiece), out);
  d.finish(out);
  return out;
}

std::string encodePieces(const std::string& store, const encoding::Codec& codec, bool bom) {
  encoding::Encoder e(codec, bom);
  std::string out;
  out.reserve(store.size());
  for (size_t at = 0; at < store.size(); at += kPiece)
    e.encode(std::string_view(store).substr(at, kPiece), out);
  e.finish(out);
  return out;
}

double medianCpuMs(int runs, const std::function<void()>& action) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const double before = bench::cpuMs();
    action();
    ms.push_back(bench::cpuMs() - before);
  }
  return bench::median(ms);
}

double medianProgramCpuMs(int runs, const QString& program, const QStringList& args) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    double cpu = 0;
    if (bench::programSeconds(program, args, true, &cpu) < 0) return -1;
    ms.push_back(cpu * 1e3);
  }
  return bench::median(ms);
}

double mbPerSecond(size_t bytes, double ms) { return ms > 0 ? double(bytes) / 1e6 / (ms / 1e3) : 0; }

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int runs = 5;
  const QStringList files = bench::filesAndRuns(&runs);
  if (files.isEmpty()) {
    std::fprintf(stderr, "usage: bench_encoding [--runs=N] FILE...\n");
    return 2;
  }
  QTemporaryDir temp;
  int status = 0;
  std::string lastStore;
  std::printf("%-22s %-13s %8s %9s %9s %11s %11s %8s %8s\n", "file", "encoding", "detect", "decode",
              "encode", "iconv dec", "iconv enc", "dec/ic", "enc/ic");
  std::printf("%-22s %-13s %8s %9s %9s %11s %11s %8s %8s\n", "", "", "ms", "MB/s", "MB/s", "MB/s", "MB/s",
              "", "");
  for (const QString& path : files) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "bench_encoding: cannot read %s\n", qPrintable(path));
      return 2;
    }
    const QByteArray raw = f.readAll();
    const std::string bytes(raw.constData(), size_t(raw.size()));
    encoding::Detection detected;
    const double detectMs = medianCpuMs(runs, [&] { detected = encoding::detect(bytes); });
    std::vector<encoding::Codec> codecs;
    codecs.push_back(detected.codec);
    if (detected.codec.name() != "windows-1252" && !detected.codec.universal())
      codecs.push_back(encoding::Codec::forName("windows-1252"));
    for (const encoding::Codec& codec : codecs) {
      const std::string body = bytes.substr(size_t(detected.bomLength));
      std::string store;
      std::string back;
      const double decodeMs = medianCpuMs(runs, [&] { store = decodePieces(body, codec); });
      const double encodeMs = medianCpuMs(runs, [&] { back = encodePieces(store, codec, false); });
      if (back != body) {
        std::fprintf(stderr, "bench_encoding: %s in %s does not come back unchanged\n", qPrintable(path),
                     qPrintable(codec.name()));
        status = 1;
      }
      lastStore = store;
      const QString storePath = temp.filePath(QStringLiteral("store.txt"));
      QFile s(storePath);
      if (!s.open(QIODevice::WriteOnly) || s.write(store.data(), qint64(store.size())) != qint64(store.size())) {
        std::fprintf(stderr, "bench_encoding: cannot write %s\n", qPrintable(storePath));
        return 2;
      }
      s.close();
      const QString iconvName = codec.name();
      const double iconvDecodeMs = medianProgramCpuMs(
          runs, QStringLiteral("iconv"), {QStringLiteral("-f"), iconvName, QStringLiteral("-t"), QStringLiteral("UTF-8"), path});
      const double iconvEncodeMs = medianProgramCpuMs(
          runs, QStringLiteral("iconv"), {QStringLiteral("-f"), QStringLiteral("UTF-8"), QStringLiteral("-t"), iconvName, storePath});
      const double dec = mbPerSecond(body.size(), decodeMs), enc = mbPerSecond(body.size(), encodeMs);
      const double idec = mbPerSecond(body.size(), iconvDecodeMs), ienc = mbPerSecond(body.size(), iconvEncodeMs);
      std::printf("%-22s %-13s %8.1f %9.0f %9.0f %11.0f %11.0f %8.2f %8.2f\n",
                  qPrintable(QFileInfo(path).fileName().left(22)), qPrintable(codec.name()), detectMs, dec, enc,
                  idec, ienc, idec > 0 ? dec / idec : 0, ienc > 0 ? enc / ienc : 0);
    }
  }
  std::printf("(processor time, median of %d runs; iconv's figures are its whole process; a ratio above 1: "
              "faster than iconv)\n", runs);
  if (!lastStore.empty()) {
    // The helpers the view calls on every paint and key, over the whole of the last text.
    size_t count = 0;
    const double countMs = medianCpuMs(runs, [&] { count = encoding::charCount(lastStore); });
    QString shown;
    const double showMs = medianCpuMs(runs, [&] { shown = encoding::toQString(lastStore); });
    size_t steps = 0;
    const double backMs = medianCpuMs(runs, [&] {
      steps = 0;
      for (size_t at = lastStore.size(); at > 0; at = encoding::previousCharStart(lastStore, at)) ++steps;
    });
    std::printf("store helpers on the last text (%zu characters): charCount %.0f MB/s, toQString %.0f MB/s, "
                "previousCharStart %.1f ns a character\n",
                count, mbPerSecond(lastStore.size(), countMs), mbPerSecond(lastStore.size(), showMs),
                steps ? backMs * 1e6 / double(steps) : 0.0);
    if (steps != count || size_t(shown.size()) < count) status = 1;
  }
  return status;
}
