#include "QtPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>

namespace {

QString caption() { return QApplication::applicationDisplayName(); }

// Messages quote tag keys such as "<a>", which a rich-text box would swallow as markup.
int ask(QWidget* parent, QMessageBox::Icon icon, const QString& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton byDefault) {
  QMessageBox box(icon, caption(), text, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(byDefault);
  return box.exec();
}

Prompts::Answer toAnswer(int button) {
  switch (button) {
    case QMessageBox::Yes: return Prompts::Answer::Yes;
    case QMessageBox::No: return Prompts::Answer::No;
    default: return Prompts::Answer::Cancel;
  }
}

QString runFileDialog(QWidget* parent, const Prompts::FileRequest& r, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, r.title);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setNameFilter(Prompts::qtFilter(r.filter));
  dialog.setDefaultSuffix(r.defaultSuffix);
  dialog.setDirectory(r.directory.isEmpty() ? QDir::currentPath() : r.directory);
  if (!r.fileName.isEmpty() && !r.fileName.contains(u'*')) dialog.selectFile(r.fileName);
  // The file dialogs of the description change the current directory; later relative names
  // (a wizard document's bare file name) are resolved against it.
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().constFirst();
  QDir::setCurrent(QFileInfo(chosen).absolutePath());
  return chosen;
}

}  // namespace

void QtPrompts::information(QWidget* parent, const QString& text) {
  ask(parent, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::warning(QWidget* parent, const QString& text) {
  ask(parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompts::error(QWidget* parent, const QString& text) {
  ask(parent, QMessageBox::Critical, text, QMessageBox::Ok, QMessageBox::Ok);
}

Prompts::Answer QtPrompts::confirm(QWidget* parent, const QString& text) {
  return toAnswer(ask(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::Yes));
}

Prompts::Answer QtPrompts::confirmOrCancel(QWidget* parent, const QString& text) {
  return toAnswer(ask(parent, QMessageBox::Question, text,
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes));
}

QString QtPrompts::openFile(QWidget* parent, const FileRequest& request) {
  return runFileDialog(parent, request, QFileDialog::AcceptOpen);
}

QString QtPrompts::saveFile(QWidget* parent, const FileRequest& request) {
  return runFileDialog(parent, request, QFileDialog::AcceptSave);
}

bool QtPrompts::print(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  return dialog.exec() == QDialog::Accepted;
}

bool QtPrompts::printerSetup(QWidget* parent, QPrinter& printer) {
  QPageSetupDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool QtPrompts::font(QWidget* parent, QFont& font) {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font, parent);
  if (ok) font = chosen;
  return ok;
}
