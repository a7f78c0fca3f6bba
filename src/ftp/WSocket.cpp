#include "WSocket.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QSocketNotifier>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

constexpr int kHostNotFound = 11001;
constexpr int kTryAgain = 11002;
constexpr int kNoRecovery = 11003;
constexpr int kNoData = 11004;

// A dotted text is one made only of digits and dots: it must convert, names are not tried.
bool isDotted(const QString& s) {
  if (s.isEmpty()) return false;
  for (QChar c : s)
    if (!(c.isDigit() || c == u'.')) return false;
  return true;
}

in_addr resolveHost(const QString& host) {
  if (host.isEmpty() || host.size() > 256)
    throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid Hostname.").arg(host));
  in_addr a{};
  if (isDotted(host)) {
    if (inet_aton(host.toLatin1().constData(), &a) == 0)
      throw ESocketException(QStringLiteral("WSocketResolveHost: '%1' Invalid IP address.").arg(host));
    return a;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  const int rc = getaddrinfo(host.toUtf8().constData(), nullptr, &hints, &res);
  if (rc != 0 || !res) {
    const int e = rc == EAI_AGAIN ? kTryAgain : rc == EAI_FAIL ? kNoRecovery : kHostNotFound;
    throw ESocketException(
        QStringLiteral("WSocketResolveHost: Cannot convert host address '%1', Error #%2").arg(host).arg(e));
  }
  a = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr;
  freeaddrinfo(res);
  return a;
}

quint16 resolvePort(const QString& port, const QString& proto) {
  if (port.isEmpty() || port.size() >= 32) throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Port."));
  if (proto.isEmpty() || proto.size() >= 32) throw ESocketException(QStringLiteral("WSocketResolvePort: Invalid Proto."));
  if (port[0].isDigit()) return quint16(port.toUInt());
  const servent* s = getservbyname(port.toLatin1().constData(), proto.toLatin1().constData());
  if (!s)
    throw ESocketException(
        QStringLiteral("WSocketResolvePort: Cannot convert port '%1', Error #%2").arg(port).arg(kNoData));
  return ntohs(quint16(s->s_port));
}

void resolveProto(const QString& proto) {
  if (proto.isEmpty() || proto.size() >= 32) throw ESocketException(QStringLiteral("WSocketResolveProto: Invalid Protocol."));
  if (proto[0].isDigit()) return;
  if (!getprotobyname(proto.toLatin1().constData()))
    throw ESocketException(
        QStringLiteral("WSocketResolveProto: Cannot convert protocol '%1', Error #%2").arg(proto).arg(kNoData));
}

// Why a TLS call failed, in the library's words.
QString tlsFailure(int sslError) {
  if (const unsigned long e = ERR_get_error()) {
    const char* reason = ERR_reason_error_string(e);
    return reason ? QString::fromLatin1(reason) : QStringLiteral("TLS error %1").arg(e);
  }
  if (sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN)
    return QStringLiteral("connection closed during the TLS handshake");
  return QStringLiteral("TLS error %1").arg(sslError);
}

// TLS records carry up to 16 KB: a write that must be repeated is repeated with at least as many
// bytes as the record it began, so the queue's blocks are that large once TLS is on.
constexpr int kTlsBlock = 32768;

}  // namespace

TBuffer::TBuffer(int size) : FBufSize(size <= 0 ? 1514 : size) { Buf.reset(new char[size_t(FBufSize)]); }

int TBuffer::Write(const char* data, int len) {
  const int n = qMin(len, FBufSize - WrCount);
  if (n <= 0) return 0;
  std::memcpy(Buf.get() + WrCount, data, size_t(n));
  WrCount += n;
  return n;
}

