#pragma once
// Event-driven TCP sockets for the FTP engine: non-blocking POSIX sockets whose readiness comes
// from QSocketNotifier on the owning thread's event loop, name lookup by QHostInfo. Every result
// arrives as an event (a std::function member, each optional) called from that loop; handlers may
// call back into the socket. Error numbers are the platform's errno values, except name lookup
// failures, which use 11001 to 11004 as the platform has no errno for them.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <exception>
#include <functional>
#include <memory>

class QSocketNotifier;
class QHostInfo;
struct ssl_st;
struct ssl_ctx_st;
struct ssl_session_st;

// Base of the exceptions of the FTP subsystem: an English text, and the class name that the
// engine quotes in the replies it makes up.
class TFtpBaseException : public std::exception {
 public:
  explicit TFtpBaseException(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}
  const QString& Message() const { return message_; }
  virtual QString ClassName() const = 0;
  const char* what() const noexcept override { return utf8_.constData(); }

 private:
  QString message_;
  QByteArray utf8_;
};

class ESocketException : public TFtpBaseException {
 public:
  using TFtpBaseException::TFtpBaseException;
  QString ClassName() const override { return QStringLiteral("ESocketException"); }
};

enum TSocketState { wsInvalidState, wsOpened, wsBound, wsConnecting, wsConnected, wsAccepting, wsListening, wsClosed };
enum TWSocketOption { wsoNoReceiveLoop = 1, wsoTcpNoDelay = 2 };
using TWSocketOptions = unsigned;
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

// One queued block of outgoing bytes.
struct TBuffer {
  explicit TBuffer(int size);
  std::unique_ptr<char[]> Buf;
  int FBufSize;
  int WrCount = 0;
  int RdCount = 0;
  int Write(const char* data, int len);  // as much as fits; the count taken
};

class TCustomWSocket;
using TSocketEvent = std::function<void(TCustomWSocket* sender, quint16 error)>;

class TCustomWSocket : public QObject {
  Q_OBJECT
 public:
  explicit TCustomWSocket(QObject* parent = nullptr);
  ~TCustomWSocket() override;

  // The text of an error number (English, as the engine quotes it in its replies).
  static QString WSocketErrorDesc(int error);

