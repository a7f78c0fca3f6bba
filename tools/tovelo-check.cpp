// tovelo-check: the editor's "Vérifier la syntaxe" and "Valider le document" on files, from the
// command line, with the editor's own loading and checking code and its very messages.
#include <cstdio>

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include "Dtd.h"
#include "TextFile.h"

namespace {

constexpr int kTousBons = 0;
constexpr int kFaute = 1;
constexpr int kErreur = 2;

constexpr const char* kAide =
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

void ecrit(std::FILE* flux, const QString& texte) {
  const QByteArray octets = texte.toUtf8();
  std::fwrite(octets.constData(), 1, size_t(octets.size()), flux);
}

}  // namespace

int main(int argc, char** argv) {
  bool valid = false;
  bool options = true;
  QStringList fichiers;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (options && arg == u"--") {
      options = false;
    } else if (options && arg == u"--help") {
      ecrit(stdout, QString::fromUtf8(kAide));
      return kTousBons;
    } else if (options && arg == u"--valid") {
      valid = true;
    } else if (options && arg.startsWith(u'-') && arg.size() > 1) {
      ecrit(stderr, QStringLiteral("tovelo-check : option inconnue « %1 »\n").arg(arg) + QString::fromUtf8(kAide));
      return kErreur;
    } else {
      fichiers << arg;
    }
  }
  if (fichiers.isEmpty()) {
    ecrit(stderr, QStringLiteral("tovelo-check : aucun fichier à vérifier\n") + QString::fromUtf8(kAide));
    return kErreur;
  }

  int statut = kTousBons;
  for (const QString& nom : fichiers) {
    const textfile::Loaded charge = textfile::load(nom);
    if (!charge.ok) {
      std::fflush(stdout);  // keep the report lines and the error in the order of the files
      ecrit(stderr, QStringLiteral("tovelo-check : %1\n").arg(charge.error));
      statut = kErreur;
      continue;
    }
    const QStringList lignes = textfile::splitLines(charge.text);
    analyse::Faute faute;
    const QString message = analyse::rapportValider(
        lignes, valid, analyse::chargeurFichiers(QFileInfo(nom).absolutePath()), &faute);
    ecrit(stdout, nom + QStringLiteral(": ") + message + u'\n');
    if (faute.code != analyse::kAucuneFaute && statut == kTousBons) statut = kFaute;
  }
  std::fflush(stdout);
  return statut;
}
