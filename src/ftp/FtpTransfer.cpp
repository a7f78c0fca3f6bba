#include "FtpTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <cerrno>
#include <dirent.h>

#include <openssl/x509_vfy.h>

FtpTransfer::FtpTransfer(TFtpClient& ftp) : ftp_(ftp) {
  ftp_.OnDisplay = [this](TCustomFtpCli*, QString& msg) { Display(msg); };
  ftp_.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest rq, quint16 error) { RequestDone(rq, error); };
  ftp_.OnProgress = [this](TCustomFtpCli*, qint64 count, bool&) {
    if (TailleCourante > 0 && progress) progress(int(qMin<qint64>(100, count * 100 / TailleCourante)));
  };
}

void FtpTransfer::Display(const QString& line) {
  if (log) log(ftp::printable(line));
}

bool FtpTransfer::refuse(const QString& what, const QString& reason) {
  ++failures;
  Display(what + QStringLiteral(" : ") + reason);
  return false;
}

void FtpTransfer::RequestDone(TFtpRequest rq, int error) {
  Display(QStringLiteral("Request %1 Done.").arg(int(rq)));
  Display(QStringLiteral("StatusCode = %1").arg(ftp_.StatusCode()));
  Display(QStringLiteral("LastResponse was : '") + ftp_.LastResponse() + u'\'');
  if (error != 0) {
    Display(QStringLiteral("Error = %1 (%2)").arg(error).arg(ftp_.ErrorMessage()));
    Reponse = QStringLiteral("Nak");
    return;
  }
  Display(QStringLiteral("No error"));
  Reponse = QStringLiteral("Ok");
  switch (rq) {
    case frCwd: case frMkd: case frPwd: case frCdup:
      Display(QStringLiteral("Directory is \"") + ftp_.ResultDir() + u'"');
      break;
    case frDir: case frLs: case frFullDir: case frFullLs:
      if (listReady) listReady();
      break;
    case frGet: case frPut:
      Reponse = QStringLiteral("TransferDone");
      break;
    case frSize:
      Display(QStringLiteral("File size is %1 bytes").arg(ftp_.ResultSize()));
      break;
    default:
      break;
  }
}

