#pragma once
// Handing a document to the desktop's default program for it (the web browser for XML).
#include <QString>

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Opens the file with the desktop's default program; false when nothing could be started.
  virtual bool openDocument(const QString& path) = 0;

  static Desktop& get();
  static Desktop* install(Desktop* d);  // not owned; nullptr restores the real desktop
};

// The parameter text given to the browser: a double quote, "FILE:///", the path, a double
// quote, with every backslash turned into "/".
QString browserParameter(const QString& path);
