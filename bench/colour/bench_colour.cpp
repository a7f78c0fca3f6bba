// The coloured source view on a large document against the same view on a small one, and the
// coloured listing of the batch program against xmllint.
//
//   bench_colour LARGE SMALL TOVELO_BATCH [--runs=N]
//
// Times are this thread's processor time for the actions (the machine is shared), and wall and
// processor time for the programs. Prints one line per figure:
//   - each also without colours (the same view without rules), for what the colours add;
//   - one paint of the view with its colours made again (the rules run over the shown region),
//     a key typed inside a line, Page Down and Ctrl+End, each on LARGE and on SMALL: the median
//     of N runs that alternate between the two, with everything the action causes processed
//     (colouring, layout, repaint), and their ratio;
//   - Page Down and Ctrl+End run in a view a dozen rows high with the line layouts dropped
//     before each step: SMALL then spans several screens and both documents lay out a whole new
//     screen, as paging through a large document always does (in the full-size view SMALL
//     nearly fits one screen and its step would show little that is new);
//   - `tovelo-batch colour LARGE -o FILE` against `xmllint --noout LARGE`, median of three.
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "ColorMemo.h"
#include "MemoView.h"

namespace {

using namespace bench;

struct Window {
  QWidget top;
  TColorMemo* memo = new TColorMemo(&top);
  MemoView* view = memo->findChild<MemoView*>();
  Window(const QString& path, bool colours, bool* ok) {
    (new QVBoxLayout(&top))->addWidget(memo);
    top.resize(1000, 700);
    if (colours) memo->SetColorRules(SourceViewRules());
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    if (*ok) memo->SetBytes(f.readAll().toStdString());
    top.show();
    settle();
  }
  void caretToMiddle() {
    memo->SetSelStart(memo->LineStart(memo->LineCount() / 2) + 2);
    memo->ScrollCaret();
    settle();
  }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(view, k, m); }
  void setRows(int rows) {
    top.resize(top.width(), top.height() - view->viewport()->height() + rows * view->rowHeight());
    settle();
  }
  // Wrapping off and on again drops every line layout: the next screen is laid out afresh.
  void dropLayouts() {
    view->setWordWrap(!view->wordWrap());
    view->setWordWrap(!view->wordWrap());
  }
};

// The machine is shared: processor time of this thread, which other work does not inflate.
qint64 cpuNow() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

qint64 timed(const std::function<void()>& action) {
  const qint64 start = cpuNow();
  action();
  settle();
  return cpuNow() - start;
}

}  // namespace

int main(int argc, char** argv) {
  offscreenWithoutDisplay();
  QApplication app(argc, argv);
  int runs = 21;
  const QStringList files = filesAndRuns(&runs);
  if (files.size() != 3) {
    std::fprintf(stderr, "usage: bench_colour LARGE SMALL TOVELO_BATCH [--runs=N]\n");
    return 2;
  }

  bool ok = false;
  Window small(files[1], true, &ok);
  if (!ok) return 1;
  Window large(files[0], true, &ok);
  if (!ok) return 1;
  // The same view without rules: what the colours add to each action.
  Window plainSmall(files[1], false, &ok);
  if (!ok) return 1;
  Window plainLarge(files[0], false, &ok);
  if (!ok) return 1;

  struct Action {
    const char* name;
    std::function<void(Window&)> prepare;  // untimed
    std::function<void(Window&)> run;      // timed
    bool paging = false;                   // in the short view
  };
  const std::vector<Action> actions = {
      {"paint with colours", [](Window& w) { w.caretToMiddle(); },
       [](Window& w) {
         w.memo->DrawColors(w.memo, false);
         w.view->viewport()->repaint();
       }},
      {"key typed", [](Window& w) { w.caretToMiddle(); }, [](Window& w) { w.key(Qt::Key_A); }},
      {"Page Down", [](Window& w) { w.dropLayouts(); w.caretToMiddle(); },
       [](Window& w) { w.key(Qt::Key_PageDown); }, true},
      {"Ctrl+End", [](Window& w) { w.dropLayouts(); w.caretToMiddle(); },
       [](Window& w) { w.key(Qt::Key_End, Qt::ControlModifier); }, true},
  };
  constexpr int kPagingRows = 12;
  Window* windows[4] = {&small, &large, &plainSmall, &plainLarge};
  for (const Action& a : actions) {
    std::vector<qint64> ns[4];
    if (a.paging)
      for (Window* w : windows) w->setRows(kPagingRows);
    for (int r = -2; r < runs; ++r) {
      for (int k = 0; k < 4; ++k) {
        a.prepare(*windows[k]);
        const qint64 t = timed([&] { a.run(*windows[k]); });
        if (r >= 0) ns[k].push_back(t);
      }
    }
    const double s = medianMs(ns[0]), l = medianMs(ns[1]), ps = medianMs(ns[2]), pl = medianMs(ns[3]);
    std::printf("%s\t%.3f ms\t1 KB %.3f ms\tratio %.2f\twithout colours %.3f ms, 1 KB %.3f ms",
                a.name, l, s, s > 0 ? l / s : 0, pl, ps);
    if (a.paging)
      std::printf("\t(view of %d rows, layouts dropped before each step: a new screen in both)",
                  kPagingRows);
    std::printf("\n");
  }

  QTemporaryDir dir;
  const QString html = dir.filePath(QStringLiteral("listing.html"));
  std::vector<qint64> listing, lint, listingCpu, lintCpu;
  for (int r = 0; r < 3; ++r) {
    double cpu = 0;
    listing.push_back(qint64(
        programSeconds(files[2], {QStringLiteral("colour"), files[0], QStringLiteral("-o"), html}, true, &cpu) * 1e9));
    listingCpu.push_back(qint64(cpu * 1e9));
    lint.push_back(qint64(
        programSeconds(QStringLiteral("xmllint"), {QStringLiteral("--noout"), files[0]}, true, &cpu) * 1e9));
    lintCpu.push_back(qint64(cpu * 1e9));
  }
  const double l = medianMs(listing) / 1e3, x = medianMs(lint) / 1e3;
  const double lc = medianMs(listingCpu) / 1e3, xc = medianMs(lintCpu) / 1e3;
  std::printf("colour listing\twall %.3f s, processor %.3f s\txmllint --noout wall %.3f s, "
              "processor %.3f s\tratio wall %.2f, processor %.2f\n",
              l, lc, x, xc, x > 0 ? l / x : 0, xc > 0 ? lc / xc : 0);
  return 0;
}
