#pragma once
// What every benchmark of the windows needs: letting Qt finish what an action caused, timing,
// medians and the run of an external program to compare against.
#include <sys/resource.h>

#include <ctime>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

// Processor time of this process, in milliseconds: the machine may be shared, and wall time
// then measures the neighbours too.
inline double cpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Processor time of the calling thread alone, in milliseconds: what the window's thread spends
// while work runs behind it on others.
inline double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Without a display the windows are drawn offscreen. Before the application is made.
inline void offscreenWithoutDisplay() {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The program's arguments but --runs=N, which sets runs (at least 1).
inline QStringList filesAndRuns(int* runs) {
  QStringList files;
  for (const QString& a : QCoreApplication::arguments().mid(1)) {
    if (a.startsWith(QStringLiteral("--runs=")))
      *runs = std::max(1, a.mid(7).toInt());
    else
      files << a;
  }
  return files;
}

// Posted events (layout, repaint) run until none is left after the action.
inline void settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

// Wall time of the action and of everything it caused, in nanoseconds.
inline qint64 timedNs(const std::function<void()>& action) {
  QElapsedTimer t;
  t.start();
  action();
  settle();
  return t.nsecsElapsed();
}

inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

inline double medianMs(std::vector<qint64> ns) {
  std::sort(ns.begin(), ns.end());
  return ns.empty() ? 0 : double(ns[ns.size() / 2]) / 1e6;
}

inline double childrenCpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall seconds of one run of the program, its output dropped, and (cpu) its processor time.
// -1 when it does not finish, or, with mustSucceed, when it fails: a failed run is no reference.
inline double programSeconds(const QString& program, const QStringList& args,
                             bool mustSucceed = true, double* cpu = nullptr) {
  const double cpuBefore = childrenCpu();
  QElapsedTimer t;
  t.start();
  QProcess p;
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  p.start(program, args);
  if (!p.waitForFinished(-1) || (mustSucceed && p.exitCode() != 0)) return -1;
  if (cpu) *cpu = childrenCpu() - cpuBefore;
  return double(t.nsecsElapsed()) / 1e9;
}

}  // namespace bench
