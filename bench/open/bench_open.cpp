// Opening a large document and typing at its end.
//
//   bench_open SIZE_MB [--view=editeur|memo] [--keys=N]
//
// Generates a document of records of about SIZE_MB MiB with CR LF line ends in a temporary
// folder, opens it, and prints one tab-separated row:
//   view, size, lines, open s, peak MiB, key ms, key ms in 1 KiB, ratio, load s, Lines() s, Text() s
// "editeur" opens the file in a document window (TEditeur::OpenFile, which loads it with
// textfile::load); "memo" loads it with textfile::load and gives the text to a shown TColorMemo.
// The open time runs until the window is shown, laid out and painted, ready to type in. Peak
// memory is the process's VmHWM right after opening, so run one process per size (run.sh does).
// A keystroke is one key event into the focused text widget with the events it causes processed
// (repaint included); N keystrokes (50) alternate between the large document and a 1 KiB one
// open in the same process, and the medians are compared. The first column names the view and
// the Qt platform that ran it.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <vector>

#include "ColorMemo.h"
#include "Cp1252.h"
#include "Editeur.h"
#include "TextFile.h"

namespace {

// Records of varying ids and accented text, inside a root element, about `bytes` long.
QByteArray generate(qint64 bytes) {
  static const char* const noms[] = {"Élodie", "Gaëtan", "Noémie", "François", "Zoé", "Hervé"};
  QByteArray out;
  out.reserve(bytes + 256);
  out += cp1252::encode(QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                                       "<records>\r\n"));
  const QByteArray tail = "</records>\r\n";
  for (int id = 1; out.size() + tail.size() < bytes; ++id) {
    const QString line = QStringLiteral("<record id=\"%1\" nom=\"%2\">texte accentué n° %3, "
                                        "déjà vérifié… à répéter</record>\r\n")
                             .arg(id)
                             .arg(QString::fromUtf8(noms[id % 6]))
                             .arg(id * 7);
    out += cp1252::encode(line);
  }
  out += tail;
  return out;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

void settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

long peakKiB() {
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return -1;
}

// One document, opened in the chosen view, in a shown and active top-level window.
class Opened {
 public:
  Opened(bool editeur, const QString& path) {
    if (editeur) {
      auto* e = new TEditeur(nullptr, QStringLiteral("bench.xml"));
      e->setAttribute(Qt::WA_DeleteOnClose, false);
      window_.reset(e);
      e->show();
      ok_ = e->OpenFile(path);
      memo_ = e->Memo1;
    } else {
      memo_ = new TColorMemo;
      window_.reset(memo_);
      memo_->resize(629, 317);
      memo_->SetInsets(3, 2, 3, 2);
      memo_->show();
      const textfile::Loaded loaded = textfile::load(path);
      ok_ = loaded.ok;
      memo_->SetText(loaded.text);
      memo_->SetSelStart(0);
      memo_->SetModified(false);
      memo_->FocusText();
    }
    window_->activateWindow();
    settle();
  }

  bool ok() const { return ok_; }
  TColorMemo* memo() const { return memo_; }
  QWidget* window() const { return window_.get(); }

  // Makes this window the active one with the caret at the end of the text, and gives the
  // widget that keys go to.
  QWidget* focusEnd() {
    window_->activateWindow();
    if (!QTest::qWaitForWindowActive(window_.get()))
      std::fprintf(stderr, "the window did not become active\n");
    memo_->FocusText();
    memo_->SetSelStart(INT_MAX);
    memo_->ScrollCaret();
    settle();
    QWidget* target = QApplication::focusWidget();
    return target ? target : memo_->focusProxy();
  }

  // One keystroke with everything it causes (layout, repaint), in nanoseconds.
  static qint64 keystrokeNs(QWidget* target, Qt::Key key) {
    QElapsedTimer t;
    t.start();
    QTest::keyClick(target, key);
    settle();
    return t.nsecsElapsed();
  }

 private:
  std::unique_ptr<QWidget> window_;
  TColorMemo* memo_ = nullptr;
  bool ok_ = false;
};

double seconds(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e9; }

}  // namespace

