#pragma once
// A document window's host that keeps what the window shows on the status line.
#include <QStringList>

#include "DocumentHost.h"

class StatusHost : public DocumentHost {
 public:
  QStringList status;
  void setRedoEnabled(bool) override {}
  void enablePaste() override {}
  void showStatus(const QString& text) override { status << text; }
  void sourceViewCommand() override {}
};
