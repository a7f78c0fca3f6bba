#pragma once
// Client side of FTP over two event-driven sockets: the control connection and one data
// connection made anew for each listing or transfer. Every Start... operation sends its first
// command and returns; the engine then advances on socket events and reports the end through
// OnRequestDone (deferred to the event loop) with a request code and an error (0 = success).
// Faults found before anything is sent raise FtpException. TFtpClient adds the synchronous forms.
//
// With TLS asked for, a connection sends AUTH TLS after the greeting, then PBSZ 0 and PROT P, so
// that the password, the listings and the files all travel encrypted (explicit FTPS); the data
// connections resume the control connection's TLS session. A certificate that fails
// verification is put to OnCertificateProblem, and a refused AUTH TLS to OnTlsRefused, before
// anything else is sent.
//
// Texts on the wire are UTF-8. A command argument holding CR or LF is refused before anything
// is sent, and the transcript shows the password as "****".
#include "FtpReply.h"
#include "WSocket.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class FtpException : public TFtpBaseException {
 public:
  using TFtpBaseException::TFtpBaseException;
  QString ClassName() const override { return QStringLiteral("FtpException"); }
};

enum TFtpState {
  fsNotConnected, fsReady, fsInternalReady, fsResolving, fsConnected, fsAborting, fsWaitingBanner,
  fsWaitingReply, fsPassiveReady
};

enum TFtpRequest : quint8 {
  ftpNone = 0, frOpen = 1, frUser = 2, frPass = 3, frCwd = 4, frConnect = 5, frFullGet = 6, frDir = 7,
  frLs = 8, frPort = 9, frGet = 10, frFullDir = 11, frFullLs = 12, frFullSyst = 13, frSyst = 14,
  frQuit = 15, frAbor = 16, frSize = 17, frPut = 18, frAppend = 19, frMkd = 22, frRmd = 23,
  frFullRename = 24, frDele = 25, frRename = 26, frRnto = 27, frRnfr = 28, frFullDele = 29,
  frFullMkd = 30, frFullRmd = 31, frPwd = 32, frQuote = 33, frCdup = 34, frFullQuote = 35,
  frFullPut = 36, frType = 37, frRest = 38, frRestGet = 39, frFullRestGet = 40, frRestPut = 41,
  frFullRestPut = 42, frAuth = 43, frPbsz = 44, frProt = 45
};

enum TFtpTlsMode {
  ftpTlsNone,       // plain FTP
  ftpTlsIfOffered,  // AUTH TLS; a refusal is put to OnTlsRefused (without a handler: go on)
  ftpTlsRequired    // AUTH TLS; a refusal ends the connection
};

// A server certificate that failed verification.
struct TFtpCertificateProblem {
  int error = 0;        // the verification error (OpenSSL's X509_V_ERR_ number)
  QString reason;       // the library's words for it
  QString fingerprint;  // SHA-256 of the certificate, "AB:CD:..."
};

struct ssl_ctx_st;

enum TFtpOption { ftpAcceptLF = 1, ftpNoAutoResumeAt = 2 };
using TFtpOptions = unsigned;

// The sharing flags of the local file. Linux has no sharing modes: they are kept and reported
// but open the file like any other.
enum TFtpShareMode {
  ftpShareCompat = 0, ftpShareExclusive = 16, ftpShareDenyWrite = 32, ftpShareDenyRead = 48,
  ftpShareDenyNone = 64
};

enum TFtpConnectionType { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };

class TCustomFtpCli : public QObject {
  Q_OBJECT
  friend class TFtpClient;

 public:
  explicit TCustomFtpCli(QObject* parent = nullptr);
  ~TCustomFtpCli() override;

