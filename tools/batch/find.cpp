#include "Batch.h"
#include "SearchArgs.h"

namespace {

int run(const QStringList& arguments) {
  QStringList args = arguments;
  const QStringList operands = batch::takeOperandsAfterDashes(args);
  const SearchOptions o = batch::takeSearchOptions(args);
  qint64 from = -1;
  const int f = args.indexOf(QStringLiteral("--from"));
  if (f >= 0) {
    bool ok = false;
    from = f + 1 < args.size() ? args[f + 1].toLongLong(&ok) : -1;
    if (!ok || from < 0)
      return batch::usageError("find", QStringLiteral("--from attend une position (un entier positif ou nul)"));
    args.remove(f, 2);
  }
  if (const QString a = batch::firstOption(args); !a.isEmpty())
    return batch::usageError("find", QStringLiteral("option inconnue « %1 »").arg(a));
  args += operands;
  if (args.size() != 2)
    return batch::usageError("find", QStringLiteral("attendu : le texte cherché et un fichier"));

  TextStore text;
  QString error;
  if (!batch::loadDocument(args[1], text, error)) return batch::failure(error);
  // Successive "Suivant": each search starts from the match it selected.
  const std::string s = batch::dialogText(args[0]);
  int64_t selStart = from >= 0 ? from : (o.down ? 0 : text.size());
  int64_t selLength = 0;
  int64_t found = 0;
  QString lines;
  while (const std::optional<int64_t> p = ChercheTampon(text, selStart, selLength, s, o)) {
    lines += QString::number(*p) + u'\n';
    if (lines.size() > 1 << 16) {
      batch::out(lines);
      lines.clear();
    }
    selStart = *p;
    selLength = int64_t(s.size());
    ++found;
  }
  batch::out(lines);
  if (found > 0) return batch::kDone;
  batch::out(QStringLiteral("Chaîne rechechée \"") + args[0] + QStringLiteral("\" non trouvée\n"));
  return batch::kFault;
}

}  // namespace

TOVELO_BATCH_COMMAND("find",
                     "find [--up] [--case] [--word] [--from POS] [--] TEXTE FICHIER\n"
                     "    « Rechercher » puis « Suivant » jusqu'au bout : la position dans le texte\n"
                     "    (les fins de ligne comptent deux caractères) de chaque occurrence\n"
                     "    sélectionnée, une par ligne, depuis POS (par défaut le début, ou la fin avec\n"
                     "    --up). --up : vers le haut ; --case : respecter la casse ; --word : mot\n"
                     "    entier ; après --, un texte peut commencer par « - ». Aucune occurrence : le\n"
                     "    message de l'éditeur et le code 1.\n",
                     run, 1.5)