namespace {

// Pumps the event loop until done() holds; a timer wakes the loop so that limits are noticed
// while the network is silent.
template <class Done>
void pumpUntil(Done done) {
  QTimer wake;
  wake.start(50);
  while (!done() && !QCoreApplication::closingDown())
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace

void FtpTransfer::Delay() {
  QElapsedTimer clock;
  clock.start();
  Reponse.clear();
  Arret = 0;
  pumpUntil([&] { return Arret == kStopped || !Reponse.isEmpty() || clock.elapsed() > waitLimitMs; });
  timedOut = Reponse.isEmpty() && Arret != kStopped;
  if (timedOut)
    Display(QStringLiteral("Le serveur ne répond plus : aucune réponse depuis %1 s.").arg(waitLimitMs / 1000));
}

void FtpTransfer::settle() { QCoreApplication::sendPostedEvents(&ftp_, QEvent::MetaCall); }

QString FtpTransfer::frenchCertificateError(int error, const QString& reason) {
  switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
      return QStringLiteral("le certificat est signé par le serveur lui-même (autosigné)");
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return QStringLiteral("l'autorité qui l'a signé n'est pas reconnue");
    case X509_V_ERR_CERT_HAS_EXPIRED: return QStringLiteral("le certificat a expiré");
    case X509_V_ERR_CERT_NOT_YET_VALID: return QStringLiteral("le certificat n'est pas encore valable");
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return QStringLiteral("le certificat est établi pour un autre nom d'hôte");
    case X509_V_ERR_CERT_REVOKED: return QStringLiteral("le certificat a été révoqué");
    default: return QStringLiteral("erreur de vérification n° %1 (%2)").arg(error).arg(ftp::printable(reason));
  }
}

QString FtpTransfer::frenchSocketError(int error) {
  switch (error) {
    case ECONNREFUSED: return QStringLiteral("le serveur refuse la connexion (aucun service FTP sur ce port ?)");
    case ECONNRESET: return QStringLiteral("la connexion a été coupée par le serveur");
    case ETIMEDOUT: return QStringLiteral("le serveur ne répond pas");
    case ENETUNREACH: case ENETDOWN: return QStringLiteral("le réseau est inaccessible");
    case EHOSTUNREACH: case EHOSTDOWN: return QStringLiteral("l'hôte est inaccessible");
    case 11001: case 11004: return QStringLiteral("hôte introuvable");
    case 11002: case 11003: return QStringLiteral("le nom de l'hôte n'a pas pu être résolu");
    default: return QStringLiteral("erreur réseau n° %1").arg(error);
  }
}

QString FtpTransfer::french(const QString& engineText) {
  const QString t = engineText;
  if (t == u"FTP component not ready")
    return QStringLiteral("Une opération est déjà en cours avec le serveur. Attendez sa fin ou cliquez sur "
                          "« Arrêter ».");
  if (t == u"FTP component not connected" || t.endsWith(QLatin1String(": not connected")))
    return QStringLiteral("La connexion avec le serveur est fermée. Cliquez sur « Connecter ».");
  if (t == u"FTP component already connected" || t == u"FTP component connected")
    return QStringLiteral("La connexion avec le serveur est déjà ouverte.");
  if (t == u"Password emtpy") return QStringLiteral("Le mot de passe est vide.");
  if (t == u"UserName emtpy") return QStringLiteral("L'identifiant de l'usager est vide.");
  if (t == u"HostDirName emtpy") return QStringLiteral("Le nom du dossier distant est vide.");
  if (t == u"LocalFileName empty") return QStringLiteral("Aucun fichier local n'est indiqué.");
  if (t == u"426 Timeout") return QStringLiteral("Le serveur ne répond plus.");
  if (t.startsWith(QLatin1String("Argument de commande refusé"))) return t;
  // The made-up replies of a failed connection: "500 <text> (Winsock error #n)".
  static const QRegularExpression socketError(QStringLiteral("\\(Winsock error #(\\d+)\\)$"));
  const QRegularExpressionMatch m = socketError.match(t);
  if (m.hasMatch()) return QStringLiteral("La connexion a échoué : ") + frenchSocketError(m.captured(1).toInt()) + u'.';
  if (t.startsWith(QLatin1String("500 FtpException: "))) return french(t.mid(18));
  if (t.startsWith(QLatin1String("500 TLS handshake failed: ")))
    return QStringLiteral("La négociation du chiffrement a échoué (%1).").arg(ftp::printable(t.mid(26)));
  if (t.startsWith(QLatin1String("500 Control connection closed")))
    return QStringLiteral("La connexion avec le serveur a été coupée.");
  return QStringLiteral("Erreur du transfert FTP : ") + ftp::printable(t);
}

bool FtpTransfer::splitHostPort(const QString& text, QString& host, QString& port) {
  const QString t = text.trimmed();
  QString portText;
  bool hasPort = false;
  if (t.startsWith(u'[')) {
    const qsizetype close = t.indexOf(u']');
    if (close < 0) return false;
    host = t.mid(1, close - 1);
    const QString rest = t.mid(close + 1);
    if (!rest.isEmpty()) {
      if (!rest.startsWith(u':')) return false;
      hasPort = true;
      portText = rest.mid(1);
    }
  } else if (t.count(u':') == 1) {
    host = t.section(u':', 0, 0);
    portText = t.section(u':', 1);
    hasPort = true;
  } else {
    host = t;  // a name, an IPv4 address, or a bare IPv6 address whose colons are its own
  }
  if (host.isEmpty() || host.contains(u'[') || host.contains(u']') || host.contains(u' ')) return false;
  if (hasPort) {
    if (portText.isEmpty() || portText.size() > 5) return false;
    for (const QChar c : portText)
      if (c < u'0' || c > u'9') return false;
    const uint n = portText.toUInt();
    if (n == 0 || n > 65535) return false;
    port = QString::number(n);
  }
  return true;
}

void FtpTransfer::requireReady() const {
  if (ftp_.State() != fsReady && ftp_.State() != fsInternalReady)
    throw FtpException(QStringLiteral("FTP component not ready"));
}

bool FtpTransfer::ChHost(const QString& dir) {
  requireReady();
  ftp_.SetHostDirName(dir);
  ftp_.SetDisplayFileFlag(false);
  ftp_.StartCwd();
  Delay();
  return Reponse == u"Ok";
}

bool FtpTransfer::MakeDir(const QString& name) {
  requireReady();
  ftp_.SetHostDirName(QStringLiteral("."));
  ftp_.SetHostFileName(name);
  ftp_.SetDisplayFileFlag(false);
  ftp_.StartMkd();
  Delay();
  return Reponse == u"Ok";
}

const QStringList& FtpTransfer::textExtensions() {
  static const QStringList list{
      QStringLiteral("asc"),  QStringLiteral("asi"),  QStringLiteral(".asp"),   QStringLiteral(".cfm"),
      QStringLiteral(".cgi"), QStringLiteral(".css"), QStringLiteral(".diz"),   QStringLiteral(".htm"),
      QStringLiteral(".html"), QStringLiteral(".shtm"), QStringLiteral(".shtml"), QStringLiteral(".text"),
      QStringLiteral(".txt"), QStringLiteral(".xml")};
  return list;
}

bool FtpTransfer::isText(const QString& fileName) {
  const QString name = QFileInfo(fileName).fileName();
  const qsizetype dot = name.lastIndexOf(u'.');
  if (dot < 0) return false;
  return textExtensions().contains(name.mid(dot), Qt::CaseInsensitive);
}

void FtpTransfer::waitTransfer() {
  Reponse.clear();
  Arret = 0;
  // A refused STOR or a dropped connection ends the request with an error: that ends the wait too.
  pumpUntil([&] { return Arret == kStopped || Reponse == u"TransferDone" || Reponse == u"Nak"; });
}

bool FtpTransfer::SendFile(const QString& hostDir, const QString& localPath) {
  const QFileInfo local(localPath);
  if (!local.exists()) return false;
  if (!TCustomFtpCli::ArgumentAccepted(local.fileName()))
    return refuse(QStringLiteral("Échec de l'envoi de ") + localPath, TCustomFtpCli::ArgumentRefusal());
  requireReady();
  QString dir = hostDir;
  if (dir.endsWith(u'/')) dir.chop(1);
  ftp_.SetHostDirName(dir);
  ftp_.SetHostFileName(local.fileName());
  ftp_.SetLocalFileName(localPath);
  ftp_.SetBinary(!isText(local.fileName()));
  ftp_.StartType();
  Delay();
  ftp_.SetPassive(passive);
  ftp_.SetDisplayFileFlag(false);
  ftp_.StartPut();
  waitTransfer();
  if (Reponse == u"TransferDone") return true;
  ++failures;
  Display(QStringLiteral("Échec de l'envoi de ") + localPath);
  return false;
}

void FtpTransfer::reportUndecodableNames(const QString& folder) {
  // Qt's listing leaves out names that are not valid UTF-8 (common on shares written from
  // Windows): they cannot be sent as text, but the user learns which ones stayed behind.
  DIR* d = opendir(QFile::encodeName(folder).constData());
  if (!d) return;
  while (const dirent* e = readdir(d)) {
    const QByteArray raw(e->d_name);
    if (raw == "." || raw == ".." || QFile::encodeName(QFile::decodeName(raw)) == raw) continue;
    if (e->d_type == DT_DIR && raw.startsWith('.')) continue;  // hidden folders are never sent
    refuse(QStringLiteral("Échec de l'envoi de ") + folder + u'/' + ftp::printableBytes(raw),
           QStringLiteral("son nom n'est pas en UTF-8"));
  }
  closedir(d);
}

void FtpTransfer::SendFolder(const QString& localFolder) {
  const QString name = QFileInfo(localFolder).fileName();
  if (!TCustomFtpCli::ArgumentAccepted(name)) {
    refuse(QStringLiteral("Dossier non envoyé : ") + localFolder, TCustomFtpCli::ArgumentRefusal());
    return;
  }
  MakeDir(name);  // an existing folder refuses MKD: logged, and the upload goes on
  if (!ChHost(name)) {
    // Sending here would put the folder's files beside it, and the final CWD .. would climb one
    // level too many.
    ++failures;
    Display(QStringLiteral("Dossier non envoyé : ") + localFolder);
    return;
  }
  try {
    const QDir dir(localFolder);
    for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name)) {
      if (connectionLost()) break;
      SendFile(name, f.filePath());
    }
    reportUndecodableNames(localFolder);
    // Linked folders are not followed: a link to a parent would never end.
    for (const QFileInfo& d : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name)) {
      if (connectionLost()) break;
      if (!d.fileName().startsWith(u'.')) SendFolder(d.filePath());
    }
  } catch (const std::exception& e) {
    // What was left of the folder did not go: that is a failure, not a silent end.
    refuse(QStringLiteral("Dossier interrompu : ") + localFolder, QString::fromUtf8(e.what()));
  }
  if (!connectionLost()) ChHost(QStringLiteral(".."));
}

void FtpTransfer::LitHote() {
  requireReady();
  ftp_.SetHostFileName(QString());
  ftp_.SetLocalFileName(listFile);
  ftp_.SetDisplayFileFlag(false);
  ftp_.SetPassive(passive);
  ftp_.StartLs();
}

void FtpTransfer::Stop() {
  ftp_.AbortAndWait();
  Arret = kStopped;
}
