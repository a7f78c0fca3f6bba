#pragma once
// A document window as the main window holds it, and the questions it asks answered.
#include <QApplication>
#include <memory>

#include "BenchSupport.h"
#include "ColorMemo.h"
#include "Editeur.h"
#include "Prompts.h"

namespace bench {

// A benchmark has no one to read the message boxes: the last one is kept, every question gets
// the same answer.
class QuietPrompts : public Prompts {
 public:
  explicit QuietPrompts(Answer confirmAnswer = Answer::No) : confirmAnswer_(confirmAnswer) {}
  void information(QWidget*, const QString& t) override { last = t; }
  void warning(QWidget*, const QString& t) override { last = t; }
  void error(QWidget*, const QString& t) override { last = t; }
  Answer confirm(QWidget*, const QString&) override { return confirmAnswer_; }
  Answer confirmOrCancel(QWidget*, const QString&) override { return Answer::No; }
  QString openFile(QWidget*, const FileRequest&) override { return {}; }
  QString saveFile(QWidget*, const FileRequest&) override { return {}; }
  bool print(QWidget*, QPrinter&) override { return false; }
  bool printerSetup(QWidget*, QPrinter&) override { return false; }
  bool font(QWidget*, QFont&) override { return false; }
  QString last;

 private:
  Answer confirmAnswer_;
};

// Shown, not yet holding a file; kept when closed so that the benchmark owns it.
inline std::unique_ptr<TEditeur> shownEditor(const QString& name = QStringLiteral("bench.xml")) {
  auto w = std::make_unique<TEditeur>(nullptr, name);
  w->setAttribute(Qt::WA_DeleteOnClose, false);
  w->resize(1000, 700);
  w->show();
  return w;
}

// Until what the window started behind it (the tree, the closer's preparation) has come back.
inline void waitBehind(TEditeur* w) {
  while (!w->idleBehind()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  settle();
}

inline QWidget* keyTarget(TEditeur* w) {
  w->activateWindow();
  w->Memo1->FocusText();
  QWidget* f = QApplication::focusWidget();
  return f ? f : w->Memo1;
}

// The caret on the start of the middle line, untimed.
inline void caretToMiddle(TEditeur* w) {
  TColorMemo* m = w->Memo1;
  m->SetSelStart(m->LineStart(m->LineCount() / 2));
  m->ScrollCaret();
  settle();
}

}  // namespace bench