QString TCustomWSocket::WSocketErrorDesc(int error) {
  switch (error) {
    case 0: return QStringLiteral("No Error");
    case EINTR: return QStringLiteral("Interrupted system call");
    case EBADF: return QStringLiteral("Bad file number");
    case EACCES: return QStringLiteral("Permission denied");
    case EFAULT: return QStringLiteral("Bad address");
    case EINVAL: return QStringLiteral("Invalid argument");
    case EMFILE: return QStringLiteral("Too many open files");
    case EWOULDBLOCK: return QStringLiteral("Operation would block");
    case EINPROGRESS: return QStringLiteral("Operation now in progress");
    case EALREADY: return QStringLiteral("Operation already in progress");
    case ENOTSOCK: return QStringLiteral("Socket operation on non-socket");
    case EDESTADDRREQ: return QStringLiteral("Destination address required");
    case EMSGSIZE: return QStringLiteral("Message too long");
    case EPROTOTYPE: return QStringLiteral("Protocol wrong type for socket");
    case ENOPROTOOPT: return QStringLiteral("Protocol not available");
    case EPROTONOSUPPORT: return QStringLiteral("Protocol not supported");
    case ESOCKTNOSUPPORT: return QStringLiteral("Socket type not supported");
    case EOPNOTSUPP: return QStringLiteral("Operation not supported on socket");
    case EPFNOSUPPORT: return QStringLiteral("Protocol family not supported");
    case EAFNOSUPPORT: return QStringLiteral("Address family not supported by protocol family");
    case EADDRINUSE: return QStringLiteral("Address already in use");
    case EADDRNOTAVAIL: return QStringLiteral("Address not available");
    case ENETDOWN: return QStringLiteral("Network is down");
    case ENETUNREACH: return QStringLiteral("Network is unreachable");
    case ENETRESET: return QStringLiteral("Network dropped connection on reset");
    case ECONNABORTED: return QStringLiteral("Connection aborted");
    case ECONNRESET: return QStringLiteral("Connection reset by peer");
    case ENOBUFS: return QStringLiteral("No buffer space available");
    case EISCONN: return QStringLiteral("Socket is already connected");
    case ENOTCONN: return QStringLiteral("Socket is not connected");
    case ESHUTDOWN: return QStringLiteral("Can't send after socket shutdown");
    case ETOOMANYREFS: return QStringLiteral("Too many references: can't splice");
    case ETIMEDOUT: return QStringLiteral("Connection timed out");
    case ECONNREFUSED: return QStringLiteral("Connection refused");
    case ELOOP: return QStringLiteral("Too many levels of symbolic links");
    case ENAMETOOLONG: return QStringLiteral("File name too long");
    case EHOSTDOWN: return QStringLiteral("Host is down");
    case EHOSTUNREACH: return QStringLiteral("No route to host");
    case ENOTEMPTY: return QStringLiteral("Directory not empty");
    case EUSERS: return QStringLiteral("Too many users");
    case EDQUOT: return QStringLiteral("Disc quota exceeded");
    case ESTALE: return QStringLiteral("Stale NFS file handle");
    case EREMOTE: return QStringLiteral("Too many levels of remote in path");
    case kHostNotFound: return QStringLiteral("Host not found");
    case kTryAgain: return QStringLiteral("Non-authoritative host not found");
    case kNoRecovery: return QStringLiteral("Non-recoverable error");
    case kNoData: return QStringLiteral("No Data");
    default: return QStringLiteral("Not a WinSock error");
  }
}

TCustomWSocket::TCustomWSocket(QObject* parent) : QObject(parent) { assignDefaults(); }

TCustomWSocket::~TCustomWSocket() {
  CancelDnsLookup();
  freeTls();
  dropHandle();
}

void TCustomWSocket::freeTls() {
  if (ssl_) SSL_free(ssl_);
  ssl_ = nullptr;
  handshaking_ = writeWantsRead_ = false;
  bufSize_ = 1460;
}

void TCustomWSocket::StartTls(ssl_ctx_st* context, const QString& host, ssl_session_st* session) {
  if (fd_ < 0 || state_ != wsConnected) throw ESocketException(QStringLiteral("StartTls: Socket is not connected"));
  freeTls();
  queue_.clear();  // nothing waits (the peer answered what came before); blocks are made anew
  allSent_ = true;
  tlsError_.clear();
  ERR_clear_error();
  ssl_ = SSL_new(context);
  if (!ssl_) throw ESocketException(QStringLiteral("StartTls: ") + tlsFailure(SSL_ERROR_SSL));
  SSL_set_fd(ssl_, fd_);
  SSL_set_mode(ssl_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  const QByteArray name = host.toUtf8();
  if (QHostAddress(host).isNull()) {
    SSL_set_tlsext_host_name(ssl_, name.constData());
    SSL_set1_host(ssl_, name.constData());
  } else {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), name.constData());
  }
  if (session) SSL_set_session(ssl_, session);
  SSL_set_connect_state(ssl_);
  handshaking_ = true;
  bufSize_ = kTlsBlock;
  // Begun from the loop, so that OnTlsDone never comes from inside StartTls.
  const quint64 gen = generation_;
  QMetaObject::invokeMethod(this, [this, gen] {
    if (gen == generation_ && handshaking_) continueHandshake();
  }, Qt::QueuedConnection);
}

