#include "Batch.h"
#include "StoreText.h"
#include "Exchange.h"
#include "TextFile.h"

namespace {

std::string bytesOf(const QString& s) {
  return storetext::encode(s);
}

int run(const QStringList& arguments) {
  QStringList args = arguments;
  QString outPath, error;
  if (!batch::takeOutput(args, outPath, error)) return batch::usageError("import", error);
  std::string record = "Enregistrement";
  std::vector<std::string> fields;
  for (int i = 0; i < args.size();) {
    const QString& a = args[i];
    if (a == u"--record" || a == u"--field") {
      if (i + 1 >= args.size())
        return batch::usageError("import", QStringLiteral("l'option %1 attend un nom").arg(a));
      (a == u"--record" ? record : fields.emplace_back()) = bytesOf(args[i + 1]);
      args.remove(i, 2);
    } else if (a.startsWith(u'-') && a.size() > 1) {
      return batch::usageError("import", QStringLiteral("option inconnue « %1 »").arg(a));
    } else {
      ++i;
    }
  }
  if (args.size() != 2)
    return batch::usageError("import", QStringLiteral("attendu : le fichier délimité et le document"));

  const textfile::LoadedBytes tsv = textfile::loadBytes(args[0]);
  if (!tsv.ok) return batch::failure(tsv.error);
  TextStore document;
  if (!batch::loadDocument(args[1], document, error)) return batch::failure(error);
  const exchange::Insertion at =
      exchange::recordsInsertion(document, exchange::readRecords(tsv.bytes), fields, record);
  document.replace(at.position, 0, at.bytes);
  return batch::writeDocument(document.text(), outPath);
}

}  // namespace

TOVELO_BATCH_COMMAND("import",
                     "import [--record NOM] [--field NOM]... [-o SORTIE] DELIMITE FICHIER\n"
                     "    « Importer... » : le document avec un élément NOM (« Enregistrement » par\n"
                     "    défaut) par ligne du fichier délimité par des tabulations, et dans chacun un\n"
                     "    élément par champ ; le k-ième --field nomme la k-ième colonne (sinon\n"
                     "    « champ » et son numéro depuis 0).\n",
                     run, 2.5)