  // Properties.
  QString HostName() const { return hostName_; }
  void SetHostName(const QString& v) { hostName_ = v; }
  QString Port() const { return port_; }
  void SetPort(const QString& v) { port_ = v; }
  QString LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const QString& v) { localAddr_ = v; }
  QString UserName() const { return userName_; }
  void SetUserName(const QString& v) { userName_ = v; }
  QString PassWord() const { return passWord_; }
  void SetPassWord(const QString& v) { passWord_ = v; }
  QString HostDirName() const { return hostDirName_; }
  void SetHostDirName(const QString& v) { hostDirName_ = v; }
  QString HostFileName() const { return hostFileName_; }
  void SetHostFileName(const QString& v) { hostFileName_ = v; }
  QString LocalFileName() const { return localFileName_; }
  void SetLocalFileName(const QString& v) { localFileName_ = v; }
  bool DisplayFileFlag() const { return displayFileFlag_; }
  void SetDisplayFileFlag(bool v) { displayFileFlag_ = v; }
  bool Binary() const { return binary_; }
  void SetBinary(bool v) { binary_ = v; }
  QString ErrorMessage() const { return errorMessage_; }
  TFtpShareMode ShareMode() const;
  void SetShareMode(TFtpShareMode v) { shareMode_ = int(v); }
  TFtpOptions Options() const { return options_; }
  void SetOptions(TFtpOptions v) { options_ = v; }
  TFtpConnectionType ConnectionType() const { return connectionType_; }
  void SetConnectionType(TFtpConnectionType v);  // "FTP component connected" while connected
  QString ProxyServer() const { return proxyServer_; }
  void SetProxyServer(const QString& v) { proxyServer_ = v; }
  QString SocksServer, SocksPort, SocksUserCode, SocksPassword;  // kept; no SOCKS negotiation
  TFtpTlsMode TlsMode() const { return tlsMode_; }
  void SetTlsMode(TFtpTlsMode v) { tlsMode_ = v; }
  // A certificate or authority trusted besides the system's.
  QString CaFile() const { return caFile_; }
  void SetCaFile(const QString& v);
  bool Encrypted() const { return encrypted_; }        // the control connection is under TLS
  bool DataProtected() const { return dataProtected_; }  // PROT P was accepted

  // Public state.
  int StatusCode() const { return statusCode_; }
  QString LastResponse() const { return lastResponse_; }
  QString ResultDir() const { return resultDir_; }
  qint64 ResultSize() const { return resultSize_; }
  qint64 TransferCount() const { return transferCount_; }
  qint64 RestartOffset() const { return restartOffset_; }
  void SetRestartOffset(qint64 v) { restartOffset_ = v; }
  TFtpRequest CurrentRequest() const { return requestType_; }
  int RequestError() const { return requestError_; }
  bool IsConnected() const { return controlSocket_->State() != wsClosed; }
  TFtpState State() const { return state_; }
  bool Passive() const { return passive_; }
  TWSocket* ControlSocket() { return controlSocket_; }
  TWSocket* DataSocket() { return dataSocket_; }

  // Events.
  std::function<void(TCustomFtpCli*, QString& msg)> OnDisplay, OnDisplayFile;
  std::function<void(TCustomFtpCli*, QString& cmd)> OnCommand;
  std::function<void(TCustomFtpCli*)> OnResponse, OnStateChange;
  std::function<void(TCustomFtpCli*, qint64 count, bool& abort)> OnProgress;
  std::function<void(TCustomFtpCli*, quint16 error)> OnSessionConnected, OnSessionClosed;
  std::function<void(TCustomFtpCli*, TFtpRequest rq, quint16 error)> OnRequestDone;
  std::function<void(TCustomFtpCli*, bool& cancel)> OnReadyToTransmit;
  std::function<void(TCustomFtpCli*, const std::exception& e, bool& canClose)> OnBgException;
  // The certificate failed verification: accept to go on with this connection only. Without a
  // handler the certificate is refused.
  std::function<void(TCustomFtpCli*, const TFtpCertificateProblem& problem, bool& accept)> OnCertificateProblem;
  // The server refused AUTH TLS (ftpTlsIfOffered): goOn to continue in clear.
  std::function<void(TCustomFtpCli*, bool& goOn)> OnTlsRefused;
  // When set, faults found before sending go here instead of being raised.
  std::function<void(TCustomFtpCli*, const QString& msg)> OnError;

  // Single commands.
  virtual void StartOpen();
  virtual void StartUser();
  virtual void StartPass();
  virtual void StartCwd();
  virtual void StartType();
  void StartTypeBinary();  // Binary := true, then TYPE
  void StartTypeAscii();   // Binary := false, then TYPE
  virtual void StartMkd();
  virtual void StartRmd();
  virtual void StartDele();
  virtual void StartSize();
  virtual void StartPwd();
  virtual void StartCDup();
  virtual void StartRnfr();
  virtual void StartRnto();
  virtual void StartSyst();
  virtual void StartQuote();
  virtual void StartAbort();  // sends ABOR
  virtual void StartQuit();  // without a connection: done at once, successfully
  // Data steps alone (after a Port step): LIST, NLST, RETR, STOR, APPE, REST.
  virtual void StartPort();
  virtual void StartList();
  virtual void StartNlst();
  virtual void StartRetr();
  virtual void StartStor();
  virtual void StartAppe();
  virtual void StartRest();
  // Sequences.
  virtual void StartConnect();
  virtual void StartDir();
  virtual void StartLs();
  virtual void StartGet();
  virtual void StartPut();
  virtual void StartAppend();
  virtual void StartRename();
  virtual void StartRestGet();
  virtual void StartRestPut();
  virtual void StartFullGet();
  virtual void StartFullDir();
  virtual void StartFullLs();
  virtual void StartFullSyst();
  virtual void StartFullSize();
  virtual void StartFullRename();
  virtual void StartFullDele();
  virtual void StartFullMkd();
  virtual void StartFullRmd();
  virtual void StartFullQuote();
  virtual void StartFullPut();
  virtual void StartFullAppend();
  virtual void StartFullRestGet();
  virtual void StartFullRestPut();

  virtual void AbortNow();  // local abort: closes everything, sends nothing
  // Whether a command may carry arg, and the text of the refusal when it may not.
  static bool ArgumentAccepted(const QString& arg);
  static QString ArgumentRefusal();
  void SetPassive(bool on);

 protected:
  // Raises OnProgress; true when the handler asks to abort.
  virtual bool TriggerProgress();
  virtual void TriggerDisplay(const QString& line);

 private:
  enum Step : unsigned {
    sOpen = 1u << 0, sUser = 1u << 1, sPass = 1u << 2, sCwd = 1u << 3, sCDup = 1u << 4,
    sTypeSet = 1u << 5, sPort = 1u << 6, sRest = 1u << 7, sGet = 1u << 8, sPut = 1u << 9,
    sAppend = 1u << 10, sDir = 1u << 11, sLs = 1u << 12, sSyst = 1u << 13, sMkd = 1u << 14,
    sRmd = 1u << 15, sRenFrom = 1u << 16, sRenTo = 1u << 17, sSize = 1u << 18, sDele = 1u << 19,
    sPwd = 1u << 20, sAbort = 1u << 21, sQuote = 1u << 22, sQuit = 1u << 23, sAuth = 1u << 24,
    sPbsz = 1u << 25, sProt = 1u << 26, sNone = 0
  };
  using Handler = void (TCustomFtpCli::*)();

  void setState(TFtpState s);
  void fail(const QString& msg);  // raise, or hand to OnError (the caller then stops)
  bool checkArgument(const QString& arg);
  bool checkSequenceArguments(unsigned steps);
  bool ready() const { return state_ == fsReady || state_ == fsInternalReady; }
  static qint64 now();
  void completionCheck();
  void display(const QString& line) { TriggerDisplay(line); }
  void runCommand(TFtpRequest rq, Step step, const QString& line, std::initializer_list<int> ok,
                  Handler hook = nullptr);
  void sendCommand(const QString& line);
  void replyEvaluation();
  void extractResult();
  void doneQuit();
  void controlDataAvailable();
  void controlSessionConnected(quint16 error);
  void controlSessionClosed(quint16 error);
  void controlDnsLookupDone(quint16 error);
  void openStep();
  void startSequence(TFtpRequest rq, unsigned steps);
  void nextStep();
  void triggerRequestDone(int error);
  void setErrorMessage() {
    if (errorMessage_.isEmpty()) errorMessage_ = lastResponse_;
  }
  void failRequest(int status, const QString& response, int error);  // for made-up replies
  // Data transfers.
  void portStep();
  void restStep();
  void receiveStep(TFtpRequest rq, const QString& command);
  void sendStep(TFtpRequest rq);
  int acceptFromServer();  // the server's data connection, or -1 (another peer is turned away)
  void receiveAccept();
  void receiveConnected(quint16 error);
  void receiveFirstReply();
  void receiveSecondReply();
  void receiveData();
  void receiveClosed(quint16 error);
  void sendAccept();
  void sendConnected(quint16 error);
  void sendFirstReply();
  void sendSecondReply();
  void sendNext(quint16 error);
  void sendClosed(quint16 error);
  void postStartSending();
  void transferStatistics();
  // TLS.
  ssl_ctx_st* tlsContext();
  void authStep();
  void authReply();
  void controlTlsDone(quint16 error);
  void tlsAccepted();
  void failControl(int status, const QString& response);  // the request ends and the connection too
  void askLater(std::function<void()> question);
  void startDataTls();
  void dataTlsDone(quint16 error);
  void closeLocalFile() { localFile_.reset(); }
  void clearDataHandlers();
  void connectData(bool sending);
  void failDataConnection(int status, const TFtpBaseException& e);
  // Ends a transfer that could not start or lost its data connection with status; why becomes
  // the made-up reply, or (logged) the error message shown in the transcript.
  void failTransfer(int status, const QString& why, bool logged = false);
  void transferRefused(const QString& commands);
  void abortData();  // progress asked to stop

  QString hostName_, port_ = QStringLiteral("ftp"), localAddr_ = QStringLiteral("0.0.0.0");
  QString userName_, passWord_, hostDirName_, hostFileName_, localFileName_;
  bool displayFileFlag_ = false, binary_ = true;
  QString errorMessage_;
  int shareMode_ = ftpShareExclusive;
  TFtpOptions options_ = ftpAcceptLF;
  TFtpConnectionType connectionType_ = ftpDirect;
  QString proxyServer_;

  int statusCode_ = 0;
  QString lastResponse_, resultDir_;
  qint64 resultSize_ = 0, transferCount_ = 0, restartOffset_ = 0;
  TFtpRequest requestType_ = ftpNone;
  int requestError_ = 0;
  TFtpState state_ = fsReady;

  std::array<int, 16> okResponses_{};
  Handler next_ = nullptr;      // reply handler of the next final line
  Handler doneAsync_ = nullptr; // completion hook (QUIT)
  unsigned fctSet_ = 0;
  Step fctPrv_ = sNone;
  int highLevelResult_ = 0;
  bool highLevelFlag_ = false;
  bool inStartCall_ = false;  // a step raising inside the starting call reaches the caller
  QString savedResponse_;
  int savedStatus_ = -1;
  Handler nextRequest_ = nullptr;  // continuation of a sequence
  bool requestDoneFlag_ = false;
  ftp::ReplyAssembler receive_;
  bool passive_ = false;
  QByteArray pasvResponse_;
  bool connected_ = false;

  // The transfer under way.
  QString dataCommand_;
  bool controlDone_ = false, dataDone_ = false, uploadAccepted_ = false, dataOpen_ = false, eof_ = false;
  int dataError_ = 0;
  qint64 startTick_ = 0, stopTick_ = 0;
  std::unique_ptr<QFile> localFile_;
  std::unique_ptr<char[]> dataBuffer_;
  quint64 transferSerial_ = 0;  // tells a posted step whether its transfer is still the current one

  TFtpTlsMode tlsMode_ = ftpTlsNone;
  QString caFile_;
  ssl_ctx_st* tlsContext_ = nullptr;
  bool encrypted_ = false, dataProtected_ = false;
  bool dataCommandSent_ = false;  // the data connection may start its TLS handshake
  QString serverCertificate_;  // fingerprint of the control connection's certificate

  TWSocket* controlSocket_;
  TWSocket* dataSocket_;
};

class TFtpClient : public TCustomFtpCli {
  Q_OBJECT
 public:
  using Operation = void (TCustomFtpCli::*)();
  explicit TFtpClient(QObject* parent = nullptr);

  int Timeout() const { return timeout_; }
  void SetTimeout(int seconds) { timeout_ = seconds; }
  // Kept for its users: either way the wait pumps the thread's one event loop.
  bool MultiThreaded() const { return multiThreaded_; }
  void SetMultiThreaded(bool v) { multiThreaded_ = v; }

  // Runs op, then waits; true when it ended with RequestError 0. An exception of op gives false.
  bool RunAndWait(Operation op);
  // Pumps events until the engine is ready again; on time out aborts and answers false with
  // ErrorMessage "426 Timeout".
  bool WaitIdle();
  bool QuitAndWait() { return RunAndWait(&TCustomFtpCli::StartQuit); }
  bool AbortAndWait() { return RunAndWait(&TCustomFtpCli::AbortNow); }

 protected:
  bool TriggerProgress() override;

 private:
  int timeout_ = 15;
  bool multiThreaded_ = false;
  QElapsedTimer waitClock_;
  qint64 deadline_ = 0;
};
