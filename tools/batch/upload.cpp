#include "Batch.h"
#include "FtpTransfer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

int run(const QStringList& arguments) {
  QStringList args = arguments;
  bool passive = false;
  TFtpTlsMode tls = ftpTlsIfOffered;
  QString host, port = QStringLiteral("21"), user, passwordFile, caFile;
  QStringList paths;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    QString* value = a == u"--host" ? &host : a == u"--port" ? &port : a == u"--user" ? &user
                   : a == u"--password-file" ? &passwordFile : a == u"--ca-file" ? &caFile : nullptr;
    if (a == u"--passive") {
      passive = true;
    } else if (a == u"--tls" || a == u"--no-tls") {
      tls = a == u"--tls" ? ftpTlsRequired : ftpTlsNone;
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
  if (!caFile.isEmpty() && !QFileInfo(caFile).isReadable())
    return batch::usageError("upload", QStringLiteral("certificat illisible dans « %1 »").arg(caFile));
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
  ftp.SetTlsMode(tls);
  ftp.SetCaFile(caFile);
  QString refusal;  // why the connection was given up, when it was ours to decide
  ftp.OnTlsRefused = [](TCustomFtpCli*, bool& goOn) {
    goOn = true;
    batch::err(QStringLiteral("tovelo-batch upload : le serveur n'accepte pas le chiffrement : connexion en "
                              "clair, mot de passe compris (--tls pour l'exiger)\n"));
  };
  // A script cannot answer a question: a certificate it was not told to trust is refused.
  ftp.OnCertificateProblem = [&refusal](TCustomFtpCli*, const TFtpCertificateProblem& p, bool& accept) {
    accept = false;
    refusal = QStringLiteral("certificat du serveur refusé : %1 (empreinte SHA-256 %2) ; --ca-file FICHIER pour "
                             "lui faire confiance")
                  .arg(FtpTransfer::frenchCertificateError(p.error, p.reason), p.fingerprint);
  };

  int status = batch::kDone;
  try {
    ftp.StartConnect();
    transfer.Delay();
    if (transfer.Reponse != u"Ok") {
      QString why = transfer.timedOut ? QStringLiteral(" : le serveur ne répond plus") : QString();
      if (!refusal.isEmpty()) why = QStringLiteral(" : ") + refusal;
      else if (tls == ftpTlsRequired && !ftp.Encrypted() && !transfer.timedOut)
        why = QStringLiteral(" : chiffrement exigé (--tls) et refusé ou impossible");
      batch::err(QStringLiteral("tovelo-batch upload : connexion impossible à %1%2\n").arg(ftp::printable(host), why));
      return batch::kFault;
    }
    batch::err(ftp.Encrypted() ? QStringLiteral("tovelo-batch upload : connexion chiffrée (TLS)\n")
                               : QStringLiteral("tovelo-batch upload : connexion non chiffrée\n"));
    if (paths.size() == 2 && !transfer.ChHost(paths[1])) {
      batch::err(QStringLiteral("tovelo-batch upload : dossier distant « %1 » inaccessible\n").arg(ftp::printable(paths[1])));
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
    batch::err(QStringLiteral("tovelo-batch upload : ") + FtpTransfer::french(QString::fromUtf8(e.what())) + u'\n');
    status = batch::kFault;
  }
  if (ftp.IsConnected()) ftp.QuitAndWait();
  return status;
}

}  // namespace

TOVELO_BATCH_COMMAND("upload",
                     "upload [--passive] [--tls | --no-tls] [--ca-file CERT] --host HÔTE [--port PORT]\n"
                     "       --user USAGER --password-file FICHIER LOCAL [DISTANT]\n"
                     "    « Envoyer » de la fenêtre de transfert FTP : envoie le fichier ou tout le\n"
                     "    dossier LOCAL dans le dossier DISTANT (par défaut le dossier d'arrivée),\n"
                     "    en mode texte ou binaire selon l'extension, les dossiers créés au fur et à\n"
                     "    mesure. Le mot de passe est la première ligne de FICHIER. Le dialogue avec\n"
                     "    le serveur s'affiche sur la sortie d'erreur, mot de passe masqué ;\n"
                     "    --passive : mode passif. Chiffrement TLS (FTPS explicite) quand le serveur\n"
                     "    l'accepte, signalé sinon ; --tls l'exige (code 1 s'il est refusé), --no-tls\n"
                     "    ne le demande pas ; --ca-file CERT fait confiance au certificat ou à\n"
                     "    l'autorité du fichier CERT. Code 1 quand un fichier n'est pas arrivé.\n",
                     run)
