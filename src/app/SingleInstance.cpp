#include "SingleInstance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>
#include <QtEndian>

#include "FileName.h"

namespace {

// "Tov1", then the length of the names, then the names as the file system's bytes, each ended
// by a zero byte.
constexpr quint32 kMagic = 0x546F7631;
constexpr qint64 kHeader = 8;
// More than a real command line holds in practice, little enough that a wrong client can
// neither fill the memory nor open windows without end. A start with more files than a request
// carries opens them itself.
constexpr quint32 kMaxPayload = 1024 * 1024;
constexpr qsizetype kMaxFiles = 1000;
constexpr char kTaken = 'O';
constexpr int kClientTimeoutMs = 10000;

// A folder that the user owns and nobody else can enter; a link or another owner's is refused.
bool isPrivateFolder(const QByteArray& path) {
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 077) == 0;
}

// The peer runs as this user: a socket reached through a borrowed path is never trusted.
bool sameUser(QLocalSocket* socket) {
#ifdef SO_PEERCRED
  struct ucred cred {};
  socklen_t size = sizeof cred;
  if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
    return false;
  return cred.uid == ::getuid();
#else
  Q_UNUSED(socket);
  return true;
#endif
}

QString displayPart() {
  QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
  if (display.isEmpty()) display = qEnvironmentVariable("DISPLAY");
  QString out;
  for (QChar c : display)
    out += c.isLetterOrNumber() || c == u'.' || c == u'-' ? c : QChar(u'_');
  return out.isEmpty() ? QString() : QStringLiteral("-") + out;
}

QByteArray encode(const QStringList& files) {
  QByteArray payload;
  for (const QString& f : files) {
    payload += filename::toNative(f);
    payload += '\0';
  }
  QByteArray frame(kHeader, Qt::Uninitialized);
  qToBigEndian(kMagic, frame.data());
  qToBigEndian(quint32(payload.size()), frame.data() + 4);
  return frame + payload;
}

}  // namespace

bool SingleInstance::fitsOneRequest(const QStringList& files) {
  return files.size() <= kMaxFiles && encode(files).size() - kHeader <= qint64(kMaxPayload);
}

QString SingleInstance::defaultSocketPath() {
  const QString name = QStringLiteral("tovelo%1.sock").arg(displayPart());
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && isPrivateFolder(runtime))
    return QFile::decodeName(runtime) + u'/' + name;
  const QString folder = QDir::tempPath() + QStringLiteral("/tovelo-%1").arg(::getuid());
  const QByteArray native = QFile::encodeName(folder);
  ::mkdir(native.constData(), 0700);
  return isPrivateFolder(native) ? folder + u'/' + name : QString();
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::start(const QStringList& files, int answerTimeoutMs,
                                           int lockTimeoutMs) {
  if (path_.isEmpty()) return Role::Alone;
  // Two starts at the same moment must not both decide that no editor runs: without the lock,
  // this start may hand over but never becomes the one that listens.
  QLockFile lock(path_ + QStringLiteral(".lock"));
  const bool locked = lock.tryLock(lockTimeoutMs);
  // Too many files for one request: they open here, and the running editor keeps its socket.
  if (!fitsOneRequest(files)) return Role::Alone;
  switch (handOver(files, answerTimeoutMs)) {
    case HandOver::Taken:
      return Role::HandedOver;
    case HandOver::NoAnswer:
      // An editor is there but silent: keep its socket, and open the files here.
      return Role::Alone;
    case HandOver::NoEditor:
      break;
  }
  return locked && listen() ? Role::Primary : Role::Alone;
}

SingleInstance::HandOver SingleInstance::handOver(const QStringList& files, int answerTimeoutMs) {
  QLocalSocket socket;
  socket.connectToServer(path_);
  if (!socket.waitForConnected(2000)) {
    const auto e = socket.error();
    return e == QLocalSocket::ServerNotFoundError || e == QLocalSocket::ConnectionRefusedError
               ? HandOver::NoEditor
               : HandOver::NoAnswer;
  }
  if (!sameUser(&socket)) return HandOver::NoAnswer;
  socket.write(encode(files));
  if (!socket.waitForBytesWritten(answerTimeoutMs)) return HandOver::NoAnswer;
  while (socket.bytesAvailable() < 1)
    if (!socket.waitForReadyRead(answerTimeoutMs)) return HandOver::NoAnswer;
  char answer = 0;
  socket.getChar(&answer);
  return answer == kTaken ? HandOver::Taken : HandOver::NoAnswer;
}

bool SingleInstance::listen() {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  // Reached only when nothing answers on the socket: what is left is a crashed editor's.
  QLocalServer::removeServer(path_);
  if (!server_->listen(path_)) {
    delete server_;
    server_ = nullptr;
    return false;
  }
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
  return true;
}

void SingleInstance::accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!sameUser(socket)) {
      socket->abort();
      continue;
    }
    // A client that never finishes its request is dropped.
    QTimer::singleShot(kClientTimeoutMs, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    readRequest(socket);
  }
}

void SingleInstance::readRequest(QLocalSocket* socket) {
  if (socket->bytesAvailable() < kHeader) return;
  const QByteArray header = socket->peek(kHeader);
  const quint32 magic = qFromBigEndian<quint32>(header.constData());
  const quint32 size = qFromBigEndian<quint32>(header.constData() + 4);
  if (magic != kMagic || size > kMaxPayload) {
    socket->abort();
    return;
  }
  if (socket->bytesAvailable() < kHeader + qint64(size)) return;
  socket->read(kHeader);
  const QByteArray payload = socket->read(size);
  if (!payload.isEmpty() && !payload.endsWith('\0')) {
    socket->abort();
    return;
  }
  QStringList files;
  for (qsizetype from = 0; from < payload.size();) {
    const qsizetype end = payload.indexOf('\0', from);
    if (end == from || files.size() == kMaxFiles) {
      socket->abort();
      return;
    }
    files << filename::fromNative(payload.mid(from, end - from));
    from = end + 1;
  }
  disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
  socket->putChar(kTaken);
  socket->flush();
  socket->disconnectFromServer();
  deliver(files);
}

void SingleInstance::deliver(const QStringList& files) {
  // Opening may show messages: not from inside the socket's own signal.
  QMetaObject::invokeMethod(
      this,
      [this, files] {
        if (receiver_)
          receiver_(files);
        else
          waiting_ << files;
      },
      Qt::QueuedConnection);
}

void SingleInstance::setReceiver(std::function<void(const QStringList&)> receiver) {
  receiver_ = std::move(receiver);
  const QList<QStringList> waiting = std::exchange(waiting_, {});
  for (const QStringList& files : waiting) receiver_(files);
}
