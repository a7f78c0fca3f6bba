// The checker shared by tovelo-check and "tovelo-batch check". Each file is read as the editor
// reads it, as bytes, and checked where it lies: no copy of the text is made.
#include "CheckFiles.h"

#include <QByteArray>
#include <QFileInfo>

#include "Dtd.h"
#include "StandardOutput.h"
#include "TextFile.h"

namespace {

constexpr int kAllGood = 0;
constexpr int kFault = 1;
constexpr int kError = 2;

constexpr const char* kHelp =
    "Usage : %1 [--valid] [--no-position] FICHIER...\n"
    "Vérifie chaque fichier comme la commande « Vérifier la syntaxe » de Tovelo, ou, avec\n"
    "--valid, comme « Valider le document » (bonne formation puis DTD de la déclaration\n"
    "DOCTYPE ; un fichier SYSTEM relatif est cherché dans le dossier du document, puis dans le\n"
    "dossier courant).\n"
    "Écrit une ligne par fichier : le nom donné, « : » et le message que l'éditeur afficherait ;\n"
    "pour une faute, le nom est suivi de la ligne et de la colonne où elle se trouve (comptées\n"
    "à partir de 1, la colonne en caractères) : FICHIER:LIGNE:COLONNE: message.\n"
    "Options :\n"
    "  --valid         valide aussi le document contre sa DTD\n"
    "  --no-position   n'écrit pas la ligne et la colonne : FICHIER: message\n"
    "  --help          affiche cette aide\n"
    "  --              la suite n'est faite que de noms de fichiers\n"
    "Code de sortie : 0 si tous les fichiers sont corrects, 1 si l'un d'eux a une faute,\n"
    "2 si un fichier n'a pas pu être lu ou si les arguments sont incorrects.\n";

}  // namespace

int checkFiles(const QStringList& args, const QString& program) {
  const QString help = QString::fromUtf8(kHelp).arg(program);
  bool valid = false;
  bool position = true;
  bool options = true;
  QStringList files;
  for (const QString& arg : args) {
    if (options && arg == u"--") {
      options = false;
    } else if (options && arg == u"--help") {
      writeOut(help);
      return finishOutput(program, kAllGood);
    } else if (options && arg == u"--valid") {
      valid = true;
    } else if (options && arg == u"--no-position") {
      position = false;
    } else if (options && arg.startsWith(u'-') && arg.size() > 1) {
      writeErr(QStringLiteral("%1 : option inconnue « %2 »\n").arg(program, arg) + help);
      return kError;
    } else {
      files << arg;
    }
  }
  if (files.isEmpty()) {
    writeErr(QStringLiteral("%1 : aucun fichier à vérifier\n").arg(program) + help);
    return kError;
  }

  int status = kAllGood;
  for (const QString& name : files) {
    // Read as the editor reads a file; the lines take every kind of line break as the editor's
    // loading does, so the breaks are not rewritten first.
    textfile::LoadedBytes loaded = textfile::loadRawBytes(name);
    if (!loaded.ok) {
      writeErr(QStringLiteral("%1 : %2\n").arg(program, loaded.error));
      status = kError;
      continue;
    }
    analysis::Fault fault;
    analysis::LineColumn place;
    const QString message = analysis::checkBytes(
        loaded.bytes, valid, analysis::fileDtdLoader(QFileInfo(name).absolutePath()), &fault, &place);
    QString where;
    if (position && fault.code != analysis::kNoFault) where = QStringLiteral(":%1:%2").arg(place.line).arg(place.column);
    writeOut(name + where + QStringLiteral(": ") + message + u'\n');
    if (fault.code != analysis::kNoFault && status == kAllGood) status = kFault;
  }
  return finishOutput(program, status);
}