int main(int argc, char** argv) {
  // The benchmark needs a display; without one it runs on Qt's offscreen platform.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  double sizeMb = 0;
  bool editeur = true;
  int keys = 50;
  for (const QString& a : QCoreApplication::arguments().mid(1)) {
    if (a == QStringLiteral("--view=memo"))
      editeur = false;
    else if (a == QStringLiteral("--view=editeur"))
      editeur = true;
    else if (a.startsWith(QStringLiteral("--keys=")))
      keys = qMax(1, a.mid(7).toInt());
    else
      sizeMb = a.toDouble();
  }
  if (sizeMb <= 0) {
    std::fprintf(stderr, "usage: bench_open SIZE_MB [--view=editeur|memo] [--keys=N]\n");
    return 2;
  }

  QTemporaryDir dir;
  const QString small = dir.filePath(QStringLiteral("petit.xml"));
  const QString large = dir.filePath(QStringLiteral("grand.xml"));
  const QByteArray bytes = generate(qint64(sizeMb * 1024 * 1024));
  if (!dir.isValid() || !writeFile(small, generate(1024)) || !writeFile(large, bytes)) {
    std::fprintf(stderr, "cannot write the documents in %s\n", qPrintable(dir.path()));
    return 1;
  }
  const qsizetype lines = bytes.count("\r\n") + 1;

  // The 1 KiB reference is opened before the timed opening; it adds next to nothing to the peak.
  Opened ref(editeur, small);
  if (!ref.ok()) return 1;

  QElapsedTimer t;
  t.start();
  Opened doc(editeur, large);
  const double openS = seconds(t);
  const long peak = peakKiB();
  if (!doc.ok() || doc.memo()->LineCount() != lines) {
    std::fprintf(stderr, "the document did not open whole (%lld of %lld lines)\n",
                 static_cast<long long>(doc.memo()->LineCount()), static_cast<long long>(lines));
    return 1;
  }

  // Keystrokes alternate between the two documents, so that the load of the machine weighs on
  // both alike; the medians are compared. A few untimed keys first lay out the last lines and
  // fill the glyph caches.
  std::vector<qint64> smallNs, largeNs;
  for (int round = -3; round < keys; ++round) {
    for (Opened* o : {&ref, &doc}) {
      const qint64 ns = Opened::keystrokeNs(o->focusEnd(), round < 0 ? Qt::Key_X : Qt::Key_A);
      if (round >= 0) (o == &ref ? smallNs : largeNs).push_back(ns);
    }
  }
  const auto medianMs = [](std::vector<qint64>& v) {
    std::sort(v.begin(), v.end());
    return double(v[v.size() / 2]) / 1e6;
  };
  const double smallKeyMs = medianMs(smallNs);
  const double keyMs = medianMs(largeNs);

  // What opening is made of, after the peak was read.
  t.restart();
  const textfile::Loaded loaded = textfile::load(large);
  const double loadS = seconds(t);
  t.restart();
  const QStringList all = doc.memo()->Lines();
  const double linesS = seconds(t);
  t.restart();
  const QString text = doc.memo()->Text();
  const double textS = seconds(t);
  // A keystroke that typed nothing would make the figures meaningless.
  if (!loaded.ok || all.size() != doc.memo()->LineCount() ||
      !text.endsWith(QStringLiteral("xxx") + QString(keys, u'a'))) {
    std::fprintf(stderr, "the keystrokes did not all reach the text\n");
    return 1;
  }

  std::printf("%s (%s)\t%g MiB\t%lld\t%.2f\t%ld\t%.3f\t%.3f\t%.2f\t%.2f\t%.3f\t%.3f\n",
              editeur ? "TEditeur::OpenFile" : "TColorMemo::SetText",
              qPrintable(QGuiApplication::platformName()), sizeMb, static_cast<long long>(lines), openS,
              peak / 1024, keyMs, smallKeyMs, keyMs / smallKeyMs, loadS, linesS, textS);
  return 0;
}
