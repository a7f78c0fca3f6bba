#include "Batch.h"
#include "SearchArgs.h"

namespace {

int run(const QStringList& arguments) {
  QStringList args = arguments;
  const QStringList operands = batch::takeOperandsAfterDashes(args);
  QString outPath, error;
  if (!batch::takeOutput(args, outPath, error)) return batch::usageError("replace", error);
  const SearchOptions o = batch::takeSearchOptions(args);
  if (const QString a = batch::firstOption(args); !a.isEmpty())
    return batch::usageError("replace", QStringLiteral("option inconnue « %1 »").arg(a));
  args += operands;
  if (args.size() != 3)
    return batch::usageError(
        "replace", QStringLiteral("attendu : le texte cherché, le texte de remplacement et un fichier"));
  // The dialog's fields hold one line each.
  if (batch::holdsLineBreak(args[0]) || batch::holdsLineBreak(args[1]))
    return batch::usageError("replace",
                             QStringLiteral("les textes cherché et de remplacement tiennent sur une ligne"));

  TextStore text;
  if (!batch::loadDocument(args[2], text, error)) return batch::failure(error);
  const int64_t caret = o.down ? 0 : text.size();
  const ReplaceAllResult r = replaceAll(text, caret, 0, batch::dialogText(args[0]),
                                        batch::dialogText(args[1]), o);
  return batch::writeDocument(r.text.text(), outPath);
}

}  // namespace

TOVELO_BATCH_COMMAND("replace",
                     "replace [--up] [--case] [--word] [-o SORTIE] [--] TEXTE REMPLACEMENT FICHIER\n"
                     "    « Remplacer tout » depuis le début du document (depuis la fin avec --up) :\n"
                     "    le document après les remplacements. Options de « find ».\n",
                     run, 3.5)
