#pragma once
// tovelo-batch: the editor's document commands on files, for scripts. Each command lives in a
// file of its own in this folder and registers itself with TOVELO_BATCH_COMMAND, so commands are
// added without touching the dispatcher.
#include <string_view>
#include <vector>

#include <QString>
#include <QStringList>

#include "TextStore.h"

namespace batch {

constexpr int kDone = 0;   // done, nothing found wrong
constexpr int kFault = 1;  // the document has a fault (the editor's message on standard output)
constexpr int kError = 2;  // bad arguments or an unreadable file

struct Command {
  const char* name;
  // French help: the usage line(s) after "tovelo-batch", then what the command does; shown by
  // --help in registration order, one block a command.
  const char* help;
  // The arguments after the command's name; returns the exit status.
  int (*run)(const QStringList& args);
};

struct Registrar {
  explicit Registrar(const Command& command);
};
const std::vector<Command>& commands();

// Reports in the terminal's encoding (UTF-8).
void out(const QString& text);
void err(const QString& text);
// "tovelo-batch COMMAND : MESSAGE" on standard error, then kError.
int usageError(const char* command, const QString& message);

// Reads the file exactly as the editor opens it; false with a French message that names the file.
bool loadDocument(const QString& path, TextStore& text, QString& error);
// Writes a new document as the editor saves it (Windows-1252 bytes, CR LF): to standard output
// when outPath is empty, otherwise through the editor's atomic save. Returns kDone or kError
// (message on standard error).
int writeDocument(std::string_view crlfBytes, const QString& outPath);

// Splits "-o FILE" (or "--output FILE") out of args; false with a message when -o lacks its file.
bool takeOutput(QStringList& args, QString& outPath, QString& error);

}  // namespace batch

#define TOVELO_BATCH_CONCAT2(a, b) a##b
#define TOVELO_BATCH_CONCAT(a, b) TOVELO_BATCH_CONCAT2(a, b)
#define TOVELO_BATCH_COMMAND(...) \
  static const batch::Registrar TOVELO_BATCH_CONCAT(batchCommand_, __LINE__){batch::Command{__VA_ARGS__}};
