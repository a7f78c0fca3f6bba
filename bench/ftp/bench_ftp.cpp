// Throughput of the FTP engine against curl, on loopback, to and from the same pyftpdlib server
// in the same run: a file of SIZE_MB megabytes (100 unless given) up and down, in active and in
// passive mode, each a whole session (connect, log in, binary type, transfer, quit). Best of
// ESSAIS runs (3 unless set). Prints MB/s and the engine's share of curl's throughput, and the
// processor time each spent per run (the engine's own, curl's as a child process, and the
// server's while serving each), which a busy machine disturbs less than the throughput.
// Usage: bench_ftp [SIZE_MB]
#include "FtpCli.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <tuple>

namespace {

const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench");

double cpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Processor time of another process so far, from /proc.
double processCpuSeconds(qint64 pid) {
  QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray line = f.readAll();
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13) return 0;
  return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

struct Timing {
  double wall = -1;   // best run, seconds
  double cpu = 0;     // mean processor time of a run, seconds
  double server = 0;  // mean processor time of the server during a run, seconds
};

qint64 serverPid = 0;

// who: RUSAGE_SELF for the engine, RUSAGE_CHILDREN for curl.
Timing measure(int runs, int who, const std::function<bool()>& run) {
  Timing t;
  double best = 1e100;
  const double cpuBefore = cpuSeconds(who);
  const double serverBefore = processCpuSeconds(serverPid);
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer clock;
    clock.start();
    if (!run()) return t;
    best = qMin(best, clock.nsecsElapsed() / 1e9);
  }
  t.wall = best;
  t.cpu = (cpuSeconds(who) - cpuBefore) / runs;
  t.server = (processCpuSeconds(serverPid) - serverBefore) / runs;
  return t;
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
  serverPid = server.processId();
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
    const Timing eu = measure(runs, RUSAGE_SELF, [&] { return engine(passive, true, QStringLiteral("engine.bin"), source); });
    const Timing cu = measure(runs, RUSAGE_CHILDREN, [&] { return curl(passive, {QStringLiteral("-T"), source, url + QStringLiteral("curl.bin")}); });
    const Timing ed = measure(runs, RUSAGE_SELF, [&] { return engine(passive, false, QStringLiteral("curl.bin"), downEngine); });
    const Timing cd = measure(runs, RUSAGE_CHILDREN, [&] { return curl(passive, {QStringLiteral("-o"), downCurl, url + QStringLiteral("engine.bin")}); });
    const bool intact = sameFile(source, upEngine) && sameFile(source, upCurl) && sameFile(source, downEngine) &&
                        sameFile(source, downCurl);
    if (eu.wall < 0 || cu.wall < 0 || ed.wall < 0 || cd.wall < 0 || !intact) {
      std::printf("%s: a transfer failed or the bytes differ\n", mode);
      allGood = false;
      continue;
    }
    for (const auto& [what, e, c] : {std::tuple{"upload  ", eu, cu}, std::tuple{"download", ed, cd}})
      std::printf("%-8s %s engine %7.1f  curl %7.1f  ratio %.2f   cpu s engine %.2f  curl %.2f"
                  "  server %.2f / %.2f\n",
                  mode, what, megabytes / e.wall, megabytes / c.wall, c.wall / e.wall, e.cpu, c.cpu, e.server, c.server);
  }
  server.closeWriteChannel();
  if (!server.waitForFinished(3000)) server.kill();
  return allGood ? 0 : 1;
}
