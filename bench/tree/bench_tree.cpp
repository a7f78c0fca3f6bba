// The tree view and the data view on a large document, against xmllint on the same file.
//
//   bench_tree LARGE [--runs=N]
//
// LARGE is the document that the figures compare on (gen-records.py 50). Prints one line per
// figure, each the median of N runs (3 unless set):
//   - opening LARGE: the processor time of the window's thread until the text is painted and
//     takes keys, and the wall time until the tree built behind the window is shown, against
//     `xmllint --noout` on the same file in the same run;
//   - "Construire l'arborescence" (the check, the build, every node expanded, the first node
//     selected, painted), filling the grid ("Vue données", painted), and a double click on the
//     last node, each against `xmllint --noout` on the same file in the same run;
//   - each action on the tree and the grid (page down, end, collapse all, expand all, one node
//     collapsed and expanded again), with its repaint;
//   - the memory that the tree and the grid add to the window: the growth of the resident set
//     from the document opened without them to the document with both, against the file's size,
//     and the bytes their own arrays hold.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <vector>

#include "BenchEditor.h"
#include "DataModel.h"
#include "StringGrid.h"
#include "TreeList.h"
#include "TreeModel.h"

namespace {

using namespace bench;

long statusKiB(const char* field) {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(field)) return line.mid(int(strlen(field))).trimmed().split(' ').value(0).toLong();
  return -1;
}

double timedMs(const std::function<void()>& action) { return double(timedNs(action)) / 1e6; }

double xmllintMs(const QString& path) {
  const double s =
      programSeconds(QStringLiteral("xmllint"), {QStringLiteral("--noout"), path}, false);
  return s < 0 ? -1 : s * 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_tree LARGE [--runs=N]\n");
    return 2;
  }
  int runs = 3;
  for (int i = 2; i < argc; ++i)
    if (qstrncmp(argv[i], "--runs=", 7) == 0) runs = std::max(1, atoi(argv[i] + 7));
  QuietPrompts prompts;
  Prompts::install(&prompts);
  const QString large = QString::fromLocal8Bit(argv[1]);
  const double size = double(QFile(large).size());

  // The same bytes under a name without ".xml": opened, the window builds neither view.
  QTemporaryDir dir;
  const QString plain = dir.filePath(QStringLiteral("records.txt"));
  if (!QFile::copy(large, plain)) return 2;

  std::vector<double> lintOpen, keysCpu, keysWall, treeWall, wholeCpu;
  for (int r = 0; r < runs; ++r) {
    lintOpen.push_back(xmllintMs(large));
    const auto opened = shownEditor(QStringLiteral("records.xml"));
    settle();
    const double cpu = threadCpuMs(), process = cpuMs();
    QElapsedTimer t;
    t.start();
    if (!opened->OpenFile(large)) return 2;
    settle();
    keysCpu.push_back(threadCpuMs() - cpu);
    keysWall.push_back(double(t.nsecsElapsed()) / 1e6);
    waitBehind(opened.get());
    treeWall.push_back(double(t.nsecsElapsed()) / 1e6);
    wholeCpu.push_back(cpuMs() - process);
    if (opened->treeModel()->tree().size() == 0) return 2;
  }
  {
    const double xl = median(lintOpen);
    std::printf("xmllint --noout                     %9.1f ms\n", xl);
    std::printf("open: text takes keys               %9.1f ms wall, %.1f ms CPU of the window's thread\n",
                median(keysWall), median(keysCpu));
    std::printf("open: tree shown                    %9.1f ms  %.2f of xmllint (%.1f ms CPU, all threads)\n",
                median(treeWall), median(treeWall) / xl, median(wholeCpu));
  }

  const auto window = shownEditor(QStringLiteral("records.xml"));
  TEditeur& w = *window;
  settle();
  if (!w.OpenFile(plain)) return 2;
  settle();
  malloc_trim(0);
  const long before = statusKiB("VmRSS:");
  w.SetFichier(large);

  std::vector<double> lint, build, fill, dbl;
  for (int r = 0; r < runs; ++r) {
    lint.push_back(xmllintMs(large));
    w.VueSource();
    settle();
    build.push_back(timedMs([&] { w.Arborescence(); }));
    fill.push_back(timedMs([&] { w.Vuedonnees(); }));
    const int32_t last = w.treeModel()->tree().size() - 1;
    w.TreeView1->setCurrentNode(last);
    settle();
    dbl.push_back(timedMs([&] { w.TreeView1DblClick(); }));
  }
  malloc_trim(0);
  const long after = statusKiB("VmRSS:");
  const double xl = median(lint);
  std::printf("xmllint --noout                     %9.1f ms\n", xl);
  std::printf("tree built, expanded, selected      %9.1f ms  %.2f of xmllint\n", median(build), median(build) / xl);
  std::printf("grid filled and shown               %9.1f ms  %.2f of xmllint\n", median(fill), median(fill) / xl);
  std::printf("double click on the last node       %9.1f ms  %.2f of xmllint\n", median(dbl), median(dbl) / xl);
  std::printf("nodes %d, grid rows %zu\n", w.treeModel()->tree().size(), w.dataModel()->rows().rows.size());

  struct Action {
    const char* name;
    std::function<void()> run;
  };
  TreeList* tree = w.TreeView1;
  StringGrid* grid = w.StringGrid1;
  const int32_t record = 1;
  grid->setCurrentIndex(w.dataModel()->index(0, 1));
  const std::vector<Action> actions = {
      {"tree: home, then end (two actions)", [&] { QTest::keyClick(tree, Qt::Key_Home); settle(); QTest::keyClick(tree, Qt::Key_End); }},
      {"tree: page up", [&] { QTest::keyClick(tree, Qt::Key_PageUp); }},
      {"tree: one node collapsed, expanded", [&] { tree->collapse(record); settle(); tree->expand(record); }},
      {"tree: collapse all, expand all", [&] { w.Reduire(); settle(); w.Deployer(); }},
      {"grid: page down", [&] { QTest::keyClick(grid, Qt::Key_PageDown); }},
      {"grid: end, then home (two actions)", [&] {
         QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
         settle();
         QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
       }},
  };
  for (const Action& a : actions) {
    std::vector<double> t;
    for (int r = 0; r < std::max(runs, 5); ++r) t.push_back(timedMs(a.run));
    std::printf("%-36s%9.2f ms\n", a.name, median(t));
    // The view lays out the rest of a long list between events: let it finish between runs.
    for (int i = 0; i < 400; ++i) QCoreApplication::processEvents();
  }
  const double arrays = double(w.treeModel()->tree().memoryUsed() + w.dataModel()->rows().memoryUsed());
  std::printf("resident set added by tree and grid %9.1f MiB  %.2f of the file (%.1f MiB)\n",
              double(after - before) / 1024, double(after - before) * 1024 / size, size / 1048576);
  std::printf("their own arrays                    %9.1f MiB  %.2f of the file\n", arrays / 1048576, arrays / size);
  Prompts::install(nullptr);
  return 0;
}
