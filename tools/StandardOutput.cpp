#include "StandardOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <QByteArray>

#include "FileName.h"
#include "SystemError.h"

namespace {

// The reason of the first failed write to standard output, kept until the end.
int outputErrno = 0;
bool lossReported = false;

void writeTo(std::FILE* stream, std::string_view bytes) {
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stream) != bytes.size() && stream == stdout &&
      outputErrno == 0)
    outputErrno = errno != 0 ? errno : EIO;
}

}  // namespace

void writeOut(std::string_view bytes) { writeTo(stdout, bytes); }

// A name that is not UTF-8 is shown decoded, as everywhere in the program.
void writeOut(const QString& text) {
  const QByteArray bytes = filename::display(text).toUtf8();
  writeTo(stdout, std::string_view(bytes.constData(), size_t(bytes.size())));
}

void writeErr(const QString& text) {
  std::fflush(stdout);
  const QByteArray bytes = filename::display(text).toUtf8();
  writeTo(stderr, std::string_view(bytes.constData(), size_t(bytes.size())));
}

int finishOutput(const QString& prefix, int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (!flushed && outputErrno == 0) outputErrno = errno != 0 ? errno : EIO;
  if (flushed && !std::ferror(stdout)) return status;
  if (std::exchange(lossReported, true)) return 2;
  if (outputErrno == 0) outputErrno = EIO;
  writeErr(QStringLiteral("%1 : impossible d'écrire sur la sortie standard (%2)\n")
               .arg(prefix, systemErrorText(outputErrno)));
  return 2;
}

void reportOutOfMemory(const char* prefix) {
  std::fflush(stdout);
  static const char kMessage[] =
      " : mémoire insuffisante pour traiter ce document ; aucun fichier n'a été modifié\n";
  std::fwrite(prefix, 1, std::strlen(prefix), stderr);
  std::fwrite(kMessage, 1, sizeof kMessage - 1, stderr);
}