void TCustomWSocket::continueHandshake() {
  QPointer<TCustomWSocket> self(this);
  const quint64 gen = generation_;
  ERR_clear_error();
  const int r = SSL_do_handshake(ssl_);
  if (r == 1) {
    handshaking_ = false;
    enableWrite(!allSent_);  // what was sent meanwhile goes now
    guarded([&] {
      if (OnTlsDone) OnTlsDone(this, 0);
    });
    if (self && gen == generation_) postReadCheck();
    return;
  }
  const int e = SSL_get_error(ssl_, r);
  if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
    enableWrite(e == SSL_ERROR_WANT_WRITE);
    return;
  }
  handshaking_ = false;
  tlsError_ = tlsFailure(e);
  lastError_ = ECONNABORTED;
  guarded([&] {
    if (OnTlsDone) OnTlsDone(this, ECONNABORTED);
  });
  // Nothing can be read or written in clear any more.
  if (self && gen == generation_ && state_ != wsClosed) internalClose(ECONNABORTED, false);
}

void TCustomWSocket::postReadCheck() {
  const quint64 gen = generation_;
  QMetaObject::invokeMethod(this, [this, gen] {
    if (gen == generation_ && ssl_ && !handshaking_ && state_ == wsConnected) readReady();
  }, Qt::QueuedConnection);
}

void TCustomWSocket::CloseWithError(int error) { internalClose(error, false); }

void TCustomWSocket::assignDefaults() {
  proto_ = QStringLiteral("tcp");
  localPort_ = QStringLiteral("0");
  localAddr_ = QStringLiteral("0.0.0.0");
  lingerOnOff_ = wsLingerOn;
  lingerTimeout_ = 0;
  addrAssigned_ = portAssigned_ = false;
  queue_.clear();
  allSent_ = true;
  readCount_ = 0;
}

void TCustomWSocket::SetAddr(const QString& a) {
  addr_ = a;
  addrAssigned_ = true;
}

void TCustomWSocket::SetPort(const QString& p) {
  port_ = p;
  portAssigned_ = true;
}

void TCustomWSocket::SetProto(const QString& p) {
  if (state_ != wsClosed) throw ESocketException(QStringLiteral("Cannot change Proto if not closed"));
  proto_ = p;
}

void TCustomWSocket::setState(TSocketState s) {
  const TSocketState old = state_;
  state_ = s;
  if (old != s && OnChangeState) OnChangeState(this, old, s);
}

void TCustomWSocket::guarded(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    bool canClose = true;
    if (OnBgException) {
      try {
        OnBgException(this, e, canClose);
      } catch (...) {
      }
    }
    if (canClose) Abort();
  }
}

void TCustomWSocket::openHandle() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    const int e = errno;
    fd_ = -1;
    socketError(QStringLiteral("socket"), e);
    return;
  }
  ++generation_;
  closeRaised_ = false;
  readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
  writeNotifier_->setEnabled(false);
  connect(readNotifier_, &QSocketNotifier::activated, this, [this] { readReady(); });
  connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { writeReady(); });
}

void TCustomWSocket::dropHandle() {
  // The notifiers may be the very senders of the signal being handled: deleted later.
  for (QSocketNotifier* n : {readNotifier_, writeNotifier_}) {
    if (!n) continue;
    n->setEnabled(false);
    n->disconnect(this);
    n->deleteLater();
  }
  readNotifier_ = writeNotifier_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ++generation_;
}

void TCustomWSocket::enableWrite(bool on) {
  if (writeNotifier_) writeNotifier_->setEnabled(on);
}

void TCustomWSocket::socketError(const QString& function, int error) {
  const QString text = QStringLiteral("Error %1 in function %2\r\n%3").arg(error).arg(function, WSocketErrorDesc(error));
  if ((error == ECONNRESET || error == ENOTCONN) && state_ != wsClosed) internalClose(error, false);
  lastError_ = error;
  if (OnError) {
    OnError(this);
    return;
  }
  throw ESocketException(text);
}

