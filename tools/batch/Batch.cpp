#include "Batch.h"

#include <cstdio>

#include <QByteArray>

#include "TextFile.h"

namespace batch {

namespace {
std::vector<Command>& registry() {
  static std::vector<Command> list;
  return list;
}
void write(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}
}  // namespace

Registrar::Registrar(const Command& command) { registry().push_back(command); }
const std::vector<Command>& commands() { return registry(); }

void out(const QString& text) { write(stdout, text); }
void err(const QString& text) {
  std::fflush(stdout);  // keep reports and errors in the order they happened
  write(stderr, text);
}

int usageError(const char* command, const QString& message) {
  err(QStringLiteral("tovelo-batch %1 : %2\n").arg(QString::fromUtf8(command), message));
  return kError;
}

bool loadDocument(const QString& path, TextStore& text, QString& error) {
  TextStore::Builder builder;
  error = textfile::readBlocks(path, [&builder](std::string_view block) { builder.append(block); });
  if (!error.isEmpty()) return false;
  text = builder.finish();
  return true;
}

int writeDocument(std::string_view crlfBytes, const QString& outPath) {
  if (outPath.isEmpty()) {
    if (std::fwrite(crlfBytes.data(), 1, crlfBytes.size(), stdout) != crlfBytes.size() ||
        std::fflush(stdout) != 0) {
      err(QStringLiteral("tovelo-batch : impossible d'écrire sur la sortie standard\n"));
      return kError;
    }
    return kDone;
  }
  const QString error = textfile::saveBytes(outPath, crlfBytes);
  if (!error.isEmpty()) {
    err(QStringLiteral("tovelo-batch : %1\n").arg(error));
    return kError;
  }
  return kDone;
}

bool takeOutput(QStringList& args, QString& outPath, QString& error) {
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == u"--") break;
    if (args[i] == u"-o" || args[i] == u"--output") {
      if (i + 1 >= args.size()) {
        error = QStringLiteral("l'option %1 attend un nom de fichier").arg(args[i]);
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
