#include "CommandLine.h"

#include <QDir>

#ifndef TOVELO_VERSION
#define TOVELO_VERSION "2.0"
#endif

CommandLine parseCommandLine(const QStringList& args, const QString& folder) {
  CommandLine result;
  bool options = true;
  bool help = false;
  bool version = false;
  QString unknown;
  const QDir base(folder);
  for (const QString& arg : args) {
    if (options && arg == u"--") {
      options = false;
    } else if (options && (arg == u"--help" || arg == u"-h")) {
      help = true;
    } else if (options && (arg == u"--version" || arg == u"-v")) {
      version = true;
    } else if (options && arg.startsWith(u'-') && arg.size() > 1) {
      if (unknown.isEmpty()) unknown = arg;
    } else {
      result.files << QDir::cleanPath(base.absoluteFilePath(arg));
    }
  }
  if (help) {
    result.action = CommandLine::Action::Help;
  } else if (version) {
    result.action = CommandLine::Action::Version;
  } else if (!unknown.isEmpty()) {
    result.action = CommandLine::Action::Error;
    result.error = QStringLiteral(
                       "tovelo : option inconnue « %1 »\n"
                       "Essayez « tovelo --help » ; un nom de fichier qui commence par « - » "
                       "se donne après « -- ».\n")
                       .arg(unknown);
  }
  if (result.action != CommandLine::Action::Open) result.files.clear();
  return result;
}

QString commandLineHelp() {
  return QStringLiteral(
      "Usage : tovelo [OPTION]... [--] [FICHIER]...\n"
      "Éditeur de documents XML, de DTD et de feuilles de style CSS et XSL.\n"
      "\n"
      "Ouvre chaque FICHIER dans une fenêtre de document, comme la commande « Ouvrir » du menu\n"
      "Fichier. Si Tovelo est déjà lancé dans votre session, les fichiers s'ouvrent dans\n"
      "l'éditeur en cours, qui passe au premier plan ; un nom relatif est pris dans le dossier\n"
      "courant de la commande.\n"
      "\n"
      "Options :\n"
      "  -h, --help      affiche cette aide et quitte\n"
      "  -v, --version   affiche la version et quitte\n"
      "  --              la suite n'est faite que de noms de fichiers, même commençant par « - »\n"
      "\n"
      "Voir aussi : tovelo-batch(1), tovelo-check(1).\n");
}

QString commandLineVersion() {
  return QStringLiteral("Tovelo version %1\n").arg(QLatin1String(TOVELO_VERSION));
}
