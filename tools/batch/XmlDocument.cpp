#include "XmlDocument.h"

#include "Batch.h"
#include "Wellformed.h"

namespace batch {

Loaded loadXmlDocument(const char* command, const QStringList& args, TextStore& text, int& status) {
  QStringList files = args;
  if (!files.isEmpty() && files.first() == u"--") files.removeFirst();
  if (files.size() != 1 || (files.first().startsWith(u'-') && args.first() != u"--")) {
    status = usageError(command, files.isEmpty() ? QStringLiteral("un nom de fichier est attendu")
                                                 : QStringLiteral("un seul nom de fichier est attendu"));
    return Loaded::Done;
  }
  status = kDone;
  if (!files.first().toLower().contains(QLatin1String(".xml"))) return Loaded::Skipped;
  QString error;
  if (!loadDocument(files.first(), text, error)) {
    err(QStringLiteral("tovelo-batch %1 : %2\n").arg(QString::fromUtf8(command), error));
    status = kError;
    return Loaded::Done;
  }
  if (analysis::Valid(*text.lines()).code > 0) {
    out(QStringLiteral("Le document contient des erreurs\n"));
    status = kFault;
    return Loaded::Done;
  }
  return Loaded::Ready;
}

}  // namespace batch
