#include "FtpCli.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <csignal>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// One read per data event, of what has arrived up to this much: 4096 bytes a read cost a
// download about twice curl's processor time.
constexpr int kDownloadBlock = 65536;
// An upload reads this much at a time and hands it to the socket, as long as the socket takes it.
constexpr int kUploadBlock = 65536;

// A reply line whose first character is not a digit, or whose number is followed by "-", is a
// continuation of a multi-line reply.
bool isContinuation(const QString& line) {
  if (line.isEmpty() || !line[0].isDigit()) return true;
  qsizetype i = 0;
  while (i < line.size() && line[i].isDigit()) ++i;
  return i < line.size() && line[i] == u'-';
}

// The SHA-256 fingerprint of the peer's certificate, empty without one.
QString fingerprintOf(SSL* ssl) {
  X509* cert = ssl ? SSL_get1_peer_certificate(ssl) : nullptr;
  if (!cert) return {};
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  QString out;
  if (X509_digest(cert, EVP_sha256(), md, &n) == 1)
    out = QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(md), int(n)).toHex(':').toUpper());
  X509_free(cert);
  return out;
}

QString socketErrorForm(int e) {
  return TCustomWSocket::WSocketErrorDesc(e) + QStringLiteral(" (Winsock error #%1)").arg(e);
}

}  // namespace

TCustomFtpCli::TCustomFtpCli(QObject* parent)
    : QObject(parent), dataBuffer_(new char[qMax(kDownloadBlock, kUploadBlock)]), controlSocket_(new TWSocket(this)),
      dataSocket_(new TWSocket(this)) {
  controlSocket_->OnDnsLookupDone = [this](TCustomWSocket*, quint16 e) { controlDnsLookupDone(e); };
  controlSocket_->OnSessionConnected = [this](TCustomWSocket*, quint16 e) { controlSessionConnected(e); };
  controlSocket_->OnDataAvailable = [this](TCustomWSocket*, quint16) { controlDataAvailable(); };
  controlSocket_->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { controlSessionClosed(e); };
  // An exception escaping one of our handlers reaches the owner of the engine.
  for (TWSocket* s : {controlSocket_, dataSocket_})
    s->OnBgException = [this](TCustomWSocket*, const std::exception& e, bool& canClose) {
      if (OnBgException) OnBgException(this, e, canClose);
    };
}

TCustomFtpCli::~TCustomFtpCli() {
  closeLocalFile();
  if (tlsContext_) SSL_CTX_free(tlsContext_);  // the sockets' sessions hold their own reference
  // The sockets go with the engine; nothing of theirs may call back into it any more.
  for (TWSocket* s : {controlSocket_, dataSocket_}) {
    s->OnDnsLookupDone = s->OnSessionConnected = s->OnDataAvailable = s->OnSessionClosed = s->OnDataSent =
        s->OnSessionAvailable = nullptr;
    s->OnBgException = nullptr;
  }
}

qint64 TCustomFtpCli::now() { return QDateTime::currentMSecsSinceEpoch(); }

TFtpShareMode TCustomFtpCli::ShareMode() const {
  switch (shareMode_) {
    case ftpShareCompat: case ftpShareDenyWrite: case ftpShareDenyRead: case ftpShareDenyNone:
      return TFtpShareMode(shareMode_);
    default:
      return ftpShareExclusive;
  }
}

void TCustomFtpCli::SetConnectionType(TFtpConnectionType v) {
  if (IsConnected()) {
    fail(QStringLiteral("FTP component connected"));
    return;
  }
  connectionType_ = v;
  if (v == ftpSocks4 || v == ftpSocks4A || v == ftpSocks5) passive_ = true;
}

void TCustomFtpCli::SetCaFile(const QString& v) {
  caFile_ = v;
  if (tlsContext_) SSL_CTX_free(tlsContext_);
  tlsContext_ = nullptr;  // made again with the new file at the next connection
}

void TCustomFtpCli::SetPassive(bool on) { passive_ = connectionType_ == ftpDirect ? on : true; }

void TCustomFtpCli::setState(TFtpState s) {
  if (s == state_) return;
  state_ = s;
  if (OnStateChange) OnStateChange(this);
}

void TCustomFtpCli::fail(const QString& msg) {
  if (OnError) {
    OnError(this, msg);
    return;
  }
  throw FtpException(msg);
}

bool TCustomFtpCli::ArgumentAccepted(const QString& arg) {
  // A line break inside an argument would end the command early and start another one.
  return !arg.contains(u'\r') && !arg.contains(u'\n');
}

QString TCustomFtpCli::ArgumentRefusal() {
  return QStringLiteral("Argument de commande refusé : il contient un retour à la ligne");
}

bool TCustomFtpCli::checkArgument(const QString& arg) {
  if (ArgumentAccepted(arg)) return true;
  fail(ArgumentRefusal());
  return false;
}

bool TCustomFtpCli::checkSequenceArguments(unsigned steps) {
  if ((steps & sUser) && !checkArgument(userName_)) return false;
  if ((steps & sPass) && !checkArgument(passWord_)) return false;
  if ((steps & sCwd) && !checkArgument(hostDirName_)) return false;
  const unsigned onHostFile = sGet | sPut | sAppend | sDir | sLs | sMkd | sRmd | sRenFrom | sSize | sDele;
  if ((steps & onHostFile) && !checkArgument(hostFileName_)) return false;
  if ((steps & (sRenTo | sQuote)) && !checkArgument(localFileName_)) return false;
  return true;
}

void TCustomFtpCli::TriggerDisplay(const QString& line) {
  if (!OnDisplay) return;
  QString msg = line;
  OnDisplay(this, msg);
}

bool TCustomFtpCli::TriggerProgress() {
  bool abort = false;
  if (OnProgress) OnProgress(this, transferCount_ + restartOffset_, abort);
  return abort;
}

// ---------------------------------------------------------------- commands and replies

