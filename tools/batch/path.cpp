#include <QRegularExpression>

#include "Batch.h"
#include "TagIndex.h"
#include "TextDocument.h"

namespace {

int run(const QStringList& given) {
  QStringList args = given;
  if (!args.isEmpty() && args.first() == u"--") args.removeFirst();
  else if (const QString option = batch::firstOption(args); !option.isEmpty())
    return batch::usageError("path", QStringLiteral("option inconnue : %1").arg(option));
  if (args.size() != 2) return batch::usageError("path", QStringLiteral("un fichier et LIGNE:COLONNE attendus"));
  static const QRegularExpression place(QStringLiteral("^(\\d{1,18}):(\\d{1,18})$"));
  const QRegularExpressionMatch m = place.match(args[1]);
  if (!m.hasMatch() || m.captured(1).toLongLong() < 1 || m.captured(2).toLongLong() < 1)
    return batch::usageError("path", QStringLiteral("LIGNE:COLONNE attendu (à partir de 1), pas « %1 »").arg(args[1]));
  TextStore text;
  QString error;
  if (!batch::loadDocument(args[0], text, error)) return batch::failure(error);
  // A script is told of a place outside the document rather than given another one.
  const int64_t line = m.captured(1).toLongLong() - 1, column = m.captured(2).toLongLong() - 1;
  if (line >= text.lineCount())
    return batch::failure(QStringLiteral("%1 : le document n'a pas de ligne %2").arg(args[0], m.captured(1)));
  if (column > text.lineLength(line))
    return batch::failure(QStringLiteral("%1 : la ligne %2 n'a pas de colonne %3")
                              .arg(args[0], m.captured(1), m.captured(2)));
  markup::TagIndex index(text);
  batch::out(markup::xpathText(index.elementPath(lineColumnToPosition(text, line, column))) + u'\n');
  return batch::kDone;
}

}  // namespace

TOVELO_BATCH_COMMAND("path",
                     "path FICHIER LIGNE:COLONNE\n"
                     "    Le chemin XPath des éléments qui contiennent cette place (lignes et colonnes\n"
                     "    à partir de 1, colonnes en caractères), comme « Copier le chemin XPath » :\n"
                     "    /liste/fiche[3]/nom ; « / » hors de tout élément. Dans un document mal\n"
                     "    formé, le chemin tant que les balises s'emboîtent.\n",
                     run, 1.5)
