#include "Batch.h"

#include <cstdio>

#include <QByteArray>

#include "StandardOutput.h"
#include "TextFile.h"

namespace batch {

namespace {
std::vector<Command>& registry() {
  static std::vector<Command> list;
  return list;
}
const Command* runningCommand = nullptr;
}  // namespace

Registrar::Registrar(const Command& command) { registry().push_back(command); }
const std::vector<Command>& commands() { return registry(); }

void out(const QString& text) { writeOut(text); }
void err(const QString& text) { writeErr(text); }

int usageError(const char* command, const QString& message) {
  err(QStringLiteral("tovelo-batch %1 : %2\n").arg(QString::fromUtf8(command), message));
  return kError;
}

void setRunningCommand(const Command* command) { runningCommand = command; }

QString prefix() {
  return runningCommand
             ? QStringLiteral("tovelo-batch %1").arg(QString::fromUtf8(runningCommand->name))
             : QStringLiteral("tovelo-batch");
}

int failure(const QString& message) {
  err(prefix() + QStringLiteral(" : ") + message + u'\n');
  return kError;
}

bool loadDocument(const QString& path, TextStore& text, QString& error) {
  TextStore::Builder builder;
  error = textfile::readBlocks(
      path, [&builder](std::string_view block) { builder.append(block); },
      runningCommand ? runningCommand->peakPerByte : 2);
  if (!error.isEmpty()) return false;
  text = builder.finish();
  return true;
}

int writeDocument(std::string_view crlfBytes, const QString& outPath) {
  if (outPath.isEmpty()) {
    writeOut(crlfBytes);
    return finishOutput(prefix(), kDone);
  }
  const QString error = textfile::saveBytes(outPath, crlfBytes);
  return error.isEmpty() ? kDone : failure(error);
}

QStringList takeOperandsAfterDashes(QStringList& args) {
  const qsizetype dashes = args.indexOf(QStringLiteral("--"));
  if (dashes < 0) return {};
  const QStringList operands = args.mid(dashes + 1);
  args = args.mid(0, dashes);
  return operands;
}

QString firstOption(const QStringList& args) {
  for (const QString& a : args)
    if (a.startsWith(u'-') && a.size() > 1) return a;
  return {};
}

bool takeOutput(QStringList& args, QString& outPath, QString& error) {
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == u"--") break;
    if (args[i] == u"-o" || args[i] == u"--output") {
      if (i + 1 >= args.size()) {
        error = QStringLiteral("l'option %1 attend un nom de fichier").arg(args[i]);
        return false;
      }
      if (args[i + 1].isEmpty()) {
        error = QStringLiteral("l'option %1 attend un nom de fichier, pas un nom vide").arg(args[i]);
        return false;
      }
      outPath = args[i + 1];
      args.remove(i, 2);
      --i;
    }
  }
  return true;
}

}  // namespace batch