void TCustomWSocket::DnsLookup(const QString& host) {
  if (host.isEmpty()) throw ESocketException(QStringLiteral("DNS lookup: invalid host name."));
  CancelDnsLookup();
  in_addr a{};
  if (isDotted(host) && inet_aton(host.toLatin1().constData(), &a) != 0) {
    dnsResultList_ = {QString::fromLatin1(inet_ntoa(a))};
    if (OnDnsLookupDone) OnDnsLookupDone(this, 0);
    return;
  }
  dnsResultList_.clear();
  lookupId_ = QHostInfo::lookupHost(host, this, [this](const QHostInfo& info) { lookupDone(info); });
  if (lookupId_ < 0)
    throw ESocketException(QStringLiteral("%1: can't start DNS lookup, error #%2").arg(host).arg(kNoRecovery));
}

void TCustomWSocket::lookupDone(const QHostInfo& info) {
  if (info.lookupId() != lookupId_) return;
  lookupId_ = -1;
  int error = 0;
  dnsResultList_.clear();
  if (info.error() != QHostInfo::NoError) {
    error = info.error() == QHostInfo::HostNotFound ? kHostNotFound : kNoRecovery;
  } else {
    for (const QHostAddress& a : info.addresses())
      if (a.protocol() == QAbstractSocket::IPv4Protocol) dnsResultList_ << a.toString();
    if (dnsResultList_.isEmpty()) error = kNoData;
  }
  guarded([&] {
    if (OnDnsLookupDone) OnDnsLookupDone(this, quint16(error));
  });
}

void TCustomWSocket::CancelDnsLookup() {
  if (lookupId_ >= 0) QHostInfo::abortHostLookup(lookupId_);
  lookupId_ = -1;
}

void TCustomWSocket::Connect() {
  if (proto_.isEmpty()) throw ESocketException(QStringLiteral("Connect: No Protocol Specified"));
  if (!portAssigned_) throw ESocketException(QStringLiteral("Connect: No Port Specified"));
  if (!addrAssigned_) throw ESocketException(QStringLiteral("Connect: No IP Address Specified"));
  if (state_ != wsClosed) throw ESocketException(QStringLiteral("Connect: Socket already in use"));
  sockaddr_in remote{};
  sockaddr_in local{};
  bool bindLocal = false;
  try {
    resolveProto(proto_);
    remote.sin_family = AF_INET;
    remote.sin_port = htons(resolvePort(port_, proto_));
    remote.sin_addr = resolveHost(addr_);
    bindLocal = localPort_ != QLatin1String("0") || localAddr_ != QLatin1String("0.0.0.0");
    if (bindLocal) {
      local.sin_family = AF_INET;
      local.sin_port = htons(resolvePort(localPort_, proto_));
      local.sin_addr = resolveHost(localAddr_);
    }
  } catch (const ESocketException& e) {
    throw ESocketException(QStringLiteral("connect: ") + e.Message());
  }
  openHandle();
  if (fd_ < 0) return;
  setState(wsOpened);
  const int one = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (options_ & wsoTcpNoDelay) setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  SetLingerOption();
  setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
  if (bindLocal && ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    const int e = errno;
    dropHandle();
    setState(wsClosed);
    throw ESocketException(QStringLiteral("winsock.bind failed, error #%1").arg(e));
  }
  setState(wsConnecting);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 && errno != EINPROGRESS) {
    // Reported later from the event loop, as a connection that fails on its way.
    const int e = errno;
    const quint64 gen = generation_;
    QMetaObject::invokeMethod(this, [this, e, gen] {
      if (gen == generation_ && state_ == wsConnecting) connectDone(e);
    }, Qt::QueuedConnection);
    readNotifier_->setEnabled(false);
    return;
  }
  enableWrite(true);  // the connection's end shows as writability
}

void TCustomWSocket::Listen() {
  if (!portAssigned_) throw ESocketException(QStringLiteral("listen: port not assigned"));
  if (proto_.isEmpty()) throw ESocketException(QStringLiteral("listen: protocol not assigned"));
  if (!addrAssigned_) throw ESocketException(QStringLiteral("listen: address not assigned"));
  sockaddr_in local{};
  resolveProto(proto_);
  local.sin_family = AF_INET;
  local.sin_port = htons(resolvePort(port_, proto_));
  local.sin_addr = resolveHost(addr_);
  openHandle();
  if (fd_ < 0) return;
  setState(wsOpened);
  const int one = 1;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    const int e = errno;
    dropHandle();
    setState(wsClosed);
    throw ESocketException(QStringLiteral("winsock.bind failed, error #%1").arg(e));
  }
  setState(wsBound);
  if (::listen(fd_, 5) != 0) {
    socketError(QStringLiteral("listen"), errno);
    return;
  }
  setState(wsListening);
}

