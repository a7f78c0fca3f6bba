#pragma once
// A Prompts stand-in for tests: answers from queues and records every question and message.
#include <deque>
#include <functional>

#include <QStringList>

#include "Desktop.h"
#include "Prompts.h"

class ScriptedPrompts : public Prompts {
 public:
  ScriptedPrompts() { previous_ = Prompts::install(this); }
  ~ScriptedPrompts() override { Prompts::install(previous_); }

  // Every question and message, as "kind: text" (kinds: information, warning, error, confirm,
  // confirmOrCancel, open, save, print, printerSetup, font, dialog).
  QStringList log;

  std::deque<Answer> answers;          // for confirm and confirmOrCancel; empty: Cancel
  std::deque<QString> files;           // for open and save; empty string: cancelled
  std::deque<bool> printAnswers;       // for print and printerSetup; empty: cancelled
  std::deque<FileRequest> requests;    // the file dialogs asked, in order
  std::deque<int> filters;             // the filter chosen, for requests that ask; empty: 0
  QString printToPdf;                  // when set, an accepted print dialog prints to this PDF
  std::deque<QFont> fonts;             // for font: accepted with this font; empty: cancelled
  // For showModal: each fills the dialog's fields and returns its code (QDialog::Accepted...);
  // empty: the dialog is closed as by Escape. The dialog is logged as "dialog: " + its caption.
  std::deque<std::function<int(QDialog&)>> dialogs;

  // The message texts only (information, warning, error), in order.
  QStringList messages() const;

  void information(QWidget*, const QString& text) override;
  void warning(QWidget*, const QString& text) override;
  void error(QWidget*, const QString& text) override;
  Answer confirm(QWidget*, const QString& text) override;
  Answer confirmOrCancel(QWidget*, const QString& text) override;
  QString openFile(QWidget*, const FileRequest& request) override;
  QString saveFile(QWidget*, const FileRequest& request) override;
  bool print(QWidget*, QPrinter& printer) override;
  bool printerSetup(QWidget*, QPrinter& printer) override;
  bool font(QWidget*, QFont& font) override;
  int showModal(QDialog& dialog) override;

 private:
  Prompts* previous_;
};

// A Desktop stand-in that records what would have been opened.
class RecordingDesktop : public Desktop {
 public:
  RecordingDesktop() { previous_ = Desktop::install(this); }
  ~RecordingDesktop() override { Desktop::install(previous_); }
  QStringList opened;
  bool openDocument(const QString& path) override {
    opened << path;
    return true;
  }

 private:
  Desktop* previous_;
};
