#include <string>

#include "Batch.h"
#include "Indent.h"

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
  // To standard output the result goes as it is made; a file is written whole through the
  // atomic save, so it is gathered first.
  std::string result;
  if (!outPath.isEmpty()) result.reserve(size_t(text.size()) + size_t(text.size()) / 4);
  int status = batch::kDone;
  const auto sink = [&](std::string_view s) {
    if (!outPath.isEmpty()) result.append(s);
    else if (status == batch::kDone) status = batch::writeDocument(s, {});
  };
  if (!indent::indentDocument(text, sink).indented) {
    batch::out(QStringLiteral("Le document contient des erreurs\n"));
    return batch::kFault;
  }
  if (outPath.isEmpty()) return status;
  text = TextStore();  // no longer needed once the result is whole
  return batch::writeDocument(result, outPath);
}

}  // namespace

TOVELO_BATCH_COMMAND("indent",
                     "indent [-o SORTIE] FICHIER\n"
                     "    Le document après « Indenter le document » : un élément par ligne, une\n"
                     "    tabulation par niveau ; le texte, les commentaires, les sections CDATA,\n"
                     "    les instructions de traitement et la DOCTYPE restent tels quels, comme\n"
                     "    les éléments au contenu mixte et ceux marqués xml:space=\"preserve\".\n"
                     "    Un document dont les balises ne s'emboîtent pas reste tel quel (statut 1).\n",
                     run, 2.5)
