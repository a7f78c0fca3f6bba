#include "FtpTestSupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/socket.h>

bool makeCertificate(const QString& folder) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral("openssl"),
          {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
           QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
           QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
           QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
           folder + QStringLiteral("/key.pem"), QStringLiteral("-out"), folder + QStringLiteral("/cert.pem")});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return false;
  QFile cert(folder + QStringLiteral("/cert.pem")), key(folder + QStringLiteral("/key.pem")),
      both(folder + QStringLiteral("/server.pem"));
  if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly) || !both.open(QIODevice::WriteOnly))
    return false;
  both.write(cert.readAll() + key.readAll());
  return true;
}

QString PyFtpServer::fingerprint() const {
  QFile f(certificate_);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QByteArray base64;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (!line.startsWith("-----")) base64 += line.trimmed();
  return QString::fromLatin1(
      QCryptographicHash::hash(QByteArray::fromBase64(base64), QCryptographicHash::Sha256).toHex(':').toUpper());
}

QByteArray PyFtpServer::log() const {
  QFile f(aside_.filePath(QStringLiteral("server.log")));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool PyFtpServer::start(Tls tls) {
  if (!home_.isValid() || !aside_.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return false;
  }
  QStringList options{QStringLiteral("--log"), aside_.filePath(QStringLiteral("server.log"))};
  if (tls != Tls::None) {
    if (!makeCertificate(aside_.path())) {
      error_ = QStringLiteral("openssl could not make a certificate");
      return false;
    }
    certificate_ = aside_.filePath(QStringLiteral("cert.pem"));
    options << QStringLiteral("--tls") << aside_.filePath(QStringLiteral("server.pem"));
    if (tls == Tls::Required) options << QStringLiteral("--tls-required");
  }
  process_.setStandardErrorFile(QProcess::nullDevice());
  // Debian's interpreter, where the server package is installed, whatever comes first on PATH.
  process_.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QStringLiteral(TOVELO_FTP_SERVER_SCRIPT), home_.path(), QString::fromLatin1(kUser),
                             QString::fromLatin1(kPassword)} + options);
  if (!process_.waitForStarted(10000)) {
    error_ = QStringLiteral("python3 did not start");
    return false;
  }
  QByteArray line;
  while (!line.contains('\n') && process_.waitForReadyRead(15000)) line += process_.readAllStandardOutput();
  port_ = quint16(line.trimmed().toUInt());
  if (port_ == 0) error_ = QStringLiteral("the server gave no port (is python3-pyftpdlib installed?)");
  return port_ != 0;
}

PyFtpServer::~PyFtpServer() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.closeWriteChannel();
  if (!process_.waitForFinished(3000)) {
    process_.kill();
    process_.waitForFinished(3000);
  }
}

Session::Session() {
  ftp.OnDisplay = [this](TCustomFtpCli*, QString& msg) { transcript << msg; };
  ftp.OnRequestDone = [this](TCustomFtpCli*, TFtpRequest rq, quint16 error) { done.append({int(rq), int(error)}); };
  ftp.OnDisplayFile = [this](TCustomFtpCli*, QString& msg) { displayed << msg; };
  ftp.SetTimeout(15);
}

void Session::connectTo(quint16 port, const QString& host) {
  ftp.SetHostName(host);
  ftp.SetPort(QString::number(port));
  ftp.SetUserName(QString::fromLatin1(PyFtpServer::kUser));
  ftp.SetPassWord(QString::fromLatin1(PyFtpServer::kPassword));
}

int Session::run(TFtpClient::Operation op, int ms) {
  // A synchronous form returns before its own completion is told: that one is not op's.
  QCoreApplication::processEvents();
  const qsizetype before = done.size();
  (ftp.*op)();
  // Not QTest::qWait: it sleeps between rounds, and a transfer needs one round per block.
  QElapsedTimer clock;
  clock.start();
  QTimer wake;
  wake.start(20);
  while (done.size() == before && clock.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  if (done.size() == before) return -1;
  return done.last().second;
}

ScriptedServer::ScriptedServer(QByteArray greeting, Script script)
    : greeting_(std::move(greeting)), script_(std::move(script)) {
  listener_.listen(QHostAddress::LocalHost, 0);
  QObject::connect(&listener_, &QTcpServer::newConnection, &listener_, [this] {
    control_ = listener_.nextPendingConnection();
    if (!control_) return;
    if (!greeting_.isEmpty()) control_->write(greeting_);
    QObject::connect(control_, &QTcpSocket::readyRead, control_, [this] {
      pending_ += control_->readAll();
      qsizetype end;
      while ((end = pending_.indexOf("\r\n")) >= 0) {
        const QByteArray command = pending_.left(end);
        pending_.remove(0, end + 2);
        commands << command;
        if (command.startsWith("PORT ")) {
          const QList<QByteArray> f = command.mid(5).split(',');
          if (f.size() == 6) {
            dataHost_ = QString::fromLatin1(f[0] + '.' + f[1] + '.' + f[2] + '.' + f[3]);
            dataPort_ = quint16(f[4].toUInt() * 256 + f[5].toUInt());
          }
        }
        script_(*this, command);
        if (!control_) return;
      }
    });
  });
}

void ScriptedServer::reply(const QByteArray& bytes) {
  if (control_) control_->write(bytes);
}

bool ScriptedServer::openData() {
  data_ = std::make_unique<QTcpSocket>();
  data_->connectToHost(dataHost_, dataPort_);
  return data_->waitForConnected(5000);
}

bool ScriptedServer::receiveData(const QByteArray& finalReply) {
  if (!openData()) return false;
  received.clear();
  QTcpSocket* d = data_.get();
  QObject::connect(d, &QTcpSocket::readyRead, d, [this, d] { received += d->readAll(); });
  QObject::connect(d, &QTcpSocket::disconnected, d, [this, d, finalReply] {
    received += d->readAll();
    reply(finalReply);
  });
  return true;
}

std::unique_ptr<QTcpSocket> ScriptedServer::connectFrom(const QString& localAddress) {
  auto s = std::make_unique<QTcpSocket>();
  if (!s->bind(QHostAddress(localAddress), 0)) return nullptr;
  s->connectToHost(dataHost_, dataPort_);
  if (!s->waitForConnected(5000)) return nullptr;
  return s;
}

void ScriptedServer::sendData(const QByteArray& bytes) {
  if (!data_) return;
  data_->write(bytes);
  data_->waitForBytesWritten(5000);
}

void ScriptedServer::closeData() {
  if (!data_) return;
  data_->disconnectFromHost();
  if (data_->state() != QAbstractSocket::UnconnectedState) data_->waitForDisconnected(2000);
  data_.reset();
}

void ScriptedServer::resetData() {
  if (!data_) return;
  const linger hard{1, 0};
  setsockopt(int(data_->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  data_->abort();
  data_.reset();
}

void ScriptedServer::dropControl() {
  if (!control_) return;
  control_->abort();
  control_->deleteLater();
  control_ = nullptr;
}

QByteArray patternBytes(qsizetype size, quint32 seed) {
  QByteArray b(size, Qt::Uninitialized);
  quint32 x = seed * 2654435761u + 1;
  for (qsizetype i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b[i] = char(x);
  }
  return b;
}
