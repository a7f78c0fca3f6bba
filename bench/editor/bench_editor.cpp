// The document window on a large document against the same window on a small one.
//
//   bench_editor LARGE SMALL LONGLINE DTD [--runs=N]
//
// LARGE is the document that the figures compare on (gen-records.py 50), SMALL a document of
// about 1 KB, LONGLINE one holding a line of several MB without a blank, DTD the large document
// with its internal DTD (gen-records.py 50 --dtd). Prints one line per figure:
//   - opening LARGE in a shown document window until it is painted and ready to type in (wall
//     time, and processor time of the window's thread), until its tree built behind the window
//     is shown, and the growth of the process's peak memory (VmHWM) over an empty editor's,
//     against the size;
//   - each action (a key typed, Enter, Backspace, Page Down, Ctrl+End, Ctrl+Home,
//     Shift+Ctrl+End, a cut of one line with its undo snapshot, undo, redo) on LARGE and on
//     SMALL: the median of N runs that alternate between the two, with everything the action
//     causes (layout, repaint) processed, and their ratio;
//   - a key typed inside the long line;
//   - "Vérifier la syntaxe" (F6) on LARGE and "Valider le document" (F7) on DTD against
//     `xmllint --noout` and `xmllint --valid --noout` on the same files, in the same run;
//   - "Remplacer tout" on LARGE from the click to the repainted window, against
//     `xmllint --noout`, and "Annuler" of it.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "BenchEditor.h"
#include "FindDialogs.h"

namespace {

using namespace bench;

long peakKiB() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return -1;
}

// A document window, shown and active, as the main window would hold it.
std::unique_ptr<TEditeur> openWindow(const QString& path, bool* ok) {
  auto w = shownEditor();
  *ok = path.isEmpty() || w->OpenFile(path);
  w->activateWindow();
  settle();
  return w;
}

struct Action {
  const char* name;
  std::function<void(TEditeur*)> prepare;  // untimed
  std::function<void(TEditeur*)> run;      // timed
};

void key(TEditeur* w, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QTest::keyClick(keyTarget(w), k, mods);
}

}  // namespace

