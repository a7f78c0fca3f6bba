#pragma once
// The real dialogs of the desktop, in French.
#include "Prompts.h"

class QtPrompts final : public Prompts {
 public:
  void information(QWidget* parent, const QString& text) override;
  void warning(QWidget* parent, const QString& text) override;
  void error(QWidget* parent, const QString& text) override;
  Answer confirm(QWidget* parent, const QString& text) override;
  Answer confirmOrCancel(QWidget* parent, const QString& text) override;
  QString openFile(QWidget* parent, const FileRequest& request) override;
  QString saveFile(QWidget* parent, const FileRequest& request) override;
  bool print(QWidget* parent, QPrinter& printer) override;
  bool printerSetup(QWidget* parent, QPrinter& printer) override;
  bool font(QWidget* parent, QFont& font) override;
};
