#pragma once
// What the FTP tests share: a real server (pyftpdlib) in a temporary home, a scripted server of
// our own for the faults a real one never makes, and a session that records what the engine says.
#include "FtpCli.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// pyftpdlib on 127.0.0.1 with a free port; stopped with the object.
class PyFtpServer {
 public:
  static constexpr const char* kUser = "testeur";
  static constexpr const char* kPassword = "mot2passe";
  enum class Tls { None, Offered, Required };
  // False when the server could not start; the reason is in error(). With TLS the server uses a
  // self-signed certificate for 127.0.0.1 made for the occasion.
  bool start(Tls tls = Tls::None);
  quint16 port() const { return port_; }
  QString home() const { return home_.path(); }
  QString error() const { return error_; }
  QString certificate() const { return certificate_; }  // the certificate alone, PEM
  QString fingerprint() const;                           // its SHA-256, "AB:CD:..."
  QByteArray log() const;                                // what the server logged (every command)
  ~PyFtpServer();

 private:
  QTemporaryDir aside_;  // certificate and log, out of the served folder
  QString certificate_;
  QTemporaryDir home_;
  QProcess process_;
  quint16 port_ = 0;
  QString error_;
};

// Records the engine's transcript and completions.
struct Session {
  TFtpClient ftp;
  QStringList transcript;
  QList<QPair<int, int>> done;  // request code, error
  QList<QString> displayed;     // OnDisplayFile pieces

  Session();
  void connectTo(quint16 port, const QString& host = QStringLiteral("127.0.0.1"));
  // Starts op and waits for its OnRequestDone: the error it carried, or -1 when none came.
  int run(TFtpClient::Operation op, int ms = 15000);
  int lastRequest() const { return done.isEmpty() ? -1 : done.last().first; }
  bool saw(const QString& line) const { return transcript.contains(line); }
};

// A server that answers as a test tells it to, with an optional data connection to the address
// of the last PORT command.
class ScriptedServer {
 public:
  using Script = std::function<void(ScriptedServer& server, const QByteArray& command)>;
  ScriptedServer(QByteArray greeting, Script script);
  quint16 port() const { return listener_.serverPort(); }
  void reply(const QByteArray& bytes);
  bool openData();  // connects to the last PORT address; false when it fails
  // Opens the data connection and takes what the client sends into received; when the client
  // closes it, finalReply goes out on the control connection.
  bool receiveData(const QByteArray& finalReply);
  QByteArray received;
  // A connection to the last PORT address from another local address, as an intruder would make.
  std::unique_ptr<QTcpSocket> connectFrom(const QString& localAddress);
  void sendData(const QByteArray& bytes);
  void closeData();
  void resetData();  // cut with a reset, as a crashed peer would
  void dropControl();
  QList<QByteArray> commands;  // every command line received, without its CR LF
  QTcpSocket* control() { return control_; }

 private:
  QTcpServer listener_;
  QTcpSocket* control_ = nullptr;
  std::unique_ptr<QTcpSocket> data_;
  QByteArray greeting_, pending_;
  Script script_;
  QString dataHost_;
  quint16 dataPort_ = 0;
};

QByteArray patternBytes(qsizetype size, quint32 seed);

// Makes a self-signed certificate for 127.0.0.1 in folder: cert.pem, and server.pem holding the
// certificate and its key. False when openssl could not make it.
bool makeCertificate(const QString& folder);
