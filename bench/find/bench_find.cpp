// Find and replace in a shown document window on the large document of records, against
// `xmllint --noout` on the same file in the same run.
//
//   bench_find LARGE [--runs=N]
//
// Prints: the first "Suivant" for a text found only in the last record, from the start; a
// "Suivant" after it (to the end, a miss); each "Suivant" through the 400,000 occurrences of
// "Dupont" (median of the first 2,000); "Remplacer tout" of "Dupont" by "Durand" through the
// dialog's button, with the longest time the event loop went without turning, then "Annuler";
// and xmllint's time with each ratio.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "BenchEditor.h"
#include "FindDialogs.h"

namespace {

using namespace bench;

// Wall seconds of the action and of everything it caused.
double seconds(const std::function<void()>& action) { return double(timedNs(action)) / 1e9; }

double xmllint(const QString& file) {
  return programSeconds(QStringLiteral("xmllint"), {QStringLiteral("--noout"), file});
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  int runs = 5;
  for (int i = args.size() - 1; i >= 0; --i)
    if (args[i].startsWith(QStringLiteral("--runs="))) runs = args.takeAt(i).mid(7).toInt();
  if (args.size() != 1 || runs < 1) {
    std::fprintf(stderr, "usage: bench_find LARGE [--runs=N]\n");
    return 2;
  }
  QuietPrompts prompts;
  Prompts::install(&prompts);

  const auto window = shownEditor();
  TEditeur& w = *window;
  if (!w.OpenFile(args[0])) return 2;
  settle();
  TColorMemo* memo = w.Memo1;
  // The last record's name: "fils N</nom>" is in no other record.
  QString last;
  for (qint64 i = memo->LineCount() - 1; i >= 0 && last.isEmpty(); --i) {
    const QString line = memo->Line(i);
    const qsizetype at = line.indexOf(QStringLiteral("fils "));
    if (at >= 0) last = line.mid(at);
  }
  TFindDialog* find = w.FindDialog1();
  std::vector<double> first, after, lint;
  for (int r = 0; r < runs; ++r) {
    lint.push_back(xmllint(args[0]));
    find->FindEdit->setText(last);
    memo->SetSelStart(0);
    settle();
    prompts.last.clear();
    first.push_back(seconds([&] { w.Continuer(); }));
    if (!prompts.last.isEmpty()) {
      std::fprintf(stderr, "not found: %s\n", qPrintable(last));
      return 1;
    }
    after.push_back(seconds([&] { w.Continuer(); }));
  }
  const double x = median(lint);

  find->FindEdit->setText(QStringLiteral("Dupont"));
  memo->SetSelStart(0);
  std::vector<double> steps;
  for (int i = 0; i < 2000; ++i) steps.push_back(seconds([&] { w.Continuer(); }));

  TReplaceDialog* replace = w.ReplaceDialog1();
  replace->FindEdit->setText(QStringLiteral("Dupont"));
  replace->ReplaceEdit->setText(QStringLiteral("Durand"));
  std::vector<double> all, undo, stall;
  const qint64 size = memo->Store().size();
  for (int r = 0; r < runs; ++r) {
    memo->SetSelStart(0);
    settle();
    // The event loop's longest pause while the replacement runs: a timer asks every 5 ms.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const qint64 now = clock.nsecsElapsed();
      longest = std::max(longest, now - lastTick);
      lastTick = now;
    });
    tick.start(5);
    all.push_back(seconds([&] {
      lastTick = clock.nsecsElapsed();
      replace->ReplaceAllButton->click();
    }));
    tick.stop();
    stall.push_back(double(longest) / 1e9);
    if (memo->Store().text(0, size).find("Dupont") != std::string::npos) {
      std::fprintf(stderr, "replace-all left an occurrence\n");
      return 1;
    }
    undo.push_back(seconds([&] { w.Annuler(); }));
  }

  std::printf("xmllint --noout %.3f s (median of %d)\n", x, runs);
  std::printf("first Suivant, \"%s\" from the start\t%.4f s\tratio %.3f\n", qPrintable(last),
              median(first), median(first) / x);
  std::printf("Suivant after it (a miss to the end)\t%.6f s\tratio %.5f\n", median(after),
              median(after) / x);
  std::printf("each Suivant through \"Dupont\" (median of 2000)\t%.6f s\tratio %.6f\n",
              median(steps), median(steps) / x);
  std::printf("Remplacer tout Dupont -> Durand\t%.3f s\tratio %.3f\tlongest pause of the event loop %.3f s\n",
              median(all), median(all) / x, median(stall));
  std::printf("Annuler after it\t%.6f s\n", median(undo));
  return 0;
}