int TCustomWSocket::Accept(QString* peer) {
  if (state_ != wsListening) throw ESocketException(QStringLiteral("not a listening socket"));
  sockaddr_in from{};
  socklen_t len = sizeof from;
  const int h = ::accept4(fd_, reinterpret_cast<sockaddr*>(&from), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (h < 0) lastError_ = errno;
  else if (peer) *peer = QString::fromLatin1(inet_ntoa(from.sin_addr));
  return h;
}

void TCustomWSocket::Dup(int handle) {
  if (handle < 0 || fcntl(handle, F_GETFD) < 0) {
    socketError(QStringLiteral("Dup"), EBADF);
    return;
  }
  freeTls();
  if (fd_ >= 0) dropHandle();
  fd_ = handle;
  ++generation_;
  closeRaised_ = false;
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
  writeNotifier_->setEnabled(false);
  connect(readNotifier_, &QSocketNotifier::activated, this, [this] { readReady(); });
  connect(writeNotifier_, &QSocketNotifier::activated, this, [this] { writeReady(); });
  SetLingerOption();
  setState(wsConnected);
}

int TCustomWSocket::Send(const char* data, int len) {
  if (state_ != wsConnected) {
    socketError(QStringLiteral("Send"), ENOTCONN);
    return -1;
  }
  if (len <= 0) return 0;
  int taken = 0;
  const bool queueEmpty = queue_.empty() || (queue_.size() == 1 && queue_.front()->WrCount == 0);
  if (queueEmpty && !handshaking_) {
    // Nothing waits before these bytes: they go to the system at once, and only what it does not
    // take is copied into the queue.
    allSent_ = false;
    while (taken < len) {
      const int k = writeSome(data + taken, len - taken);
      if (k < 0) return len;  // the connection failed: OnSessionClosed told it
      if (k == 0) break;
      taken += k;
      if (!ssl_ && taken < len) break;
    }
    allSent_ = taken == len;
  } else {
    allSent_ = false;
  }
  if (taken < len) {
    int done = taken;
    if (!queue_.empty()) done += queue_.back()->Write(data + done, len - done);
    while (done < len) {
      queue_.push_back(std::make_unique<TBuffer>(bufSize_));
      done += queue_.back()->Write(data + done, len - done);
    }
    if (!queueEmpty) tryToSend();
  }
  // OnDataSent never comes from inside Send: the write notification delivers it later.
  if (allSent_ && fd_ >= 0) {
    sentPending_ = true;
    if (!inWriteLoop_) enableWrite(true);
  }
  return len;
}

int TCustomWSocket::SendStr(const QByteArray& s) { return s.isEmpty() ? 0 : Send(s.constData(), int(s.size())); }

int TCustomWSocket::writeSome(const char* p, int n) {
  if (ssl_) {
    ERR_clear_error();
    const int r = SSL_write(ssl_, p, n);
    if (r > 0) return r;
    const int e = SSL_get_error(ssl_, r);
    if (e == SSL_ERROR_WANT_WRITE) {
      enableWrite(true);
      return 0;
    }
    if (e == SSL_ERROR_WANT_READ) {
      writeWantsRead_ = true;
      return 0;
    }
    tlsError_ = tlsFailure(e);
    lastError_ = ECONNRESET;
    internalClose(ECONNRESET, false);
    return -1;
  }
  const ssize_t k = ::send(fd_, p, size_t(n), MSG_NOSIGNAL);
  if (k >= 0) {
    if (k < n) enableWrite(true);
    return int(k);
  }
  const int e = errno;
  if (e == EWOULDBLOCK || e == EAGAIN || e == EINTR) {
    enableWrite(true);
    return 0;
  }
  lastError_ = e;
  if (e == EINVAL || e == ENOTSOCK || e == ECONNABORTED || e == ECONNRESET || e == ENOTCONN || e == EPIPE) {
    internalClose(e, false);
    return -1;
  }
  socketError(QStringLiteral("TryToSend failed"), e);
  return -1;
}

void TCustomWSocket::tryToSend() {
  if (handshaking_) return;  // the queue waits for the end of the handshake
  while (!queue_.empty() && fd_ >= 0) {
    TBuffer& b = *queue_.front();
    const int pending = b.WrCount - b.RdCount;
    if (pending <= 0) {
      if (queue_.size() > 1) {
        queue_.pop_front();
        continue;
      }
      b.WrCount = b.RdCount = 0;
      allSent_ = true;
      return;
    }
    const int k = writeSome(b.Buf.get() + b.RdCount, pending);
    if (k <= 0) return;
    b.RdCount += k;
    if (b.RdCount >= b.WrCount) b.RdCount = b.WrCount = 0;
    // The system took part of it: it is full until the next write notification. (TLS writes
    // one record at a time; the next write tells.)
    if (k < pending && !ssl_) return;
  }
  if (queue_.empty()) allSent_ = true;
}

int TCustomWSocket::Receive(char* buffer, int len) {
  if (len <= 0) return 0;
  if (fd_ < 0) {
    lastError_ = ENOTCONN;
    return -1;
  }
  receiveCalled_ = true;
  if (ssl_) {
    if (handshaking_) {
      lastError_ = EWOULDBLOCK;
      return -1;
    }
    ERR_clear_error();
    const int r = SSL_read(ssl_, buffer, len);
    if (r > 0) {
      readCount_ += r;
      if (writeWantsRead_) {
        writeWantsRead_ = false;
        enableWrite(true);
      }
      return r;
    }
    const int e = SSL_get_error(ssl_, r);
    if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
      lastError_ = EWOULDBLOCK;
      return -1;
    }
    peerClosed_ = true;
    if (e == SSL_ERROR_ZERO_RETURN) return 0;
    tlsError_ = tlsFailure(e);
    lastError_ = peerError_ = ECONNRESET;
    return -1;
  }
  const ssize_t n = ::recv(fd_, buffer, size_t(len), 0);
  if (n < 0) {
    lastError_ = errno == EAGAIN ? EWOULDBLOCK : errno;
    if (lastError_ != EWOULDBLOCK && lastError_ != EINTR) {
      peerClosed_ = true;
      peerError_ = lastError_;
    }
    return -1;
  }
  if (n == 0) peerClosed_ = true;
  readCount_ += n;
  return int(n);
}

