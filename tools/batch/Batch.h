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
  // Bytes of memory the command needs at its peak per byte of its document (measured with
  // bench/batch-memory): a document is refused before it is read when the free memory is less.
  double peakPerByte = 2;
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
// The same for the command that runs, for code shared by several commands.
int failure(const QString& message);
// "tovelo-batch COMMAND", set by the dispatcher before the command runs.
QString prefix();
void setRunningCommand(const Command* command);

// Reads the file exactly as the editor opens it, weighed against the free memory at the running
// command's peak; false with a French message that names the file.
bool loadDocument(const QString& path, TextStore& text, QString& error);
// Writes a new document as the editor saves it (Windows-1252 bytes, CR LF): to standard output
// when outPath is empty, otherwise through the editor's atomic save. Returns kDone or kError
// (message on standard error).
int writeDocument(std::string_view crlfBytes, const QString& outPath);

// Takes the operands after a "--" out of args: what follows it is never an option, so a text
// or a name may start with "-".
QStringList takeOperandsAfterDashes(QStringList& args);
// The first argument of args that looks like an option (a "-" and more), or an empty string.
QString firstOption(const QStringList& args);

// Splits "-o FILE" (or "--output FILE") out of args; false with a message when -o lacks its file.
bool takeOutput(QStringList& args, QString& outPath, QString& error);

}  // namespace batch

#define TOVELO_BATCH_CONCAT2(a, b) a##b
#define TOVELO_BATCH_CONCAT(a, b) TOVELO_BATCH_CONCAT2(a, b)
#define TOVELO_BATCH_COMMAND(...) \
  static const batch::Registrar TOVELO_BATCH_CONCAT(batchCommand_, __LINE__){batch::Command{__VA_ARGS__}};
