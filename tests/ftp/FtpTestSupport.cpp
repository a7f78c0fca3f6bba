#include "FtpTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/socket.h>

bool PyFtpServer::start() {
  if (!home_.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return false;
  }
  process_.setStandardErrorFile(QProcess::nullDevice());
  // Debian's interpreter, where the server package is installed, whatever comes first on PATH.
  process_.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(TOVELO_FTP_SERVER_SCRIPT), home_.path(), QString::fromLatin1(kUser),
                  QString::fromLatin1(kPassword)});
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