  QString Addr() const { return addr_; }
  void SetAddr(const QString& a);
  QString Port() const { return port_; }
  void SetPort(const QString& p);
  QString Proto() const { return proto_; }
  void SetProto(const QString& p);  // only while closed
  QString LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const QString& a) { localAddr_ = a; }
  QString LocalPort() const { return localPort_; }
  void SetLocalPort(const QString& p) { localPort_ = p; }
  QString DnsResult() const { return dnsResultList_.value(0); }
  QStringList DnsResultList() const { return dnsResultList_; }
  TSocketState State() const { return state_; }
  int LastError() const { return lastError_; }
  qint64 ReadCount() const { return readCount_; }
  TWSocketOptions ComponentOptions() const { return options_; }
  void SetComponentOptions(TWSocketOptions o) { options_ = o; }
  TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
  void SetLingerOnOff(TSocketLingerOnOff l) { lingerOnOff_ = l; }
  int LingerTimeout() const { return lingerTimeout_; }
  void SetLingerTimeout(int seconds) { lingerTimeout_ = seconds; }
  bool MultiThreaded() const { return multiThreaded_; }
  void SetMultiThreaded(bool m) { multiThreaded_ = m; }
  int BufSize() const { return bufSize_; }
  int Handle() const { return fd_; }

  void DnsLookup(const QString& host);
  void CancelDnsLookup();
  void Connect();
  void Listen();
  // The waiting connection's handle, or -1; peer, when given, receives its address.
  int Accept(QString* peer = nullptr);
  void Dup(int handle);
  int Send(const char* data, int len);
  int SendStr(const QByteArray& s);
  int Receive(char* buffer, int len);
  void Close();
  void CloseDelayed();
  void Abort();  // closes at once, dropping what is queued, without shutting down first
  void ShutDown(int how);
  QString GetLocalAddr();  // the socket's own address and port as the platform reports them
  QString GetLocalPort();
  QString GetPeerAddr();   // the connected peer's address, empty when there is none
  int GetSendBufferSize(); // -1 when the platform refuses
  void SetLingerOption();
  bool AllSent() const { return allSent_; }
  // Closes at once, telling OnSessionClosed the error (a data connection whose TLS failed).
  void CloseWithError(int error);

  // TLS on the connected socket, client side. When given, session is offered for resumption
  // (servers insist that a data connection resume the control connection's session). The host
  // name or address is what the certificate must name. The handshake runs on the socket's
  // events; bytes sent meanwhile wait in the queue, reads find nothing; OnTlsDone follows.
  void StartTls(ssl_ctx_st* context, const QString& host, ssl_session_st* session);
  bool TlsActive() const { return ssl_ != nullptr; }
  bool TlsHandshaking() const { return handshaking_; }
  ssl_st* Ssl() const { return ssl_; }
  QString TlsError() const { return tlsError_; }  // why the handshake failed (the library's words)
  TSocketEvent OnTlsDone;  // Error 0: encrypted from now on; otherwise TlsError() says why

  TSocketEvent OnDnsLookupDone, OnSessionConnected, OnSessionAvailable, OnDataAvailable, OnDataSent,
      OnSessionClosed;
  std::function<void(TCustomWSocket*, TSocketState oldState, TSocketState newState)> OnChangeState;
  std::function<void(TCustomWSocket*)> OnError;
  std::function<void(TCustomWSocket*, const std::exception& e, bool& canClose)> OnBgException;

 private:
  void setState(TSocketState s);
  void assignDefaults();
  void openHandle();  // socket() plus notifiers
  void dropHandle();  // close() and notifiers gone, no events
  void enableWrite(bool on);
  void socketError(const QString& function, int error);
  void tryToSend();
  // Hands bytes to the system (through TLS when it is on): the count taken; 0 when the socket is
  // full or TLS waits for the peer; -1 when the connection failed and was closed.
  int writeSome(const char* p, int n);
  void internalClose(int error, bool shutdownFirst);
  void raiseClosed(int error);
  // Runs a handler; an escaping exception goes to OnBgException and aborts the socket.
  void guarded(const std::function<void()>& f);
  void readReady();
  void writeReady();
  void connectDone(int error);
  void deliverData(bool loop);
  void lookupDone(const QHostInfo& info);
  void continueHandshake();
  void freeTls();
  void postReadCheck();  // TLS may hold decrypted bytes that no socket event will announce

  int fd_ = -1;
  quint64 generation_ = 0;  // tells a posted request whether its connection still exists
  QSocketNotifier* readNotifier_ = nullptr;
  QSocketNotifier* writeNotifier_ = nullptr;
  TSocketState state_ = wsClosed;
  QString addr_, port_, proto_, localAddr_, localPort_;
  bool addrAssigned_ = false, portAssigned_ = false;
  QStringList dnsResultList_;
  int lookupId_ = -1;
  int lastError_ = 0;
  qint64 readCount_ = 0;
  TWSocketOptions options_ = 0;
  TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
  int lingerTimeout_ = 0;
  bool multiThreaded_ = false;
  int bufSize_ = 1460;
  std::deque<std::unique_ptr<TBuffer>> queue_;
  bool allSent_ = true;
  bool closeRaised_ = false;
  bool sentPending_ = false;  // a Send emptied the queue at once: its OnDataSent is due
  bool inWriteLoop_ = false;
  bool receiveCalled_ = false;  // during one read notification: the handler read
  bool peerClosed_ = false;     // a read found the end of the stream, or a fatal error
  int peerError_ = 0;  // OnDataSent handlers are being told: the loop decides on writability
  ssl_st* ssl_ = nullptr;
  bool handshaking_ = false;
  bool writeWantsRead_ = false;  // a TLS write waits for the peer's bytes before it can go on
  QString tlsError_;
};

// SOCKS, line mode and the synchronous helpers would sit between these two; the engine uses none
// of them, so the socket proper is the whole of it.
class TWSocket : public TCustomWSocket {
  Q_OBJECT
 public:
  using TCustomWSocket::TCustomWSocket;
};
