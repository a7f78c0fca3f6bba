#include "Batch.h"
#include "CheckFiles.h"

namespace {
int run(const QStringList& args) { return checkFiles(args, QStringLiteral("tovelo-batch check")); }
}  // namespace

TOVELO_BATCH_COMMAND("check",
                     "check [--valid] [--no-position] FICHIER...\n"
                     "    « Vérifier la syntaxe » de chaque fichier, ou, avec --valid, « Valider le\n"
                     "    document » ; une ligne par fichier : le nom, « : » et le message de l'éditeur,\n"
                     "    et pour une faute FICHIER:LIGNE:COLONNE: message (sans --no-position).\n"
                     "    (tovelo-check est la forme courte de cette commande.)\n",
                     run)
