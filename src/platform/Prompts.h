#pragma once
// The one place where a command meets a modal question: message boxes, file, print and font
// dialogs. The application installs the Qt dialogs; tests install a scripted stand-in that
// answers and records every question, so each command runs end to end without a window.
#include <QFont>
#include <QString>

class QDialog;
class QPrinter;
class QWidget;

class Prompts {
 public:
  enum class Answer { Yes, No, Cancel };

  // What a file dialog is asked for; the filter in the "Label|*.ext|Label|*.ext" form.
  struct FileRequest {
    QString title;
    QString filter;
    QString defaultSuffix;  // without the dot, "xml"
    QString fileName;       // initial file name shown in the dialog
    QString directory;      // folder the dialog starts in; empty: the current directory
    // When set, receives the index (from 0) of the filter chosen, and the default suffix follows
    // the chosen filter's extension.
    int* selectedFilter = nullptr;
  };

  virtual ~Prompts() = default;

  virtual void information(QWidget* parent, const QString& text) = 0;
  virtual void warning(QWidget* parent, const QString& text) = 0;
  // A failure of the platform (a file that cannot be read or written).
  virtual void error(QWidget* parent, const QString& text) = 0;
  virtual Answer confirm(QWidget* parent, const QString& text) = 0;          // Yes, No
  virtual Answer confirmOrCancel(QWidget* parent, const QString& text) = 0;  // Yes, No, Cancel

  // Full path chosen, or an empty string when cancelled.
  virtual QString openFile(QWidget* parent, const FileRequest& request) = 0;
  virtual QString saveFile(QWidget* parent, const FileRequest& request) = 0;

  // True when the user accepted; the printer then holds the chosen settings.
  virtual bool print(QWidget* parent, QPrinter& printer) = 0;
  virtual bool printerSetup(QWidget* parent, QPrinter& printer) = 0;
  virtual bool font(QWidget* parent, QFont& font) = 0;
  // Shows one of the program's own modal dialogs; returns its QDialog::DialogCode. Tests answer
  // the dialog here instead of through a nested event loop.
  virtual int showModal(QDialog& dialog);

  // The installed instance (the Qt dialogs unless something else was installed).
  static Prompts& get();
  // Installs p (not owned) and returns the previous one; nullptr restores the Qt dialogs.
  static Prompts* install(Prompts* p);

  // The shared printer that the print and printer set-up dialogs configure.
  static QPrinter& printer();

  // Turns "Fichiers xml (*.xml)|*.xml|..." into Qt's "Fichiers xml (*.xml);;..." form.
  static QString qtFilter(const QString& pipeFilter);
};