void TCustomWSocket::raiseClosed(int error) {
  if (closeRaised_) return;
  closeRaised_ = true;
  if (OnSessionClosed) OnSessionClosed(this, quint16(error));
}

void TCustomWSocket::internalClose(int error, bool shutdownFirst) {
  if (state_ == wsClosed && fd_ < 0) return;
  if (ssl_ && fd_ >= 0 && shutdownFirst && state_ == wsConnected && !handshaking_) {
    ERR_clear_error();
    SSL_shutdown(ssl_);  // the peer learns that nothing was cut short
  }
  freeTls();
  if (fd_ >= 0 && shutdownFirst && state_ == wsConnected) ::shutdown(fd_, SHUT_WR);
  dropHandle();
  const bool raise = !closeRaised_;
  closeRaised_ = true;  // stays set until the next connection: a late close event is ignored
  setState(wsClosed);
  assignDefaults();
  if (raise && OnSessionClosed) OnSessionClosed(this, quint16(error));
}

void TCustomWSocket::Close() { internalClose(0, true); }

void TCustomWSocket::CloseDelayed() {
  const quint64 gen = generation_;
  QMetaObject::invokeMethod(this, [this, gen] {
    if (gen == generation_) guarded([this] { Close(); });
  }, Qt::QueuedConnection);
}