int main(int argc, char** argv) {
  offscreenWithoutDisplay();
  QApplication app(argc, argv);
  QuietPrompts prompts;
  Prompts::install(&prompts);

  int runs = 21;
  const QStringList files = filesAndRuns(&runs);
  if (files.size() != 4) {
    std::fprintf(stderr, "usage: bench_editor LARGE SMALL LONGLINE DTD [--runs=N]\n");
    return 2;
  }
  const qint64 largeSize = QFile(files[0]).size();

  // An empty editor first: its peak is the base that the large document's memory adds to.
  bool ok = false;
  auto small = openWindow(files[1], &ok);
  if (!ok) return 1;
  const long basePeak = peakKiB();
  QElapsedTimer t;
  const double cpu = threadCpuMs();
  t.start();
  auto large = openWindow(files[0], &ok);
  const double openS = double(t.nsecsElapsed()) / 1e9;
  const double openCpu = (threadCpuMs() - cpu) / 1e3;
  if (!ok) return 1;
  waitBehind(large.get());
  const double treeS = double(t.nsecsElapsed()) / 1e9;
  const long peak = peakKiB();
  std::printf("open %.1f MB\t%.3f s (%.3f s CPU of the window's thread)\ttree shown after %.3f s"
              "\tpeak +%.0f MiB (%.2fx the file)\n",
              largeSize / 1048576.0, openS, openCpu, treeS, (peak - basePeak) / 1024.0,
              (peak - basePeak) * 1024.0 / double(largeSize));

  const std::vector<Action> actions = {
      {"key typed", caretToMiddle, [](TEditeur* w) { key(w, Qt::Key_A); }},
      {"Enter", caretToMiddle, [](TEditeur* w) { key(w, Qt::Key_Return); }},
      {"Backspace", caretToMiddle, [](TEditeur* w) { key(w, Qt::Key_Backspace); }},
      {"Page Down", caretToMiddle, [](TEditeur* w) { key(w, Qt::Key_PageDown); }},
      {"Ctrl+End", caretToMiddle, [](TEditeur* w) { key(w, Qt::Key_End, Qt::ControlModifier); }},
      {"Ctrl+Home", caretToMiddle, [](TEditeur* w) { key(w, Qt::Key_Home, Qt::ControlModifier); }},
      {"Shift+Ctrl+End", caretToMiddle,
       [](TEditeur* w) { key(w, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier); }},
      {"cut one line (Memorise)",
       [](TEditeur* w) {
         caretToMiddle(w);
         TColorMemo* m = w->Memo1;
         const qint64 line = m->LineOfPosition(m->SelStart());
         m->SetSelLength(m->LineStart(line + 1) - m->LineStart(line));
       },
       [](TEditeur* w) { w->Couper(); }},
      {"Annuler", caretToMiddle, [](TEditeur* w) { w->Annuler(); }},
      {"Retablir", caretToMiddle, [](TEditeur* w) { w->Retablir(); }},
  };
  for (const Action& a : actions) {
    std::vector<qint64> onLarge, onSmall;
    for (int r = -2; r < runs; ++r) {
      for (TEditeur* w : {small.get(), large.get()}) {
        a.prepare(w);
        const qint64 ns = timedNs([&] { a.run(w); });
        if (r >= 0) (w == small.get() ? onSmall : onLarge).push_back(ns);
      }
    }
    const double l = medianMs(onLarge), s = medianMs(onSmall);
    std::printf("%s\t%.3f ms\t1 KB %.3f ms\tratio %.2f\n", a.name, l, s, s > 0 ? l / s : 0);
  }

  {
    auto longLine = openWindow(files[2], &ok);
    if (!ok) return 1;
    TColorMemo* m = longLine->Memo1;
    qint64 longest = 0, at = 0;
    for (qint64 i = 0; i < m->LineCount(); ++i) {
      const qint64 len = m->LineStart(i + 1) - m->LineStart(i);
      if (len > longest) longest = len, at = i;
    }
    std::vector<qint64> keys;
    for (int r = -2; r < runs; ++r) {
      m->SetSelStart(m->LineStart(at) + longest / 2);
      m->ScrollCaret();
      settle();
      const qint64 ns = timedNs([&] { key(longLine.get(), Qt::Key_A); });
      if (r >= 0) keys.push_back(ns);
    }
    std::printf("key typed inside a %.1f MB line\t%.3f ms\n", longest / 1048576.0, medianMs(keys));
  }

  large->Memo1->SetSelStart(0);
  std::vector<qint64> f6;
  for (int r = 0; r < 3; ++r) f6.push_back(timedNs([&] { large->Valider(false); }));
  const QString f6Message = prompts.last;
  const double xmllint = programSeconds(QStringLiteral("xmllint"), {QStringLiteral("--noout"), files[0]}, false);
  // What the user waits for, from the click to the repainted window: "Remplacer tout" of a
  // word of every thirtieth record, then "Annuler" of it.
  {
    large->Memo1->SetSelStart(0);
    TReplaceDialog* r = large->ReplaceDialog1();
    r->FindEdit->setText(QStringLiteral("Paris"));
    r->ReplaceEdit->setText(QStringLiteral("Rome"));
    r->SetOptions(SearchOptions{true, true, false});
    const qint64 replaceNs = timedNs([&] { QTest::mouseClick(r->ReplaceAllButton, Qt::LeftButton); });
    const bool replaced = large->Memo1->Modified();
    r->hide();
    settle();
    const qint64 undoNs = timedNs([&] { large->Annuler(); });
    std::printf("Remplacer tout (Paris by Rome) %.3f s%s\tratio to xmllint --noout %.3f\t"
                "Annuler after it %.3f ms\n",
                double(replaceNs) / 1e9, replaced ? "" : " (nothing replaced)",
                double(replaceNs) / 1e9 / xmllint, double(undoNs) / 1e6);
  }
  large.reset();
  auto dtd = openWindow(files[3], &ok);
  if (!ok) return 1;
  std::vector<qint64> f7;
  for (int r = 0; r < 3; ++r) f7.push_back(timedNs([&] { dtd->Valider(true); }));
  const QString f7Message = prompts.last;
  const double xmllintValid =
      programSeconds(QStringLiteral("xmllint"), {QStringLiteral("--valid"), QStringLiteral("--noout"), files[3]}, false);
  std::printf("F6 %.3f s (%s)\txmllint --noout %.3f s\tratio %.3f\n", medianMs(f6) / 1000,
              qPrintable(f6Message), xmllint, medianMs(f6) / 1000 / xmllint);
  std::printf("F7 %.3f s (%s)\txmllint --valid --noout %.3f s\tratio %.3f\n", medianMs(f7) / 1000,
              qPrintable(f7Message), xmllintValid, medianMs(f7) / 1000 / xmllintValid);
  Prompts::install(nullptr);
  return 0;
}
