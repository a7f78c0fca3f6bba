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
  // Raises the engine's "not ready" before any property changes: a sequence under way reads the
  // file names when it reaches its data step, and would write a listing into the wrong file.
  void requireReady() const;

  // Text mode for these extensions, compared without regard to case; "asc" and "asi" lack their
  // dot and never match.
  static const QStringList& textExtensions();
  static bool isText(const QString& fileName);

 private:
  void waitTransfer();
  TFtpClient& ftp_;
};
