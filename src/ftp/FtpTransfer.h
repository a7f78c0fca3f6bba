#pragma once
// The upload and server-side work of the transfer window without its widgets: waits on the
// engine's requests, the log lines of their outcome, folders sent recursively (text or binary by
// extension), the server's name list. The window and "tovelo-batch upload" share it.
#include "FtpCli.h"

#include <QString>
#include <QStringList>

#include <functional>

class FtpTransfer {
 public:
  static constexpr int kStopped = 601;  // Arret after "Arrêter"

  explicit FtpTransfer(TFtpClient& ftp);

  // Every line for the log: the engine's transcript and the outcomes of its requests.
  std::function<void(const QString& line)> log;
  // A listing ended well: the server's names are in listFile.
  std::function<void()> listReady;
  // Percentage of the top-level entry being sent.
  std::function<void(int percent)> progress;

  bool passive = false;      // every listing and upload in passive mode
  int waitLimitMs = 15000;   // Delay's limit
  QString listFile;          // where NLST writes the server's names

  QString Reponse;           // "Ok", "Nak" or "TransferDone"; empty while waiting
  int Arret = 0;
  qint64 TailleCourante = 0;
  int failures = 0;          // files that did not arrive, folders not entered
  bool timedOut = false;     // the last wait ran out without an answer

  void Display(const QString& line);
  void RequestDone(TFtpRequest rq, int error);
  // Pumps events until an outcome, the stop, or the wait limit.
  void Delay();
  // CWD; true when the server accepted it.
  bool ChHost(const QString& dir);
  bool MakeDir(const QString& name);
  // Sends one file into the server's current folder; true when it arrived. Engine faults found
  // before sending (not connected, busy) are raised.
  bool SendFile(const QString& hostDir, const QString& localPath);
  // Makes the folder on the server under its own name, enters it, sends its files and
  // sub-folders, and comes back up.
  void SendFolder(const QString& localFolder);
  // Asks for the server's name list; does not wait (listReady follows).
  void LitHote();
  void Stop();
  // The control connection is down: nothing more can be sent.
  bool connectionLost() const { return !ftp_.IsConnected(); }
  // Raises the engine's "not ready" before any property changes: a sequence under way reads the
  // file names when it reaches its data step, and would write a listing into the wrong file.
  void requireReady() const;

  // Delivers the completions the engine has already posted: a request that ended before a wait
  // (the QUIT of an earlier session, say) must not end that wait.
  void settle();

  // The engine's texts (its faults and the failures it makes up) as a French user reads them.
  static QString french(const QString& engineText);
  // French words for a certificate's verification error (OpenSSL's number, its own words).
  static QString frenchCertificateError(int error, const QString& reason);
  // French words for a socket error number.
  static QString frenchSocketError(int error);
  // "host", "host:port", "[v6addr]:port", "[v6addr]" or a bare IPv6 address; port keeps its value
  // when the text names none. False when the text is malformed or the port is not 1 to 65535.
  static bool splitHostPort(const QString& text, QString& host, QString& port);

  // Text mode for these extensions, compared without regard to case; "asc" and "asi" lack their
  // dot and never match.
  static const QStringList& textExtensions();
  static bool isText(const QString& fileName);

 private:
  void waitTransfer();
  // Counts a failed entry and logs it with its reason; false.
  bool refuse(const QString& what, const QString& reason);
  void reportUndecodableNames(const QString& folder);
  TFtpClient& ftp_;
};
