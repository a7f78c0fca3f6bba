#include "Batch.h"
#include "FtpTransfer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

int run(const QStringList& arguments) {
  QStringList args = arguments;
  bool passive = false;
  QString host, port = QStringLiteral("21"), user, passwordFile;
  QStringList paths;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    QString* value = a == u"--host" ? &host : a == u"--port" ? &port : a == u"--user" ? &user
                   : a == u"--password-file" ? &passwordFile : nullptr;
    if (a == u"--passive") {
      passive = true;
    } else if (value) {
      if (i + 1 >= args.size()) return batch::usageError("upload", QStringLiteral("%1 attend une valeur").arg(a));
      *value = args[++i];
    } else if (a.startsWith(u'-') && a.size() > 1) {
      return batch::usageError("upload", QStringLiteral("option inconnue « %1 »").arg(a));
    } else {
      paths << a;
    }
  }
  if (host.isEmpty() || user.isEmpty() || passwordFile.isEmpty())
    return batch::usageError("upload", QStringLiteral("--host, --user et --password-file sont obligatoires"));
  if (paths.isEmpty() || paths.size() > 2)
    return batch::usageError("upload", QStringLiteral("attendu : le fichier ou dossier local, puis le dossier distant"));
  bool portOk = false;
  const uint portNumber = port.toUInt(&portOk);
  if (!portOk || portNumber == 0 || portNumber > 65535)
    return batch::usageError("upload", QStringLiteral("« %1 » n'est pas un port").arg(port));
  QFile secret(passwordFile);
  if (!secret.open(QIODevice::ReadOnly))
    return batch::usageError("upload", QStringLiteral("mot de passe illisible dans « %1 »").arg(passwordFile));
  // The first line only: an editor's final line break is not part of the password.
  QByteArray password = secret.readLine(4096);
  while (password.endsWith('\n') || password.endsWith('\r')) password.chop(1);
  const QFileInfo local(paths[0]);
  if (!local.exists())
    return batch::usageError("upload", QStringLiteral("« %1 » n'existe pas").arg(paths[0]));

  int argc = 1;
  char name[] = "tovelo-batch";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  TFtpClient ftp;
  FtpTransfer transfer(ftp);
  transfer.passive = passive;
  transfer.log = [](const QString& line) { batch::err(line + u'\n'); };
  ftp.SetTimeout(15);
  ftp.SetHostName(host);
  ftp.SetPort(port);
  ftp.SetUserName(user);
  ftp.SetPassWord(QString::fromUtf8(password));
  ftp.SetDisplayFileFlag(true);

  int status = batch::kDone;
  try {
    ftp.StartConnect();
    transfer.Delay();
    if (transfer.Reponse != u"Ok") {
      batch::err(QStringLiteral("tovelo-batch upload : connexion impossible à %1\n").arg(host));
      return batch::kFault;
    }
    if (paths.size() == 2 && !transfer.ChHost(paths[1])) {
      batch::err(QStringLiteral("tovelo-batch upload : dossier distant « %1 » inaccessible\n").arg(paths[1]));
      status = batch::kFault;
    } else {
      transfer.TailleCourante = local.isDir() ? 0 : local.size();
      if (local.isDir())
        transfer.SendFolder(local.absoluteFilePath());
      else
        transfer.SendFile(QString(), local.absoluteFilePath());
      if (transfer.failures > 0) status = batch::kFault;
    }
  } catch (const std::exception& e) {
    batch::err(QStringLiteral("tovelo-batch upload : ") + QString::fromUtf8(e.what()) + u'\n');
    status = batch::kFault;
  }
  if (ftp.IsConnected()) ftp.QuitAndWait();
  return status;
}

}  // namespace

TOVELO_BATCH_COMMAND("upload",
                     "upload [--passive] --host HÔTE [--port PORT] --user USAGER --password-file FICHIER\n"
                     "       LOCAL [DISTANT]\n"
                     "    « Envoyer » de la fenêtre de transfert FTP : envoie le fichier ou tout le\n"
                     "    dossier LOCAL dans le dossier DISTANT (par défaut le dossier d'arrivée),\n"
                     "    en mode texte ou binaire selon l'extension, les dossiers créés au fur et à\n"
                     "    mesure. Le mot de passe est la première ligne de FICHIER. Le dialogue avec\n"
                     "    le serveur s'affiche sur la sortie d'erreur, mot de passe masqué ;\n"
                     "    --passive : mode passif. Code 1 quand un fichier n'est pas arrivé.\n",
                     run)
