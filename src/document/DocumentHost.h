#pragma once
// What a document window needs of the main window that holds it.
#include <QString>

class QWidget;

class DocumentHost {
 public:
  virtual ~DocumentHost() = default;
  virtual void setRedoEnabled(bool enabled) = 0;      // the "&Rétablir" menu item
  virtual void enablePaste() = 0;                     // the "C&oller" item and button
  virtual void showStatus(const QString& text) = 0;   // status panel 0
  virtual void sourceViewCommand() = 0;               // the "Vue source" command
  // The element path of the caret in window from, for the status bar while from is active.
  virtual void showElementPath(const QWidget* from, const QString& path) {
    (void)from;
    (void)path;
  }
};
