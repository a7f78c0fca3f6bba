// The typing aids on a large document against the same on a small one, and "Convertir
// caractères spéciaux" against xmllint.
//
//   bench_typing LARGE SMALL BATCH [--runs=N]
//
// LARGE is the document that the figures compare on (gen-records.py 50), SMALL a document of
// about 1 KB, BATCH the tovelo-batch program. Prints one line per figure:
//   - Enter with "Fermer automatiquement les balises" on, at the end and in the middle of the
//     document, and an accented letter typed with "Codage des caractères non ASCII" on, in the
//     middle: the median of N runs alternating between LARGE and SMALL, everything the key
//     causes (layout, repaint) processed, and their ratio; and the first Enter after opening,
//     once the closer has read the whole text behind the window, and when that was, beside the
//     first Enter after opening without automatic closing;
//   - "Convertir caractères spéciaux" (the editor's command, answered Yes) and
//     `tovelo-batch encode` on LARGE against `xmllint --noout` on the same file, in this run.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "BenchEditor.h"

namespace {

using namespace bench;

std::unique_ptr<TEditeur> openWindow(const QString& path) {
  auto w = shownEditor();
  if (!w->OpenFile(path)) return nullptr;
  w->Actauto2(true);
  w->Actauto3(true);
  w->activateWindow();
  settle();
  return w;
}

void caretToEnd(TEditeur* w) {
  TColorMemo* m = w->Memo1;
  m->SetSelStart(m->Store().size());
  m->ScrollCaret();
  settle();
}

// The window is made active before the clock starts: switching windows is not typing.
QWidget* target = nullptr;
void enter(TEditeur*) { QTest::keyClick(target, Qt::Key_Return); }
void accent(TEditeur*) {
  QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QStringLiteral("é"), Qt::NoModifier);
}

}  // namespace

int main(int argc, char** argv) {
  offscreenWithoutDisplay();
  QApplication app(argc, argv);
  // Says Yes to "Convertir les caractères spéciaux ?".
  QuietPrompts prompts(Prompts::Answer::Yes);
  Prompts::install(&prompts);

  int runs = 21;
  const QStringList files = filesAndRuns(&runs);
  if (files.size() != 3) {
    std::fprintf(stderr, "usage: bench_typing LARGE SMALL BATCH [--runs=N]\n");
    return 2;
  }

  auto small = openWindow(files[1]);
  QElapsedTimer opening;
  opening.start();
  auto large = openWindow(files[0]);
  if (!small || !large) return 1;
  waitBehind(small.get());
  waitBehind(large.get());
  const double ready = double(opening.nsecsElapsed()) / 1e6;
  caretToEnd(large.get());
  target = keyTarget(large.get());
  settle();
  const qint64 first = timedNs([&] { enter(large.get()); });
  std::printf("first Enter after opening, the closer prepared behind the window\t%.3f ms\t(ready %.0f ms after the opening began)\n",
              double(first) / 1e6, ready);
  {
    // What the first key after opening costs whatever it does: the part that is not the closer's.
    auto plain = openWindow(files[0]);
    if (!plain) return 1;
    plain->Actauto2(false);
    waitBehind(plain.get());
    caretToEnd(plain.get());
    target = keyTarget(plain.get());
    settle();
    const qint64 plainFirst = timedNs([&] { enter(plain.get()); });
    std::printf("first Enter after opening, automatic closing off\t%.3f ms\n", double(plainFirst) / 1e6);
  }

  struct Action {
    const char* name;
    void (*prepare)(TEditeur*);
    void (*run)(TEditeur*);
  };
  const Action actions[] = {
      {"Enter, automatic closing off, end of the document",
       [](TEditeur* w) {
         w->Actauto2(false);
         caretToEnd(w);
       },
       [](TEditeur* w) {
         enter(w);
         w->Actauto2(true);
       }},
      {"Enter, automatic closing, end of the document", caretToEnd, enter},
      {"Enter, automatic closing, middle of the document", caretToMiddle, enter},
      {"accented letter typed, coding on, middle", caretToMiddle, accent},
  };
  for (const Action& a : actions) {
    std::vector<qint64> onLarge, onSmall;
    for (int r = -2; r < runs; ++r) {
      for (TEditeur* w : {small.get(), large.get()}) {
        a.prepare(w);
        target = keyTarget(w);
        settle();
        const qint64 ns = timedNs([&] { a.run(w); });
        if (r >= 0) (w == small.get() ? onSmall : onLarge).push_back(ns);
      }
    }
    const double l = medianMs(onLarge), s = medianMs(onSmall);
    std::printf("%s\t%.3f ms\t1 KB %.3f ms\tratio %.2f\n", a.name, l, s, s > 0 ? l / s : 0);
  }
  large.reset();
  small.reset();

  std::vector<qint64> convert;
  for (int r = 0; r < 3; ++r) {
    auto w = openWindow(files[0]);
    if (!w) return 1;
    convert.push_back(timedNs([&] { w->Convertir(); }));
  }
  const double xmllint = programSeconds(QStringLiteral("xmllint"), {QStringLiteral("--noout"), files[0]});
  std::vector<qint64> batch;
  for (int r = 0; r < 3; ++r)
    batch.push_back(qint64(programSeconds(files[2], {QStringLiteral("encode"), files[0]}) * 1e9));
  std::printf("Convertir %.3f s (%s)\txmllint --noout %.3f s\tratio %.3f\n", medianMs(convert) / 1000,
              qPrintable(prompts.last), xmllint, medianMs(convert) / 1000 / xmllint);
  std::printf("tovelo-batch encode %.3f s\txmllint --noout %.3f s\tratio %.3f\n",
              medianMs(batch) / 1000, xmllint, medianMs(batch) / 1000 / xmllint);
  Prompts::install(nullptr);
  return 0;
}
