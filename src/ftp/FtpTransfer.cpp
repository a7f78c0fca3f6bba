#include "FtpTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

FtpTransfer::FtpTransfer(TFtpClient& ftp) : ftp_(ftp) {
  ftp_.OnDisplay = [this](TCustomFtpCli*, QString& msg) { Display(msg); };
  ftp_.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest rq, quint16 error) { RequestDone(rq, error); };
  ftp_.OnProgress = [this](TCustomFtpCli*, qint64 count, bool&) {
    if (TailleCourante > 0 && progress) progress(int(qMin<qint64>(100, count * 100 / TailleCourante)));
  };
}

void FtpTransfer::Display(const QString& line) {
  if (log) log(line);
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

void FtpTransfer::SendFolder(const QString& localFolder) {
  const QString name = QFileInfo(localFolder).fileName();
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
    for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
      SendFile(name, f.filePath());
    // Linked folders are not followed: a link to a parent would never end.
    for (const QFileInfo& d : dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name))
      if (!d.fileName().startsWith(u'.')) SendFolder(d.filePath());
  } catch (const std::exception& e) {
    Display(QString::fromUtf8(e.what()));
  }
  ChHost(QStringLiteral(".."));
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
