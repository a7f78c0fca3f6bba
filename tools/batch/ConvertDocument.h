#pragma once
// The shape that encode and decode share: one document in, the converted document out.
#include "Batch.h"

namespace batch {

inline int convertDocument(const char* name, const QStringList& given, std::string (*convert)(const TextStore&)) {
  QStringList args = given;
  QString outPath, error;
  if (!takeOutput(args, outPath, error)) return usageError(name, error);
  if (!args.isEmpty() && args.first() == u"--") args.removeFirst();
  else if (!args.isEmpty() && args.first().startsWith(u'-') && args.first() != u"-")
    return usageError(name, QStringLiteral("option inconnue : %1").arg(args.first()));
  if (args.size() != 1)
    return usageError(name, QStringLiteral("un seul fichier attendu"));
  TextStore text;
  if (!loadDocument(args.first(), text, error)) {
    err(QStringLiteral("tovelo-batch %1 : %2\n").arg(QString::fromUtf8(name), error));
    return kError;
  }
  return writeDocument(convert(text), outPath);
}

}  // namespace batch
