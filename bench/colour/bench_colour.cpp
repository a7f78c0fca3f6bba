// The coloured source view on a large document against the same view on a small one, and the
// coloured listing of the batch program against xmllint.
//
//   bench_colour LARGE SMALL TOVELO_BATCH [--runs=N]
//
// Prints one line per figure:
//   - one paint of the view with its colours made again (the rules run over the shown region),
//     a key typed inside a line, Page Down and Ctrl+End, each on LARGE and on SMALL: the median
//     of N runs that alternate between the two, with everything the action causes processed
//     (colouring, layout, repaint), and their ratio;
//   - `tovelo-batch colour LARGE -o FILE` against `xmllint --noout LARGE`, median of three.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "ColorMemo.h"
#include "MemoView.h"

namespace {

void settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

double median(std::vector<qint64> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : double(v[v.size() / 2]) / 1e6;
}

struct Window {
  QWidget top;
  TColorMemo* memo = new TColorMemo(&top);
  MemoView* view = memo->findChild<MemoView*>();
  explicit Window(const QString& path, bool* ok) {
    (new QVBoxLayout(&top))->addWidget(memo);
    top.resize(1000, 700);
    memo->SetColorRules(SourceViewRules());
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
};

qint64 timed(const std::function<void()>& action) {
  QElapsedTimer t;
  t.start();
  action();
  settle();
  return t.nsecsElapsed();
}

double runProcess(const QString& program, const QStringList& args) {
  QElapsedTimer t;
  t.start();
  QProcess p;
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  p.start(program, args);
  if (!p.waitForFinished(-1) || p.exitCode() != 0) return -1;
  return double(t.nsecsElapsed()) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStringList files;
  int runs = 21;
  for (const QString& a : QCoreApplication::arguments().mid(1)) {
    if (a.startsWith(QStringLiteral("--runs=")))
      runs = std::max(1, a.mid(7).toInt());
    else
      files << a;
  }
  if (files.size() != 3) {
    std::fprintf(stderr, "usage: bench_colour LARGE SMALL TOVELO_BATCH [--runs=N]\n");
    return 2;
  }

  bool ok = false;
  Window small(files[1], &ok);
  if (!ok) return 1;
  Window large(files[0], &ok);
  if (!ok) return 1;

  struct Action {
    const char* name;
    std::function<void(Window&)> prepare;  // untimed
    std::function<void(Window&)> run;      // timed
  };
  const std::vector<Action> actions = {
      {"paint with colours", [](Window& w) { w.caretToMiddle(); },
       [](Window& w) {
         w.memo->DrawColors(w.memo, false);
         w.view->viewport()->repaint();
       }},
      {"key typed", [](Window& w) { w.caretToMiddle(); }, [](Window& w) { w.key(Qt::Key_A); }},
      {"Page Down", [](Window& w) { w.caretToMiddle(); },
       [](Window& w) { w.key(Qt::Key_PageDown); }},
      {"Ctrl+End", [](Window& w) { w.caretToMiddle(); },
       [](Window& w) { w.key(Qt::Key_End, Qt::ControlModifier); }},
  };
  for (const Action& a : actions) {
    std::vector<qint64> onLarge, onSmall;
    for (int r = -2; r < runs; ++r) {
      for (Window* w : {&small, &large}) {
        a.prepare(*w);
        const qint64 ns = timed([&] { a.run(*w); });
        if (r >= 0) (w == &small ? onSmall : onLarge).push_back(ns);
      }
    }
    const double l = median(onLarge), s = median(onSmall);
    std::printf("%s\t%.3f ms\t1 KB %.3f ms\tratio %.2f\n", a.name, l, s, s > 0 ? l / s : 0);
  }

  QTemporaryDir dir;
  const QString html = dir.filePath(QStringLiteral("listing.html"));
  std::vector<qint64> listing, lint;
  for (int r = 0; r < 3; ++r) {
    listing.push_back(qint64(
        runProcess(files[2], {QStringLiteral("colour"), files[0], QStringLiteral("-o"), html}) * 1e9));
    lint.push_back(qint64(runProcess(QStringLiteral("xmllint"), {QStringLiteral("--noout"), files[0]}) * 1e9));
  }
  const double l = median(listing) / 1e3, x = median(lint) / 1e3;
  std::printf("colour listing\t%.3f s\txmllint --noout %.3f s\tratio %.2f\n", l, x,
              x > 0 ? l / x : 0);
  return 0;
}