void TCustomFtpCli::runCommand(TFtpRequest rq, Step step, const QString& line, std::initializer_list<int> ok,
                               Handler hook) {
  if (!checkArgument(line)) return;
  // QUIT and ABOR skip the checks so that they can interrupt; without a connection, though,
  // their reply would be awaited forever and the engine never be ready again.
  if (!connected_ && controlSocket_->State() != wsConnected) {
    if (step == sQuit) {
      if (!highLevelFlag_) requestType_ = rq;
      fctPrv_ = step;
      requestDoneFlag_ = false;
      requestError_ = 0;
      triggerRequestDone(0);
      return;
    }
    if (step == sAbort) return fail(QStringLiteral("FTP component not connected"));
  }
  if (line != QLatin1String("ABOR") && line != QLatin1String("STAT") && line != QLatin1String("QUIT")) {
    // After PASV the state stays "passive ready" until the transfer: a REST between the two
    // must still go out, or no passive transfer could ever resume.
    if (!ready() && state_ != fsPassiveReady) return fail(QStringLiteral("FTP component not ready"));
    if (!connected_) return fail(QStringLiteral("FTP component not connected"));
  }
  fctPrv_ = step;
  if (!highLevelFlag_) requestType_ = rq;
  okResponses_.fill(0);
  int i = 0;
  for (int code : ok)
    if (i < int(okResponses_.size()) - 1) okResponses_[size_t(i++)] = code;
  requestDoneFlag_ = false;
  next_ = &TCustomFtpCli::replyEvaluation;
  doneAsync_ = hook;
  errorMessage_.clear();
  setState(fsWaitingReply);
  sendCommand(line);
}

void TCustomFtpCli::sendCommand(const QString& line) {
  QString text = line;
  if (OnCommand) OnCommand(this, text);
  // The transcript may be shown or kept: the password stays out of it.
  const bool isPass = text.startsWith(QLatin1String("PASS "), Qt::CaseInsensitive);
  display(QStringLiteral("> ") + (isPass ? QStringLiteral("PASS ****") : text));
  if (controlSocket_->State() == wsConnected) controlSocket_->SendStr(text.toUtf8() + "\r\n");
}

void TCustomFtpCli::replyEvaluation() {
  display(QStringLiteral("< ") + lastResponse_);
  const QByteArray line = lastResponse_.toUtf8();
  statusCode_ = ftp::replyCode(line);
  bool accepted;
  if (okResponses_[0] == 0) {
    accepted = statusCode_ < 500;
  } else {
    accepted = false;
    for (int code : okResponses_) {
      if (code == 0) break;
      if (code == statusCode_) {
        accepted = true;
        break;
      }
    }
  }
  if (accepted) {
    requestError_ = 0;
  } else {
    requestError_ = statusCode_;
    setErrorMessage();
  }
  if (passive_ && statusCode_ == 227) {
    setState(fsPassiveReady);
    pasvResponse_ = line;
  }
  if (requestError_ == 0) extractResult();
  if (doneAsync_) (this->*doneAsync_)();
  else triggerRequestDone(requestError_);
}

void TCustomFtpCli::extractResult() {
  const QByteArray line = lastResponse_.toUtf8();
  if (fctPrv_ == sProt) dataProtected_ = true;
  if (fctPrv_ == sSize) resultSize_ = ftp::secondInteger(line);
  else if (fctPrv_ == sCwd || fctPrv_ == sMkd || fctPrv_ == sPwd || fctPrv_ == sCDup)
    resultDir_ = QString::fromUtf8(ftp::quotedName(line));
}

void TCustomFtpCli::doneQuit() { controlSocket_->Close(); }

void TCustomFtpCli::controlDataAvailable() {
  const int n = controlSocket_->Receive(receive_.writePosition(), receive_.spaceLeft());
  if (n == 0) {
    // The peer closed, or a line longer than the buffer filled it.
    controlSocket_->Close();
    return;
  }
  if (n < 0) return;
  receive_.commit(n);
  QByteArray line;
  while (receive_.takeLine(line, options_ & ftpAcceptLF)) {
    lastResponse_ = QString::fromUtf8(line);
    if (OnResponse) OnResponse(this);
    if (state_ == fsWaitingBanner) {
      display(QStringLiteral("< ") + lastResponse_);
      if (isContinuation(lastResponse_)) continue;
      statusCode_ = ftp::replyCode(line);
      if (statusCode_ != 220) {
        setErrorMessage();
        requestError_ = statusCode_;
        controlSocket_->Close();
        return;
      }
      setState(fsConnected);
      if (OnSessionConnected) OnSessionConnected(this, 0);
      triggerRequestDone(0);
    } else if (state_ == fsWaitingReply) {
      if (isContinuation(lastResponse_)) {
        display(QStringLiteral("< ") + lastResponse_);
        continue;
      }
      if (!next_) return fail(QStringLiteral("Program error: FNext is nil"));
      (this->*next_)();
    } else {
      display(QStringLiteral("< ") + lastResponse_);
    }
    if (controlSocket_->State() == wsClosed) return;
  }
}

// ---------------------------------------------------------------- the control connection

void TCustomFtpCli::StartOpen() {
  if (!ready()) return fail(QStringLiteral("FTP component not ready"));
  if (connected_) return fail(QStringLiteral("FTP component already connected"));
  openStep();
}

void TCustomFtpCli::openStep() {
  if (!highLevelFlag_) requestType_ = frOpen;
  fctPrv_ = sOpen;
  requestDoneFlag_ = false;
  encrypted_ = dataProtected_ = false;
  receive_.clear();
  requestError_ = 0;
  setState(fsResolving);
  try {
    controlSocket_->DnsLookup(connectionType_ == ftpProxy ? proxyServer_ : hostName_);
  } catch (...) {
    setState(fsReady);
    throw;
  }
}

void TCustomFtpCli::controlDnsLookupDone(quint16 error) {
  if (error != 0) {
    failRequest(500, QStringLiteral("500 ") + socketErrorForm(error), error);
    return;
  }
  controlSocket_->SetAddr(controlSocket_->DnsResult());
  controlSocket_->SetLocalAddr(localAddr_);
  controlSocket_->SetProto(QStringLiteral("tcp"));
  controlSocket_->SetPort(connectionType_ == ftpProxy ? QStringLiteral("ftp") : port_);
  setState(fsWaitingBanner);
  try {
    controlSocket_->Connect();
  } catch (const TFtpBaseException& e) {
    failRequest(500, QStringLiteral("500 ") + e.ClassName() + QStringLiteral(": ") + e.Message(), 500);
  }
}

void TCustomFtpCli::failRequest(int status, const QString& response, int error) {
  lastResponse_ = response;
  statusCode_ = requestError_ = status;
  setErrorMessage();
  triggerRequestDone(error);
}

void TCustomFtpCli::controlSessionConnected(quint16 error) {
  if (error == 0) {
    connected_ = true;
    return;
  }
  lastResponse_ = QStringLiteral("500 ") + socketErrorForm(error);
  statusCode_ = requestError_ = 500;
  setErrorMessage();
  nextRequest_ = nullptr;
  triggerRequestDone(error);
  controlSocket_->Close();
  setState(fsReady);
}

