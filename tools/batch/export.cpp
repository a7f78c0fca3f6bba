#include "Batch.h"
#include "StoreText.h"
#include "Exchange.h"
#include "FileName.h"

#include <QFileInfo>

namespace {

int run(const QStringList& arguments) {
  QStringList args = arguments;
  QString outPath, error;
  if (!batch::takeOutput(args, outPath, error)) return batch::usageError("export", error);
  const bool text = args.removeAll(QStringLiteral("--text")) > 0;
  const bool html = args.removeAll(QStringLiteral("--html")) > 0;
  if (text == html)
    return batch::usageError("export", QStringLiteral("choisir --text ou --html"));
  for (const QString& a : args)
    if (a.startsWith(u'-') && a.size() > 1)
      return batch::usageError("export", QStringLiteral("option inconnue « %1 »").arg(a));
  if (args.size() != 1) return batch::usageError("export", QStringLiteral("attendu : un fichier"));
  // As the editor's "Exporter...", which does nothing for a document not named ".xml".
  if (!args[0].toLower().contains(QLatin1String(".xml"))) return batch::kDone;

  TextStore document;
  if (!batch::loadDocument(args[0], document, error)) return batch::failure(error);
  const std::unique_ptr<TextLines> lines = document.lines();
  if (text) return batch::writeDocument(exchange::Exportetxt(*lines), outPath);
  // The page's title is the document's name as the editor holds it, a full path.
  const std::string title = storetext::encode(filename::display(QFileInfo(args[0]).absoluteFilePath()));
  return batch::writeDocument(exchange::ExporteHtm(*lines, title), outPath);
}

}  // namespace

TOVELO_BATCH_COMMAND("export",
                     "export (--text | --html) [-o SORTIE] FICHIER\n"
                     "    « Exporter... » : le texte du document sans son balisage, en texte (les\n"
                     "    références des lettres accentuées redevenues lettres) ou en page HTML. Rien pour\n"
                     "    un nom sans « .xml ».\n",
                     run, 2)