void TCustomWSocket::Abort() {
  CancelDnsLookup();
  queue_.clear();
  if (fd_ >= 0 && state_ == wsConnected) {
    const linger l{0, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  internalClose(0, false);
}

void TCustomWSocket::ShutDown(int how) {
  if (fd_ >= 0) ::shutdown(fd_, how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR);
}

QString TCustomWSocket::GetLocalAddr() {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw ESocketException(QStringLiteral("winsock.getsockname failed, error #%1").arg(fd_ < 0 ? ENOTSOCK : errno));
  return QString::fromLatin1(inet_ntoa(a.sin_addr));
}

QString TCustomWSocket::GetLocalPort() {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (fd_ < 0 || getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw ESocketException(QStringLiteral("winsock.getsockname failed, error #%1").arg(fd_ < 0 ? ENOTSOCK : errno));
  return QString::number(ntohs(a.sin_port));
}

QString TCustomWSocket::GetPeerAddr() {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (fd_ < 0 || getpeername(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) return {};
  return QString::fromLatin1(inet_ntoa(a.sin_addr));
}

int TCustomWSocket::GetSendBufferSize() {
  int size = 0;
  socklen_t len = sizeof size;
  if (fd_ < 0 || getsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &size, &len) != 0) return -1;
  return size;
}

void TCustomWSocket::SetLingerOption() {
  if (lingerOnOff_ == wsLingerNoSet) return;
  if (fd_ < 0) throw ESocketException(QStringLiteral("Cannot set linger option at this time"));
  const linger l{lingerOnOff_ == wsLingerOn ? 1 : 0, lingerTimeout_};
  setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

void TCustomWSocket::connectDone(int error) {
  QPointer<TCustomWSocket> self(this);
  if (error == 0) {
    setState(wsConnected);
    if (readNotifier_) readNotifier_->setEnabled(true);
    enableWrite(!allSent_);
  } else {
    enableWrite(false);
  }
  guarded([&] {
    if (OnSessionConnected) OnSessionConnected(this, quint16(error));
  });
  if (self && error != 0 && state_ != wsClosed) internalClose(0, false);
}

void TCustomWSocket::deliverData(bool loop) {
  QPointer<TCustomWSocket> self(this);
  const quint64 gen = generation_;
  int before = -1;
  for (;;) {
    if (OnDataAvailable) {
      guarded([&] { OnDataAvailable(this, 0); });
    } else {
      char sink[1024];
      Receive(sink, sizeof sink);
    }
    if (!self || gen != generation_ || !loop) return;
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0 || waiting <= 0) return;
    if (waiting == before) return;  // the handler reads nothing: the next notification retries
    before = waiting;
  }
}

void TCustomWSocket::readReady() {
  QPointer<TCustomWSocket> self(this);
  const quint64 gen = generation_;
  if (state_ == wsListening) {
    guarded([&] {
      if (OnSessionAvailable) OnSessionAvailable(this, 0);
      else if (self && gen == generation_) {
        // Nobody takes the connection: refuse it rather than be told of it again and again.
        const int h = ::accept(fd_, nullptr, nullptr);
        if (h >= 0) ::close(h);
      }
    });
    return;
  }
  if (state_ == wsConnecting) {
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
    connectDone(err);
    if (!self || gen != generation_ || state_ != wsConnected) return;
  }
  if (handshaking_) return continueHandshake();
  if (writeWantsRead_) {
    writeWantsRead_ = false;
    guarded([this] { tryToSend(); });
    if (!self || gen != generation_) return;
  }
  // The handler's own reads tell whether the peer has closed: no extra call to look first.
  receiveCalled_ = peerClosed_ = false;
  peerError_ = 0;
  deliverData(!(options_ & wsoNoReceiveLoop));
  if (!self || gen != generation_) return;
  if (!receiveCalled_) {
    char probe;
    const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR))) return;
    peerClosed_ = true;
    peerError_ = n < 0 ? errno : 0;
  }
  if (!peerClosed_) {
    if (ssl_ && SSL_pending(ssl_) > 0) postReadCheck();
    return;
  }
  const int error = peerError_;
  guarded([&] { raiseClosed(error); });
  if (self && gen == generation_) internalClose(error, false);
}

void TCustomWSocket::writeReady() {
  if (state_ == wsConnecting) {
    int err = 0;
    socklen_t len = sizeof err;
    getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
    connectDone(err);
    return;
  }
  if (handshaking_) return continueHandshake();
  QPointer<TCustomWSocket> self(this);
  const quint64 gen = generation_;
  guarded([&] { tryToSend(); });
  if (!self || gen != generation_ || !allSent_) return;
  // A handler that sends again from OnDataSent, and whose block leaves at once, is told again
  // here rather than after another round of the event loop: one small block at a time would
  // otherwise cost a whole round each. Each Send still gets its one event, after it returned.
  inWriteLoop_ = true;
  for (int round = 0; round < 256; ++round) {
    sentPending_ = false;
    guarded([&] {
      if (OnDataSent) OnDataSent(this, 0);
    });
    if (!self) return;
    if (gen != generation_) break;
    if (!sentPending_ || !allSent_) break;
  }
  inWriteLoop_ = false;
  if (gen == generation_) enableWrite(sentPending_ || !allSent_);
}
