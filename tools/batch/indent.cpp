#include <functional>
#include <string>

#include "Batch.h"
#include "Indent.h"
#include "TextFile.h"

namespace {

int run(const QStringList& given) {
  QStringList args = given;
  QString outPath, error;
  if (!batch::takeOutput(args, outPath, error)) return batch::usageError("indent", error);
  if (!args.isEmpty() && args.first() == u"--") args.removeFirst();
  else if (!args.isEmpty() && args.first().startsWith(u'-') && args.first() != u"-")
    return batch::usageError("indent", QStringLiteral("option inconnue : %1").arg(args.first()));
  if (args.size() != 1) return batch::usageError("indent", QStringLiteral("un seul fichier attendu"));
  TextStore text;
  if (!batch::loadDocument(args.first(), text, error)) return batch::failure(error);
  // The result goes out as it is made, to standard output or through the atomic save, which
  // opens the file only once the document is known to nest.
  bool indented = false;
  int status = batch::kDone;
  const auto produce = [&](const std::function<bool(std::string_view)>& piece) {
    bool written = true;
    indented = indent::indentDocument(text, [&](std::string_view s) {
                 if (!written) return;
                 if (outPath.isEmpty()) written = (status = batch::writeDocument(s, {})) == batch::kDone;
                 else written = piece(s);
               }).indented;
    return indented && written;
  };
  if (outPath.isEmpty()) {
    produce({});
  } else if (const QString error = textfile::saveProduced(outPath, text.size(), produce); !error.isEmpty()) {
    return batch::failure(error);
  }
  if (!indented) {
    batch::out(QStringLiteral("Le document contient des erreurs\n"));
    return batch::kFault;
  }
  return status;
}

}  // namespace

TOVELO_BATCH_COMMAND("indent",
                     "indent [-o SORTIE] FICHIER\n"
                     "    Le document après « Indenter le document » : un élément par ligne, une\n"
                     "    tabulation par niveau ; le texte, les commentaires, les sections CDATA,\n"
                     "    les instructions de traitement et la DOCTYPE restent tels quels, comme\n"
                     "    les éléments au contenu mixte et ceux marqués xml:space=\"preserve\".\n"
                     "    Un document dont les balises ne s'emboîtent pas reste tel quel (statut 1).\n",
                     run, 1.3)