void TCustomFtpCli::controlSessionClosed(quint16 error) {
  // A reply was awaited (other than QUIT's) and will never come: that is a failure, not a success.
  const bool replyLost = (state_ == fsWaitingReply || state_ == fsWaitingBanner) && fctPrv_ != sQuit &&
                         error == 0 && requestError_ == 0;
  encrypted_ = dataProtected_ = false;
  if (connected_) {
    connected_ = false;
    if (state_ != fsAborting) setState(fsNotConnected);
    if (OnSessionClosed) OnSessionClosed(this, error);
  }
  if (state_ != fsAborting) setState(fsInternalReady);
  if (error != 0) {
    lastResponse_ = QStringLiteral("500 Control connection closed. ") + socketErrorForm(error);
    statusCode_ = requestError_ = 500;
    setErrorMessage();
  } else if (replyLost) {
    lastResponse_ = QStringLiteral("500 Control connection closed.");
    statusCode_ = requestError_ = 500;
    setErrorMessage();
  }
  closeLocalFile();
  triggerRequestDone(requestError_);
}

// ---------------------------------------------------------------- completion

void TCustomFtpCli::triggerRequestDone(int error) {
  if (requestDoneFlag_) return;
  requestDoneFlag_ = true;
  if (error == 0 && nextRequest_) {
    if (state_ != fsAborting && state_ != fsPassiveReady) setState(fsInternalReady);
    (this->*nextRequest_)();
    return;
  }
  setState(fsReady);
  if (dataSocket_->State() != wsClosed) dataSocket_->Close();
  if (highLevelFlag_ && savedStatus_ >= 0) {
    lastResponse_ = savedResponse_;
    statusCode_ = savedStatus_;
  }
  highLevelFlag_ = false;
  nextRequest_ = nullptr;
  // Never from inside the call that started the operation, nor from a socket handler. The code
  // is the one of the request that ended, even if another has started by the time it is told.
  QMetaObject::invokeMethod(this, [this, error, rq = requestType_] {
    try {
      if (OnRequestDone) OnRequestDone(this, rq, quint16(error));
    } catch (const std::exception& e) {
      bool canClose = true;
      if (OnBgException) OnBgException(this, e, canClose);
    }
  }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------- single commands

void TCustomFtpCli::StartUser() {
  if (userName_.isEmpty()) return fail(QStringLiteral("UserName emtpy"));
  QString line = QStringLiteral("USER ") + userName_;
  if (connectionType_ == ftpProxy) {
    line += u'@' + hostName_;
    if (port_.compare(QLatin1String("ftp"), Qt::CaseInsensitive) != 0 && port_ != QLatin1String("21"))
      line += u':' + port_;
  }
  runCommand(frUser, sUser, line, {331, 230});
}

void TCustomFtpCli::StartPass() {
  if (passWord_.isEmpty()) return fail(QStringLiteral("Password emtpy"));
  runCommand(frPass, sPass, QStringLiteral("PASS ") + passWord_, {230});
}

void TCustomFtpCli::StartCwd() {
  if (hostDirName_.isEmpty()) return fail(QStringLiteral("HostDirName emtpy"));
  runCommand(frCwd, sCwd, QStringLiteral("CWD ") + hostDirName_, {200, 250, 257});
}

void TCustomFtpCli::StartType() {
  runCommand(frType, sTypeSet, QStringLiteral("TYPE ") + (binary_ ? u'I' : u'A'), {200});
}

void TCustomFtpCli::StartTypeBinary() {
  binary_ = true;
  StartType();
}

void TCustomFtpCli::StartTypeAscii() {
  binary_ = false;
  StartType();
}

void TCustomFtpCli::StartMkd() { runCommand(frMkd, sMkd, QStringLiteral("MKD ") + hostFileName_, {250, 257}); }
void TCustomFtpCli::StartRmd() { runCommand(frRmd, sRmd, QStringLiteral("RMD ") + hostFileName_, {250, 257}); }
void TCustomFtpCli::StartDele() { runCommand(frDele, sDele, QStringLiteral("DELE ") + hostFileName_, {250, 257}); }

void TCustomFtpCli::StartSize() {
  if (!checkArgument(hostFileName_)) return;
  resultSize_ = 0;
  runCommand(frSize, sSize, QStringLiteral("SIZE ") + hostFileName_, {213});
}

void TCustomFtpCli::StartPwd() { runCommand(frPwd, sPwd, QStringLiteral("PWD"), {250, 257}); }
void TCustomFtpCli::StartCDup() { runCommand(frCdup, sCDup, QStringLiteral("CDUP"), {250, 257}); }
void TCustomFtpCli::StartRnfr() { runCommand(frRnfr, sRenFrom, QStringLiteral("RNFR ") + hostFileName_, {350}); }
void TCustomFtpCli::StartRnto() { runCommand(frRnto, sRenTo, QStringLiteral("RNTO ") + localFileName_, {200, 250, 257}); }
void TCustomFtpCli::StartSyst() { runCommand(frSyst, sSyst, QStringLiteral("SYST"), {215}); }
void TCustomFtpCli::StartQuote() { runCommand(frQuote, sQuote, localFileName_, {}); }
void TCustomFtpCli::StartAbort() { runCommand(frAbor, sAbort, QStringLiteral("ABOR"), {}); }

void TCustomFtpCli::StartQuit() {
  closeLocalFile();
  runCommand(frQuit, sQuit, QStringLiteral("QUIT"), {221}, &TCustomFtpCli::doneQuit);
}

// ---------------------------------------------------------------- sequences

void TCustomFtpCli::startSequence(TFtpRequest rq, unsigned steps) {
  if (!checkSequenceArguments(steps)) return;
  if ((steps & sOpen) && tlsMode_ != ftpTlsNone) steps |= sAuth | sPbsz | sProt;
  if ((steps & sOpen) && connected_) return fail(QStringLiteral("FTP component already connected"));
  if (!ready()) return fail(QStringLiteral("FTP component not ready"));
  savedResponse_ = lastResponse_;
  savedStatus_ = -1;
  requestType_ = rq;
  requestError_ = 0;
  fctSet_ = steps;
  fctPrv_ = sNone;
  highLevelResult_ = 0;
  highLevelFlag_ = true;
  lastResponse_.clear();
  errorMessage_.clear();
  nextRequest_ = nullptr;
  inStartCall_ = true;
  try {
    nextStep();
  } catch (...) {
    inStartCall_ = false;
    highLevelFlag_ = false;
    nextRequest_ = nullptr;
    throw;
  }
  inStartCall_ = false;
}

void TCustomFtpCli::nextStep() {
  if (state_ == fsAborting) {
    fctSet_ = 0;
    highLevelResult_ = 426;
    errorMessage_ = QStringLiteral("426 Operation aborted.");
  }
  nextRequest_ = &TCustomFtpCli::nextStep;
  if (requestError_ != 0) {
    highLevelResult_ = requestError_;
    fctSet_ = ((fctSet_ & sQuit) && fctPrv_ != sQuit) ? unsigned(sQuit) : 0u;
  }
  if (requestError_ == 0) extractResult();

  static constexpr Step order[] = {sOpen, sAuth, sPbsz, sProt, sUser, sPass, sCwd, sCDup, sTypeSet, sPort, sRest, sGet, sPut, sAppend,
                                   sDir, sLs, sSyst, sMkd, sRmd, sRenFrom, sRenTo, sSize, sDele, sPwd, sAbort,
                                   sQuote, sQuit};
  for (Step step : order) {
    if (!(fctSet_ & step)) continue;
    fctSet_ &= ~unsigned(step);
    if (step == sPass && fctPrv_ == sUser && statusCode_ != 331) continue;  // 230: no password asked
    if (step == sCwd && hostDirName_.isEmpty()) continue;
    if (step == sQuit) {
      savedResponse_ = lastResponse_;
      savedStatus_ = statusCode_;
    }
    if (step == sGet && !(fctPrv_ == sRest && restartOffset_ >= 0 && statusCode_ == 350)) restartOffset_ = 0;
    fctPrv_ = step;
    try {
      switch (step) {
        case sOpen: openStep(); break;
        case sAuth: authStep(); break;
        case sPbsz: runCommand(frPbsz, sPbsz, QStringLiteral("PBSZ 0"), {200}); break;
        case sProt: runCommand(frProt, sProt, QStringLiteral("PROT P"), {200}); break;
        case sUser: StartUser(); break;
        case sPass: StartPass(); break;
        case sCwd: StartCwd(); break;
        case sCDup: StartCDup(); break;
        case sTypeSet: StartType(); break;
        case sPort: portStep(); break;
        case sRest: restStep(); break;
        case sGet: receiveStep(frGet, QStringLiteral("RETR")); break;
        case sPut: sendStep(frPut); break;
        case sAppend: sendStep(frAppend); break;
        case sDir: receiveStep(frDir, QStringLiteral("LIST")); break;
        case sLs: receiveStep(frLs, QStringLiteral("NLST")); break;
        case sSyst: StartSyst(); break;
        case sMkd: StartMkd(); break;
        case sRmd: StartRmd(); break;
        case sRenFrom: StartRnfr(); break;
        case sRenTo: StartRnto(); break;
        case sSize: StartSize(); break;
        case sDele: StartDele(); break;
        case sPwd: StartPwd(); break;
        case sAbort: StartAbort(); break;
        case sQuote: StartQuote(); break;
        case sQuit: StartQuit(); break;
        case sNone: break;
      }
    } catch (const TFtpBaseException& e) {
      if (inStartCall_) throw;
      // A step refused between two replies: the sequence ends with that refusal instead of the
      // exception tearing the control connection down from inside its own handler.
      lastResponse_ = QStringLiteral("500 ") + e.ClassName() + QStringLiteral(": ") + e.Message();
      statusCode_ = requestError_ = 500;
      setErrorMessage();
      nextRequest_ = nullptr;
      requestDoneFlag_ = false;
      savedStatus_ = -1;
      triggerRequestDone(500);
    }
    return;
  }
  nextRequest_ = nullptr;
  requestDoneFlag_ = false;
  triggerRequestDone(highLevelResult_);
}

void TCustomFtpCli::StartConnect() { startSequence(frConnect, sOpen | sUser | sPass); }
void TCustomFtpCli::StartDir() { startSequence(frDir, sPort | sDir); }
void TCustomFtpCli::StartLs() { startSequence(frLs, sPort | sLs); }
void TCustomFtpCli::StartGet() { startSequence(frGet, sPort | sGet); }
void TCustomFtpCli::StartPut() { startSequence(frPut, sPort | sPut); }
void TCustomFtpCli::StartAppend() { startSequence(frAppend, sPort | sAppend); }
void TCustomFtpCli::StartRename() { startSequence(frRename, sRenFrom | sRenTo); }
void TCustomFtpCli::StartRestGet() { startSequence(frRestGet, sPort | sRest | sGet); }
void TCustomFtpCli::StartRestPut() { startSequence(frRestPut, sPort | sRest | sPut); }
void TCustomFtpCli::StartFullGet() {
  startSequence(frFullGet, sOpen | sUser | sPass | sCwd | sTypeSet | sPort | sGet | sQuit);
}
void TCustomFtpCli::StartFullDir() { startSequence(frFullDir, sOpen | sUser | sPass | sCwd | sPort | sDir | sQuit); }
void TCustomFtpCli::StartFullLs() { startSequence(frFullLs, sOpen | sUser | sPass | sCwd | sPort | sLs | sQuit); }
void TCustomFtpCli::StartFullSyst() { startSequence(frFullSyst, sOpen | sUser | sPass | sSyst | sQuit); }
void TCustomFtpCli::StartFullSize() { startSequence(frSize, sOpen | sUser | sPass | sCwd | sSize | sQuit); }
void TCustomFtpCli::StartFullRename() {
  startSequence(frFullRename, sOpen | sUser | sPass | sCwd | sRenFrom | sRenTo | sQuit);
}
void TCustomFtpCli::StartFullDele() { startSequence(frFullDele, sOpen | sUser | sPass | sCwd | sDele | sQuit); }
void TCustomFtpCli::StartFullMkd() { startSequence(frFullMkd, sOpen | sUser | sPass | sCwd | sMkd | sQuit); }
void TCustomFtpCli::StartFullRmd() { startSequence(frFullRmd, sOpen | sUser | sPass | sCwd | sRmd | sQuit); }
void TCustomFtpCli::StartFullQuote() { startSequence(frFullQuote, sOpen | sUser | sPass | sCwd | sQuote | sQuit); }
void TCustomFtpCli::StartFullPut() {
  startSequence(frFullPut, sOpen | sUser | sPass | sCwd | sTypeSet | sPort | sPut | sQuit);
}
void TCustomFtpCli::StartFullAppend() {
  startSequence(frFullPut, sOpen | sUser | sPass | sCwd | sTypeSet | sPort | sAppend | sQuit);
}
void TCustomFtpCli::StartFullRestGet() {
  startSequence(frFullRestGet, sOpen | sUser | sPass | sCwd | sTypeSet | sPort | sRest | sGet | sQuit);
}
void TCustomFtpCli::StartFullRestPut() {
  startSequence(frFullRestPut, sOpen | sUser | sPass | sCwd | sTypeSet | sPort | sRest | sPut | sQuit);
}

// ---------------------------------------------------------------- local abort

void TCustomFtpCli::AbortNow() {
  const TFtpState old = state_;
  setState(fsAborting);
  closeLocalFile();
  if (old == fsResolving) controlSocket_->CancelDnsLookup();
  if (controlSocket_->State() != wsClosed) controlSocket_->Close();
  if (dataSocket_->State() != wsClosed) dataSocket_->Close();
  closeLocalFile();
  connected_ = false;
  setState(fsReady);
}

// ---------------------------------------------------------------- data transfers

void TCustomFtpCli::StartPort() { portStep(); }
void TCustomFtpCli::StartRest() { restStep(); }
void TCustomFtpCli::StartList() { receiveStep(frDir, QStringLiteral("LIST")); }
void TCustomFtpCli::StartNlst() { receiveStep(frLs, QStringLiteral("NLST")); }
void TCustomFtpCli::StartRetr() { receiveStep(frGet, QStringLiteral("RETR")); }
void TCustomFtpCli::StartStor() { sendStep(frPut); }
void TCustomFtpCli::StartAppe() { sendStep(frAppend); }

void TCustomFtpCli::clearDataHandlers() {
  dataSocket_->OnSessionAvailable = dataSocket_->OnSessionClosed = dataSocket_->OnDataAvailable = nullptr;
  dataSocket_->OnSessionConnected = dataSocket_->OnDataSent = nullptr;
}

void TCustomFtpCli::portStep() {
  // Checked before a listening socket is made that nothing would ever use.
  if (!ready()) return fail(QStringLiteral("FTP component not ready"));
  if (!connected_) return fail(QStringLiteral("FTP component not connected"));
  clearDataHandlers();
  dataCommandSent_ = false;  // a server may connect before the transfer step begins
  if (dataSocket_->State() != wsClosed) dataSocket_->Close();
  dataSocket_->SetProto(QStringLiteral("tcp"));
  dataSocket_->SetAddr(QStringLiteral("0.0.0.0"));
  dataSocket_->SetPort(QStringLiteral("0"));
  QString line;
  if (passive_) {
    line = QStringLiteral("PASV");
  } else {
    if (fctSet_ & (sGet | sDir | sLs)) dataSocket_->OnSessionAvailable = [this](TCustomWSocket*, quint16) { receiveAccept(); };
    else if (fctSet_ & (sPut | sAppend)) dataSocket_->OnSessionAvailable = [this](TCustomWSocket*, quint16) { sendAccept(); };
    dataSocket_->SetLingerOnOff(wsLingerOn);
    dataSocket_->SetLingerTimeout(10);
    dataSocket_->Listen();
    const int p = dataSocket_->GetLocalPort().toInt();
    const QString a = controlSocket_->GetLocalAddr();
    if (controlSocket_->Addr() == QLatin1String("127.0.0.1")) {
      line = QStringLiteral("PORT 127,0,0,1,%1,%2").arg(p / 256).arg(p % 256);
    } else {
      line = QStringLiteral("PORT %1,%2,%3").arg(QString(a).replace(u'.', u',')).arg(p / 256).arg(p % 256);
    }
  }
  transferCount_ = 0;
  runCommand(frPort, sPort, line, {200, 227});
}

void TCustomFtpCli::restStep() {
  if (requestType_ != frRestPut && requestType_ != frFullRestPut && !(options_ & ftpNoAutoResumeAt)) {
    const QFileInfo info(localFileName_);
    restartOffset_ = info.exists() ? info.size() : -1;
  }
  if (restartOffset_ <= 0) {
    if (!highLevelFlag_) requestType_ = frRest;
    fctPrv_ = sRest;
    requestDoneFlag_ = false;
    triggerRequestDone(0);
    return;
  }
  runCommand(frRest, sRest, QStringLiteral("REST %1").arg(restartOffset_), {});
}

// The data connection could not be made: the request ends with the socket's own reason.
void TCustomFtpCli::failDataConnection(int status, const TFtpBaseException& e) {
  failTransfer(status, QString::number(status) + u' ' + e.ClassName() + QStringLiteral(": ") + e.Message());
}

void TCustomFtpCli::failTransfer(int status, const QString& why, bool logged) {
  if (logged) {
    // Upload faults found before the server is asked: no reply stands for them.
    errorMessage_ = why;
    display(QStringLiteral("! ") + why);
  } else {
    lastResponse_ = why;
    setErrorMessage();
  }
  statusCode_ = status;
  dataSocket_->Close();
  closeLocalFile();
  requestError_ = status;
  triggerRequestDone(status);
}

void TCustomFtpCli::connectData(bool sending) {
  // The data connection goes to the host we are already talking to: a 227 reply naming another
  // host would otherwise make us connect wherever the server says.
  const ftp::PassiveTarget target = ftp::parsePassiveReply(pasvResponse_);
  const QString peer = controlSocket_->GetPeerAddr();
  dataSocket_->SetPort(QString::number(target.port));
  dataSocket_->SetAddr(peer.isEmpty() ? target.address : peer);
  dataSocket_->SetLocalAddr(localAddr_);
  dataSocket_->OnSessionConnected = [this, sending](TCustomWSocket*, quint16 e) {
    if (sending) sendConnected(e);
    else receiveConnected(e);
  };
  dataSocket_->SetLingerOnOff(wsLingerOff);
  dataSocket_->SetLingerTimeout(0);
  dataSocket_->SetComponentOptions(dataSocket_->ComponentOptions() | wsoNoReceiveLoop);
  dataSocket_->Connect();
}

void TCustomFtpCli::receiveStep(TFtpRequest rq, const QString& command) {
  if (!connected_) return fail(command + QStringLiteral(": not connected"));
  if (localFileName_.isEmpty() && !displayFileFlag_) return fail(QStringLiteral("LocalFileName empty"));
  if (!checkArgument(hostFileName_)) return;
  if (!highLevelFlag_) requestType_ = rq;
  fctPrv_ = rq == frGet ? sGet : rq == frDir ? sDir : sLs;
  dataCommand_ = command;
  dataCommandSent_ = false;
  ++transferSerial_;
  controlDone_ = dataDone_ = false;
  requestDoneFlag_ = false;
  errorMessage_.clear();
  transferCount_ = 0;
  dataError_ = 0;
  dataSocket_->OnSessionAvailable = [this](TCustomWSocket*, quint16) { receiveAccept(); };
  if (!displayFileFlag_) {
    closeLocalFile();
    localFile_ = std::make_unique<QFile>(localFileName_);
    const bool opened = restartOffset_ > 0
                            ? localFile_->open(QIODevice::ReadWrite | QIODevice::ExistingOnly) &&
                                  localFile_->seek(restartOffset_)
                            : localFile_->open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!opened) return failTransfer(550, QStringLiteral("Unable to open local file ") + localFileName_);
  }
  if (passive_) {
    try {
      connectData(false);
    } catch (const TFtpBaseException& e) {
      failDataConnection(550, e);
      return;
    }
  }
  setState(fsWaitingReply);
  next_ = &TCustomFtpCli::receiveFirstReply;
  sendCommand(hostFileName_.isEmpty() ? command : command + u' ' + hostFileName_);
  dataCommandSent_ = passive_;
}

int TCustomFtpCli::acceptFromServer() {
  QString peer;
  const int h = dataSocket_->Accept(&peer);
  if (h < 0) return -1;
  // Anyone may connect to the port we announced: only the server gets the file or the listing.
  if (peer != controlSocket_->GetPeerAddr()) {
    ::close(h);
    display(QStringLiteral("! Data connection from %1 refused: not the server").arg(peer));
    return -1;
  }
  return h;
}

void TCustomFtpCli::receiveAccept() {
  const int h = acceptFromServer();
  if (h < 0) return;
  dataSocket_->Close();
  dataSocket_->Dup(h);
  dataSocket_->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { receiveClosed(e); };
  dataSocket_->OnDataAvailable = [this](TCustomWSocket*, quint16) { receiveData(); };
  dataSocket_->OnDataSent = nullptr;
  dataSocket_->SetComponentOptions(dataSocket_->ComponentOptions() | wsoNoReceiveLoop);
  startTick_ = now();
  startDataTls();
}

void TCustomFtpCli::receiveConnected(quint16 error) {
  dataSocket_->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { receiveClosed(e); };
  dataSocket_->OnDataAvailable = [this](TCustomWSocket*, quint16) { receiveData(); };
  dataSocket_->OnDataSent = nullptr;
  startTick_ = now();
  if (error != 0) return failTransfer(550, QStringLiteral("Unable to establish data connection, error #%1").arg(error));
  startDataTls();
}

void TCustomFtpCli::receiveFirstReply() {
  display(QStringLiteral("< ") + lastResponse_);
  statusCode_ = ftp::replyCode(lastResponse_.toUtf8());
  if ((statusCode_ >= 150 && statusCode_ <= 159) || statusCode_ == 125) {
    next_ = &TCustomFtpCli::receiveSecondReply;
    dataCommandSent_ = true;
    startDataTls();
    return;
  }
  setErrorMessage();
  next_ = nullptr;
  dataSocket_->Close();
  closeLocalFile();
  restartOffset_ = 0;
  requestError_ = statusCode_;
  triggerRequestDone(statusCode_);
}

// The server's reply after the data ended refuses the transfer: the request ends with its code.
void TCustomFtpCli::transferRefused(const QString& commands) {
  setErrorMessage();
  closeLocalFile();
  dataSocket_->Close();
  display(QStringLiteral("! ") + commands + QStringLiteral(" Failed"));
  requestError_ = statusCode_;
  triggerRequestDone(statusCode_);
}

void TCustomFtpCli::receiveSecondReply() {
  display(QStringLiteral("< ") + lastResponse_);
  statusCode_ = ftp::replyCode(lastResponse_.toUtf8());
  if (statusCode_ == 125 || statusCode_ == 226 || statusCode_ == 250) {
    controlDone_ = true;
    completionCheck();
    return;
  }
  transferRefused(QStringLiteral("RETR/LIST/NLST"));
}

void TCustomFtpCli::receiveData() {
  if (TriggerProgress()) return abortData();
  char* buf = dataBuffer_.get();
  const int n = dataSocket_->Receive(buf, kDownloadBlock);
  if (n > 0) {
    transferCount_ += n;
    if (localFile_ && localFile_->write(buf, n) != n) {
      display(QStringLiteral("! Error writing local file"));
      dataSocket_->ShutDown(2);
    }
    if (displayFileFlag_ && OnDisplayFile) {
      int start = 0;
      for (int i = 0; i <= n; ++i) {
        if (i < n && buf[i] != '\r' && buf[i] != '\n') continue;
        if (i > start) {
          QString piece = QString::fromUtf8(buf + start, i - start);
          OnDisplayFile(this, piece);
        }
        start = i + 1;
      }
    }
  } else if (n < 0 && dataSocket_->State() == wsConnected && dataSocket_->LastError() != EWOULDBLOCK) {
    display(QStringLiteral("! Data: Receive error %1").arg(dataSocket_->LastError()));
    dataSocket_->ShutDown(2);
  }
}

void TCustomFtpCli::receiveClosed(quint16 error) {
  if (localFile_ && !localFile_->flush()) {
    display(QStringLiteral("! Error writing local file"));
    if (error == 0) error = EIO;
  }
  closeLocalFile();
  dataDone_ = true;
  dataError_ = error;
  completionCheck();
}

void TCustomFtpCli::completionCheck() {
  if (!controlDone_ || !dataDone_) return;
  transferStatistics();
  restartOffset_ = 0;
  requestError_ = dataError_;
  triggerRequestDone(dataError_);
}

void TCustomFtpCli::abortData() {
  display(QStringLiteral("! Abort requested"));
  dataSocket_->Close();
}

void TCustomFtpCli::sendStep(TFtpRequest rq) {
  requestType_ = rq;
  if (!connected_) return fail(QStringLiteral("STOR/APPE: not connected"));
  if (localFileName_.isEmpty()) return fail(QStringLiteral("LocalFileName empty"));
  if (!checkArgument(hostFileName_)) return;
  fctPrv_ = rq == frPut ? sPut : sAppend;
  dataCommandSent_ = false;
  ++transferSerial_;
  controlDone_ = dataDone_ = requestDoneFlag_ = eof_ = uploadAccepted_ = false;
  // A server may connect as soon as it gets PORT, before this step (after a REST, say): that
  // connection is already the one to send on.
  dataOpen_ = !passive_ && dataSocket_->State() == wsConnected;
  errorMessage_.clear();
  startTick_ = 0;
  transferCount_ = 0;
  dataError_ = 0;
  bool cancel = false;
  if (OnReadyToTransmit) OnReadyToTransmit(this, cancel);
  if (cancel) return failTransfer(426, QStringLiteral("426 Transmit cancelled by application"), true);
  dataSocket_->OnSessionAvailable = [this](TCustomWSocket*, quint16) { sendAccept(); };
  closeLocalFile();
  localFile_ = std::make_unique<QFile>(localFileName_);
  if (!localFile_->open(QIODevice::ReadOnly) || (restartOffset_ > 0 && !localFile_->seek(restartOffset_)))
    return failTransfer(426, QStringLiteral("426 Unable to open local file ") + localFileName_, true);
  const QString command = (rq == frPut ? QStringLiteral("STOR ") : QStringLiteral("APPE ")) + hostFileName_;
  if (passive_) {
    // Busy from here on, so that a synchronous wait does not take the connecting for idleness.
    setState(fsWaitingReply);
    next_ = &TCustomFtpCli::sendFirstReply;
    try {
      connectData(true);
    } catch (const TFtpBaseException& e) {
      failDataConnection(426, e);
    }
    return;
  }
  setState(fsWaitingReply);
  next_ = &TCustomFtpCli::sendFirstReply;
  sendCommand(command);
}

void TCustomFtpCli::sendConnected(quint16 error) {
  dataSocket_->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { sendClosed(e); };
  dataSocket_->OnDataAvailable = nullptr;
  dataSocket_->OnDataSent = nullptr;
  dataOpen_ = true;
  startTick_ = now();
  if (error != 0)
    return failTransfer(550, QStringLiteral("Unable to establish data connection, error #%1").arg(error));
  setState(fsWaitingReply);
  next_ = &TCustomFtpCli::sendFirstReply;
  sendCommand((requestType_ == frAppend ? QStringLiteral("APPE ") : QStringLiteral("STOR ")) + hostFileName_);
  dataCommandSent_ = true;
  startDataTls();
}

void TCustomFtpCli::sendAccept() {
  const int h = acceptFromServer();
  if (h < 0) return;
  dataSocket_->Close();
  dataSocket_->OnSessionClosed = [this](TCustomWSocket*, quint16 e) { sendClosed(e); };
  dataSocket_->OnDataAvailable = [this](TCustomWSocket* s, quint16) {
    char sink[2048];
    s->Receive(sink, sizeof sink);
  };
  dataSocket_->OnDataSent = [this](TCustomWSocket*, quint16 e) { sendNext(e); };
  dataSocket_->Dup(h);
  dataSocket_->SetComponentOptions(dataSocket_->ComponentOptions() | wsoNoReceiveLoop);
  if (dataSocket_->GetSendBufferSize() < 0)
    throw ESocketException(QStringLiteral("winsock.getsockopt(SO_SNDBUF) failed"));
  dataSocket_->SetLingerOnOff(wsLingerOff);
  dataSocket_->SetLingerTimeout(10);
  dataSocket_->SetLingerOption();
  dataOpen_ = true;
  startDataTls();
  if (uploadAccepted_ && startTick_ == 0) postStartSending();
}

void TCustomFtpCli::postStartSending() {
  const quint64 serial = transferSerial_;
  QMetaObject::invokeMethod(this, [this, serial] {
    if (serial != transferSerial_ || startTick_ != 0) return;
    try {
      startTick_ = now();
      sendNext(0);
    } catch (const std::exception& e) {
      bool canClose = true;
      if (OnBgException) OnBgException(this, e, canClose);
    }
  }, Qt::QueuedConnection);
}

void TCustomFtpCli::sendFirstReply() {
  display(QStringLiteral("< ") + lastResponse_);
  statusCode_ = ftp::replyCode(lastResponse_.toUtf8());
  if (statusCode_ == 150 || statusCode_ == 125) {
    uploadAccepted_ = true;
    dataCommandSent_ = true;
    startDataTls();
    next_ = &TCustomFtpCli::sendSecondReply;
    if (passive_) {
      dataSocket_->OnDataSent = [this](TCustomWSocket*, quint16 e) { sendNext(e); };
      sendNext(0);
    } else if (dataOpen_ && startTick_ == 0) {
      postStartSending();
    }
    return;
  }
  setErrorMessage();
  next_ = nullptr;
  dataSocket_->Close();
  closeLocalFile();
  restartOffset_ = 0;
  requestError_ = statusCode_;
  triggerRequestDone(statusCode_);
}

void TCustomFtpCli::sendNext(quint16 error) {
  if (!localFile_) return;
  if (TriggerProgress()) return abortData();
  if (error != 0) {
    display(QStringLiteral("! Error #%1 sending data").arg(error));
    dataSocket_->Close();
    return;
  }
  if (eof_ || !uploadAccepted_ || !dataOpen_) return;
  char* buf = dataBuffer_.get();
  // As much as the socket takes now (up to a bound, so that the window stays live); once it
  // holds bytes back, its next data-sent event asks for more. One small block per event would
  // cost an event-loop round for every 1460 bytes.
  int blocks = 0;
  do {
    const qint64 n = localFile_->read(buf, kUploadBlock);
    if (n < 0) {
      display(QStringLiteral("! Error reading file"));
      dataSocket_->Close();
      return;
    }
    if (n == 0) {
      eof_ = true;
      const quint64 serial = transferSerial_;
      QTimer::singleShot(100, this, [this, serial] {
        if (serial == transferSerial_ && dataSocket_->State() == wsConnected) dataSocket_->CloseDelayed();
      });
      return;
    }
    transferCount_ += n;
    dataSocket_->Send(buf, int(n));
  } while (++blocks < 16 && localFile_ && dataSocket_->State() == wsConnected && dataSocket_->AllSent());
}

void TCustomFtpCli::sendSecondReply() {
  display(QStringLiteral("< ") + lastResponse_);
  statusCode_ = ftp::replyCode(lastResponse_.toUtf8());
  if (statusCode_ == 226 || statusCode_ == 250) {
    controlDone_ = true;
    completionCheck();
    return;
  }
  transferRefused(QStringLiteral("STOR"));
}

void TCustomFtpCli::sendClosed(quint16 error) {
  closeLocalFile();
  dataDone_ = true;
  dataError_ = error;
  completionCheck();
}

void TCustomFtpCli::transferStatistics() {
  stopTick_ = now();
  const qint64 elapsed = stopTick_ - startTick_;
  QString line = QStringLiteral("! %1 bytes received/sent in %2 seconds").arg(transferCount_).arg(elapsed / 1000);
  if (elapsed != 0) {
    const qint64 rate =
        transferCount_ < 32768 ? transferCount_ * 1000 / elapsed : transferCount_ / elapsed * 1000;
    line += QStringLiteral(" (%1 Bytes/sec)").arg(rate);
  }
  display(line);
}

// ---------------------------------------------------------------- TLS

ssl_ctx_st* TCustomFtpCli::tlsContext() {
  if (tlsContext_) return tlsContext_;
  // The library writes to the sockets itself: a peer that resets must not kill the process.
  std::signal(SIGPIPE, SIG_IGN);
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (!ctx) throw FtpException(QStringLiteral("TLS context could not be made"));
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
  SSL_CTX_set_default_verify_paths(ctx);
  if (!caFile_.isEmpty()) SSL_CTX_load_verify_locations(ctx, QFile::encodeName(caFile_).constData(), nullptr);
  ERR_clear_error();
  // A certificate named in the CA file is trusted as it is, even without its authority.
  X509_VERIFY_PARAM_set_flags(SSL_CTX_get0_param(ctx), X509_V_FLAG_PARTIAL_CHAIN);
  // The handshake completes whatever the verification says: its result is read afterwards and
  // a failure is put to the user before anything is sent.
  SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
  tlsContext_ = ctx;
  return ctx;
}

void TCustomFtpCli::authStep() {
  runCommand(frAuth, sAuth, QStringLiteral("AUTH TLS"), {234});
  next_ = &TCustomFtpCli::authReply;
}

void TCustomFtpCli::askLater(std::function<void()> question) {
  // Asked from the event loop, never from inside a socket handler; the request stays busy
  // meanwhile, so nothing is sent before the answer.
  QMetaObject::invokeMethod(this, [this, question = std::move(question)] {
    if (requestDoneFlag_ || !connected_) return;  // the connection went while the event waited
    try {
      question();
    } catch (const std::exception& e) {
      bool canClose = true;
      if (OnBgException) OnBgException(this, e, canClose);
    }
  }, Qt::QueuedConnection);
}

void TCustomFtpCli::failControl(int status, const QString& response) {
  lastResponse_ = response;
  statusCode_ = requestError_ = status;
  setErrorMessage();
  controlSocket_->Close();  // the close completes the request with RequestError
}

void TCustomFtpCli::authReply() {
  display(QStringLiteral("< ") + lastResponse_);
  statusCode_ = ftp::replyCode(lastResponse_.toUtf8());
  if (statusCode_ == 234) {
    controlSocket_->OnTlsDone = [this](TCustomWSocket*, quint16 e) { controlTlsDone(e); };
    try {
      controlSocket_->StartTls(tlsContext(), hostName_, nullptr);
    } catch (const TFtpBaseException& e) {
      failControl(500, QStringLiteral("500 ") + e.ClassName() + QStringLiteral(": ") + e.Message());
    }
    return;
  }
  const int refusal = statusCode_ >= 400 ? statusCode_ : 500;
  if (tlsMode_ == ftpTlsRequired) return failControl(refusal, lastResponse_);
  askLater([this, refusal, reply = lastResponse_] {
    bool goOn = true;
    if (OnTlsRefused) OnTlsRefused(this, goOn);
    if (!goOn) return failControl(refusal, reply);
    fctSet_ &= ~unsigned(sPbsz | sProt);
    requestError_ = 0;
    triggerRequestDone(0);
  });
}

void TCustomFtpCli::controlTlsDone(quint16 error) {
  if (error != 0)
    return failControl(500, QStringLiteral("500 TLS handshake failed: ") + controlSocket_->TlsError());
  SSL* ssl = controlSocket_->Ssl();
  serverCertificate_ = fingerprintOf(ssl);
  display(QStringLiteral("! TLS established (%1, %2)")
              .arg(QString::fromLatin1(SSL_get_version(ssl)), QString::fromLatin1(SSL_get_cipher_name(ssl))));
  TFtpCertificateProblem problem;
  problem.fingerprint = serverCertificate_;
  problem.error = serverCertificate_.isEmpty() ? X509_V_ERR_UNSPECIFIED : int(SSL_get_verify_result(ssl));
  if (problem.error == X509_V_OK) return tlsAccepted();
  problem.reason = serverCertificate_.isEmpty() ? QStringLiteral("no certificate")
                                                : QString::fromLatin1(X509_verify_cert_error_string(problem.error));
  display(QStringLiteral("! Certificate not verified: ") + problem.reason);
  askLater([this, problem] {
    bool accept = false;
    if (OnCertificateProblem) OnCertificateProblem(this, problem, accept);
    if (!accept) return failControl(500, QStringLiteral("500 Certificate refused: ") + problem.reason);
    display(QStringLiteral("! Certificate accepted for this connection: SHA-256 ") + problem.fingerprint);
    tlsAccepted();
  });
}

void TCustomFtpCli::tlsAccepted() {
  encrypted_ = true;
  requestError_ = 0;
  triggerRequestDone(0);
}

void TCustomFtpCli::startDataTls() {
  // In active mode a server may connect as soon as it has the PORT, and some take TLS bytes
  // that come before they have read the transfer command for a fault: the handshake waits for
  // the command's first reply. In passive mode it begins once the command is sent.
  if (!dataProtected_ || !dataCommandSent_ || dataSocket_->State() != wsConnected || dataSocket_->TlsActive())
    return;
  // Servers check that the data connection comes from the client that logged in: it resumes
  // the control connection's session.
  SSL_SESSION* session = controlSocket_->Ssl() ? SSL_get1_session(controlSocket_->Ssl()) : nullptr;
  dataSocket_->OnTlsDone = [this](TCustomWSocket*, quint16 e) { dataTlsDone(e); };
  try {
    dataSocket_->StartTls(tlsContext(), hostName_, session);
  } catch (const TFtpBaseException& e) {
    display(QStringLiteral("! Data connection: ") + e.Message());
    dataSocket_->CloseWithError(ECONNABORTED);
  }
  if (session) SSL_SESSION_free(session);
}

void TCustomFtpCli::dataTlsDone(quint16 error) {
  if (error != 0) {
    // The socket closes itself with the error: the transfer's close handler fails it.
    display(QStringLiteral("! Data connection TLS failed: ") + dataSocket_->TlsError());
    return;
  }
  // The data must come from the server whose certificate was trusted, not from whoever got there.
  if (fingerprintOf(dataSocket_->Ssl()) != serverCertificate_) {
    display(QStringLiteral("! Data connection refused: its certificate is not the server's"));
    dataSocket_->CloseWithError(ECONNABORTED);
  }
}

// ---------------------------------------------------------------- synchronous forms

TFtpClient::TFtpClient(QObject* parent) : TCustomFtpCli(parent) {}

bool TFtpClient::TriggerProgress() {
  if (timeout_ > 0) deadline_ = waitClock_.elapsed() + qint64(timeout_) * 1000;
  return TCustomFtpCli::TriggerProgress();
}

bool TFtpClient::RunAndWait(Operation op) {
  try {
    (this->*op)();
  } catch (const std::exception&) {
    return false;
  }
  return WaitIdle();
}

bool TFtpClient::WaitIdle() {
  waitClock_.start();
  deadline_ = qint64(timeout_) * 1000;
  // Wakes the wait often enough to notice the deadline while nothing happens on the network.
  QTimer wake;
  wake.start(50);
  for (;;) {
    if (ready()) return requestError_ == 0;
    if (QCoreApplication::closingDown()) break;
    if (timeout_ > 0 && waitClock_.elapsed() > deadline_) break;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  AbortNow();
  errorMessage_ = QStringLiteral("426 Timeout");
  statusCode_ = 426;
  return false;
}
