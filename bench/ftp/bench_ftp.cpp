// Throughput of the FTP engine against curl, on loopback, to and from the same pyftpdlib server
// in the same run: a file of SIZE_MB megabytes (100 unless given) up and down, in active and in
// passive mode, each a whole session (connect, log in, binary type, transfer, quit). Best of
// ESSAIS runs (3 unless set). Prints MB/s and the engine's share of curl's throughput.
// Usage: bench_ftp [SIZE_MB]
#include "FtpCli.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench");

double bestSeconds(int runs, const std::function<bool()>& run) {
  double best = 1e100;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer clock;
    clock.start();
    if (!run()) return -1;
    best = qMin(best, clock.nsecsElapsed() / 1e9);
  }
  return best;
}

bool sameFile(const QString& a, const QString& b) {
  QFile fa(a), fb(b);
  if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size()) return false;
  while (!fa.atEnd())
    if (fa.read(1 << 20) != fb.read(1 << 20)) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int sizeMb = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100;
  const int runs = qMax(1, qEnvironmentVariableIntValue("ESSAIS") > 0 ? qEnvironmentVariableIntValue("ESSAIS") : 3);
  QTemporaryDir work;
  const QString home = work.filePath(QStringLiteral("home"));
  QDir().mkpath(home);

  QProcess server;
  server.setStandardErrorFile(QProcess::nullDevice());
  server.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TOVELO_FTP_SERVER_SCRIPT), home, kUser, kPassword});
  QByteArray first;
  while (!first.contains('\n') && server.waitForReadyRead(15000)) first += server.readAllStandardOutput();
  const QString port = QString::fromLatin1(first.trimmed());
  if (port.toInt() <= 0) {
    std::fprintf(stderr, "the FTP server did not start (python3-pyftpdlib installed?)\n");
    return 2;
  }

  // The file: not compressible, not all zeros.
  const QString source = work.filePath(QStringLiteral("source.bin"));
  {
    QFile f(source);
    f.open(QIODevice::WriteOnly);
    QByteArray block(1 << 20, Qt::Uninitialized);
    quint32 x = 12345;
    for (int mb = 0; mb < sizeMb; ++mb) {
      for (auto& c : block) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
      }
      f.write(block);
    }
  }
  const double megabytes = double(sizeMb);
  const QString url = QStringLiteral("ftp://%1:%2@127.0.0.1:%3/").arg(kUser, kPassword, port);

  auto engine = [&](bool passive, bool upload, const QString& remote, const QString& localFile) {
    TFtpClient ftp;
    ftp.SetTimeout(60);
    ftp.SetHostName(QStringLiteral("127.0.0.1"));
    ftp.SetPort(port);
    ftp.SetUserName(kUser);
    ftp.SetPassWord(kPassword);
    ftp.SetPassive(passive);
    ftp.SetHostFileName(remote);
    ftp.SetLocalFileName(localFile);
    return ftp.RunAndWait(upload ? &TCustomFtpCli::StartFullPut : &TCustomFtpCli::StartFullGet);
  };
  auto curl = [&](bool passive, QStringList args) {
    if (!passive) args = QStringList{QStringLiteral("-P"), QStringLiteral("127.0.0.1")} + args;
    args.prepend(QStringLiteral("-sS"));
    return QProcess::execute(QStringLiteral("curl"), args) == 0;
  };

  std::printf("FTP on loopback against pyftpdlib, %d MB, best of %d (MB/s; engine/curl)\n", sizeMb, runs);
  bool allGood = true;
  for (bool passive : {false, true}) {
    const char* mode = passive ? "passive" : "active";
    const QString upEngine = home + QStringLiteral("/engine.bin"), upCurl = home + QStringLiteral("/curl.bin");
    const QString downEngine = work.filePath(QStringLiteral("engine-down.bin"));
    const QString downCurl = work.filePath(QStringLiteral("curl-down.bin"));
    const double eu = bestSeconds(runs, [&] { return engine(passive, true, QStringLiteral("engine.bin"), source); });
    const double cu = bestSeconds(runs, [&] { return curl(passive, {QStringLiteral("-T"), source, url + QStringLiteral("curl.bin")}); });
    const double ed = bestSeconds(runs, [&] { return engine(passive, false, QStringLiteral("curl.bin"), downEngine); });
    const double cd = bestSeconds(runs, [&] { return curl(passive, {QStringLiteral("-o"), downCurl, url + QStringLiteral("engine.bin")}); });
    const bool intact = sameFile(source, upEngine) && sameFile(source, upCurl) && sameFile(source, downEngine) &&
                        sameFile(source, downCurl);
    if (eu < 0 || cu < 0 || ed < 0 || cd < 0 || !intact) {
      std::printf("%s: a transfer failed or the bytes differ\n", mode);
      allGood = false;
      continue;
    }
    std::printf("%-8s upload   engine %7.1f  curl %7.1f  ratio %.2f\n", mode, megabytes / eu, megabytes / cu, cu / eu);
    std::printf("%-8s download engine %7.1f  curl %7.1f  ratio %.2f\n", mode, megabytes / ed, megabytes / cd, cd / ed);
  }
  server.closeWriteChannel();
  if (!server.waitForFinished(3000)) server.kill();
  return allGood ? 0 : 1;
}
