// tovelo-batch COMMAND [OPTIONS] FILE...: the dispatcher. The commands register themselves.
#include <QString>
#include <QStringList>

#include <new>
#include <string>

#include "Batch.h"
#include "FileName.h"
#include "StandardOutput.h"

namespace {

QString help() {
  QString text = QStringLiteral(
      "Usage : tovelo-batch COMMANDE [OPTIONS] FICHIER...\n"
      "Exécute les commandes de document de Tovelo sur des fichiers, lus comme l'éditeur les ouvre.\n"
      "Un document produit est écrit sur la sortie standard comme l'éditeur l'enregistrerait\n"
      "(Windows-1252, fins de ligne CR LF), ou dans le fichier donné par -o FICHIER.\n"
      "Code de sortie : 0 fait, rien d'anormal ; 1 le document a une faute (message de l'éditeur\n"
      "sur la sortie standard) ; 2 arguments incorrects, fichier illisible, sortie impossible\n"
      "à écrire ou mémoire insuffisante (message sur la sortie d'erreur).\n"
      "\nCommandes :\n");
  for (const batch::Command& command : batch::commands())
    text += QStringLiteral("  ") + QString::fromUtf8(command.help).replace(u'\n', QStringLiteral("\n  "))
                                         .chopped(2);
  text += QStringLiteral("\n  --help\n      affiche cette aide\n");
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList args;
  // Names are the file system's bytes, UTF-8 or not.
  for (int i = 1; i < argc; ++i) args << filename::fromNative(argv[i]);
  if (args.isEmpty()) {
    batch::err(QStringLiteral("tovelo-batch : commande attendue\n") + help());
    return batch::kError;
  }
  const QString name = args.takeFirst();
  if (name == u"--help" || name == u"-h" || name == u"aide") {
    batch::out(help());
    return finishOutput(QStringLiteral("tovelo-batch"), batch::kDone);
  }
  for (const batch::Command& command : batch::commands()) {
    if (name != QString::fromUtf8(command.name)) continue;
    batch::setRunningCommand(&command);
    int status = batch::kError;
    try {
      status = command.run(args);
    } catch (const std::bad_alloc&) {
      // Files are only ever replaced whole at the end, so nothing was written.
      const std::string prefix = std::string("tovelo-batch ") + command.name;
      reportOutOfMemory(prefix.c_str());
      return batch::kError;
    }
    return finishOutput(batch::prefix(), status);
  }
  batch::err(QStringLiteral("tovelo-batch : commande inconnue « %1 »\n").arg(name) + help());
  return batch::kError;
}
