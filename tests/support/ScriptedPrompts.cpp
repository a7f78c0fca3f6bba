#include "ScriptedPrompts.h"

#include <cstring>

#include <QDialog>
#include <QDir>
#include <QPrinter>

namespace {
template <typename T>
T take(std::deque<T>& q, T fallback) {
  if (q.empty()) return fallback;
  T v = q.front();
  q.pop_front();
  return v;
}
}  // namespace

QStringList ScriptedPrompts::messages() const {
  QStringList out;
  for (const QString& entry : log) {
    for (const char* kind : {"information: ", "warning: ", "error: "})
      if (entry.startsWith(QLatin1String(kind))) out << entry.mid(int(strlen(kind)));
  }
  return out;
}

void ScriptedPrompts::information(QWidget*, const QString& text) { log << "information: " + text; }
void ScriptedPrompts::warning(QWidget*, const QString& text) { log << "warning: " + text; }
void ScriptedPrompts::error(QWidget*, const QString& text) { log << "error: " + text; }

Prompts::Answer ScriptedPrompts::confirm(QWidget*, const QString& text) {
  log << "confirm: " + text;
  return take(answers, Answer::No);
}

Prompts::Answer ScriptedPrompts::confirmOrCancel(QWidget*, const QString& text) {
  log << "confirmOrCancel: " + text;
  return take(answers, Answer::Cancel);
}

QString ScriptedPrompts::openFile(QWidget*, const FileRequest& request) {
  log << "open: " + request.fileName;
  requests.push_back(request);
  return take(files, QString());
}

QString ScriptedPrompts::saveFile(QWidget*, const FileRequest& request) {
  log << "save: " + request.fileName;
  requests.push_back(request);
  if (request.selectedFilter) *request.selectedFilter = take(filters, 0);
  return take(files, QString());
}

bool ScriptedPrompts::print(QWidget*, QPrinter& printer) {
  log << QStringLiteral("print: ");
  const bool ok = take(printAnswers, false);
  if (ok) {
    // Tests never reach a real printer.
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printToPdf.isEmpty() ? QDir::temp().filePath(QStringLiteral(
                                                         "tovelo-test-print.pdf"))
                                                   : printToPdf);
  }
  return ok;
}

bool ScriptedPrompts::printerSetup(QWidget*, QPrinter&) {
  log << QStringLiteral("printerSetup: ");
  return take(printAnswers, false);
}

bool ScriptedPrompts::font(QWidget*, QFont& font) {
  log << QStringLiteral("font: ") + font.family();
  if (fonts.empty()) return false;
  font = fonts.front();
  fonts.pop_front();
  return true;
}

int ScriptedPrompts::showModal(QDialog& dialog) {
  log << QStringLiteral("dialog: ") + dialog.windowTitle();
  if (dialogs.empty()) return QDialog::Rejected;
  const std::function<int(QDialog&)> answer = dialogs.front();
  dialogs.pop_front();
  const int code = answer(dialog);
  dialog.done(code);
  return code;
}
