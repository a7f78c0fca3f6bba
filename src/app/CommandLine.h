#pragma once
// What the editor's command line asks for: files to open, or its help or version on standard
// output. QtCore only, so the parsing is tested without a window.
#include <QString>
#include <QStringList>

struct CommandLine {
  enum class Action { Open, Help, Version, Error };
  Action action = Action::Open;
  QStringList files;  // absolute paths, in the order given (a name given twice stays twice)
  QString error;      // for Error: the French message, ending with a line break
};

// args: the arguments after the program's name, Qt's own options already taken out; relative
// names are taken from folder. "--" ends the options. Help and version win over a bad option.
CommandLine parseCommandLine(const QStringList& args, const QString& folder);

QString commandLineHelp();
QString commandLineVersion();
