// tovelo-check: the editor's "Vérifier la syntaxe" and "Valider le document" on files, from the
// command line, with the editor's own loading and checking code and its very messages. Each file
// is read as the editor reads it, as bytes, and checked where it lies: no copy of the text is made.
#include <cstdio>

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "Dtd.h"
#include "LineViews.h"
#include "TextFile.h"

namespace {

constexpr int kAllGood = 0;
constexpr int kFault = 1;
constexpr int kError = 2;

constexpr const char* kHelp =
    "Usage : tovelo-check [--valid] FICHIER...\n"
    "Vérifie chaque fichier comme la commande « Vérifier la syntaxe » de Tovelo, ou, avec\n"
    "--valid, comme « Valider le document » (bonne formation puis DTD de la déclaration\n"
    "DOCTYPE ; un fichier SYSTEM relatif est cherché dans le dossier du document, puis dans le\n"
    "dossier courant).\n"
    "Écrit une ligne par fichier : le nom donné, « : » et le message que l'éditeur afficherait.\n"
    "Options :\n"
    "  --valid   valide aussi le document contre sa DTD\n"
    "  --help    affiche cette aide\n"
    "  --        la suite n'est faite que de noms de fichiers\n"
    "Code de sortie : 0 si tous les fichiers sont corrects, 1 si l'un d'eux a une faute,\n"
    "2 si un fichier n'a pas pu être lu ou si les arguments sont incorrects.\n";

void write(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

}  // namespace

int main(int argc, char** argv) {
  bool valid = false;
  bool options = true;
  QStringList files;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (options && arg == u"--") {
      options = false;
    } else if (options && arg == u"--help") {
      write(stdout, QString::fromUtf8(kHelp));
      return kAllGood;
    } else if (options && arg == u"--valid") {
      valid = true;
    } else if (options && arg.startsWith(u'-') && arg.size() > 1) {
      write(stderr, QStringLiteral("tovelo-check : option inconnue « %1 »\n").arg(arg) + QString::fromUtf8(kHelp));
      return kError;
    } else {
      files << arg;
    }
  }
  if (files.isEmpty()) {
    write(stderr, QStringLiteral("tovelo-check : aucun fichier à vérifier\n") + QString::fromUtf8(kHelp));
    return kError;
  }

  int status = kAllGood;
  for (const QString& name : files) {
    // Read as the editor reads a file; the view takes every kind of line break as the editor's
    // loading does, so the breaks are not rewritten first.
    textfile::LoadedBytes loaded = textfile::loadRawBytes(name);
    if (!loaded.ok) {
      std::fflush(stdout);  // keep the report lines and the error in the order of the files
      write(stderr, QStringLiteral("tovelo-check : %1\n").arg(loaded.error));
      status = kError;
      continue;
    }
    const BufferLines lines(std::move(loaded.bytes));
    analysis::Fault fault;
    const QString message =
        analysis::checkReport(lines, valid, analysis::fileDtdLoader(QFileInfo(name).absolutePath()), &fault);
    write(stdout, name + QStringLiteral(": ") + message + u'\n');
    if (fault.code != analysis::kNoFault && status == kAllGood) status = kFault;
  }
  std::fflush(stdout);
  return status;
}
