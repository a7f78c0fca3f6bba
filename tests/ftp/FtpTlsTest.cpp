// Explicit FTPS beyond the real-server suite: an untrusted certificate put to the user, a
// server without TLS, handshakes that fail, and vsftpd (which insists that data connections
// resume the control connection's TLS session) wherever it can run inside the test.
#include "FtpTestSupport.h"
#include "FileBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>

#include <openssl/x509_vfy.h>

namespace {

struct Asked {
  int certificates = 0, refusals = 0;
  TFtpCertificateProblem problem;
};

void answer(Session& s, Asked& asked, bool acceptCertificate, bool goOnInClear) {
  s.ftp.OnCertificateProblem = [&asked, acceptCertificate](TCustomFtpCli*, const TFtpCertificateProblem& p,
                                                            bool& accept) {
    ++asked.certificates;
    asked.problem = p;
    accept = acceptCertificate;
  };
  s.ftp.OnTlsRefused = [&asked, goOnInClear](TCustomFtpCli*, bool& goOn) {
    ++asked.refusals;
    goOn = goOnInClear;
  };
}

TEST(Tls, AnUntrustedCertificateIsPutToTheUserBeforeTheLogin) {
  PyFtpServer server;
  ASSERT_TRUE(server.start(PyFtpServer::Tls::Required)) << server.error().toStdString();
  for (bool accept : {false, true}) {
    SCOPED_TRACE(accept);
    Session s;
    Asked asked;
    answer(s, asked, accept, false);
    s.connectTo(server.port());
    s.ftp.SetTlsMode(ftpTlsRequired);
    EXPECT_EQ(s.run(&TCustomFtpCli::StartConnect), accept ? 0 : 500) << s.transcript.join('\n').toStdString();
    EXPECT_EQ(asked.certificates, 1);
    EXPECT_EQ(asked.problem.error, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT);
    EXPECT_EQ(asked.problem.fingerprint, server.fingerprint());
    EXPECT_EQ(s.ftp.Encrypted(), accept);
    EXPECT_EQ(s.ftp.IsConnected(), accept);
    EXPECT_EQ(server.log().contains("USER"), accept);
    if (!accept) {
      EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("500 Certificate refused: self-signed certificate"));
    }
  }
  // Trusted through the CA file: nothing to ask.
  Session s;
  Asked asked;
  answer(s, asked, false, false);
  s.connectTo(server.port());
  s.ftp.SetTlsMode(ftpTlsRequired);
  s.ftp.SetCaFile(server.certificate());
  EXPECT_EQ(s.run(&TCustomFtpCli::StartConnect), 0);
  EXPECT_EQ(asked.certificates, 0);
}

TEST(Tls, AServerWithoutTlsIsAskedAboutOrRefused) {
  PyFtpServer server;
  ASSERT_TRUE(server.start()) << server.error().toStdString();
  const struct {
    TFtpTlsMode mode;
    bool goOn;
    int error, refusalsAsked;
  } cases[] = {{ftpTlsIfOffered, true, 0, 1}, {ftpTlsIfOffered, false, 500, 1}, {ftpTlsRequired, true, 500, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << c.goOn);
    const qsizetype logins = server.log().count("<- USER");
    Session s;
    Asked asked;
    answer(s, asked, false, c.goOn);
    s.connectTo(server.port());
    s.ftp.SetTlsMode(c.mode);
    EXPECT_EQ(s.run(&TCustomFtpCli::StartConnect), c.error) << s.transcript.join('\n').toStdString();
    EXPECT_EQ(asked.refusals, c.refusalsAsked);
    EXPECT_FALSE(s.ftp.Encrypted());
    EXPECT_EQ(server.log().count("<- USER") > logins, c.error == 0);
    EXPECT_EQ(s.ftp.IsConnected(), c.error == 0);
  }
}

// A server that accepts AUTH TLS and then breaks the handshake its own way.
TEST(Tls, AHandshakeThatFailsEndsTheConnectionBeforeTheLogin) {
  const QByteArray ways[] = {"drop", "HTTP/1.0 200 OK\r\n\r\n", QByteArray(3, '\x16')};
  for (const QByteArray& way : ways) {
    SCOPED_TRACE(way.toStdString());
    ScriptedServer server("220 ok\r\n", [&way](ScriptedServer& sv, const QByteArray& cmd) {
      if (cmd != "AUTH TLS") return sv.reply("530 non\r\n");
      sv.reply("234 allez\r\n");
      if (way == "drop") return sv.dropControl();
      sv.reply(way);
      sv.control()->flush();
      sv.dropControl();
    });
    Session s;
    s.connectTo(server.port());
    s.ftp.SetTlsMode(ftpTlsRequired);
    EXPECT_EQ(s.run(&TCustomFtpCli::StartConnect), 500);
    // A drop that comes with the 234 may be seen as the connection's end before any handshake.
    EXPECT_TRUE(s.ftp.ErrorMessage().startsWith(QLatin1String("500 TLS handshake failed: ")) ||
                (way == "drop" && s.ftp.ErrorMessage() == u"500 Control connection closed."))
        << s.ftp.ErrorMessage().toStdString();
    EXPECT_EQ(server.commands, QList<QByteArray>{"AUTH TLS"});
    EXPECT_FALSE(s.ftp.IsConnected());
    EXPECT_EQ(s.ftp.State(), fsReady);
  }
}

// vsftpd on 127.0.0.1 under a configuration of the test's own; anonymous writes into a
// temporary folder, TLS forced, session reuse required (its default).
class VsftpdServer {
 public:
  bool start(QString& why) {
    const QString program = QStringLiteral("/usr/sbin/vsftpd");
    if (!QFileInfo::exists(program)) return (why = QStringLiteral("vsftpd is not installed"), false);
    if (!aside_.isValid() || !makeCertificate(aside_.path()))
      return (why = QStringLiteral("no certificate"), false);
    QDir(aside_.path()).mkpath(QStringLiteral("empty"));
    root_ = aside_.filePath(QStringLiteral("racine"));
    QDir().mkpath(root_ + QStringLiteral("/depot"));
    QFile::setPermissions(root_ + QStringLiteral("/depot"), QFile::Permissions(0x7777));
    for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
      quint16 port;
      {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
      }
      writeConfig(port);
      process_.setProcessChannelMode(QProcess::MergedChannels);
      process_.start(program, {aside_.filePath(QStringLiteral("vsftpd.conf"))});
      if (!process_.waitForStarted(5000)) return (why = QStringLiteral("vsftpd did not start"), false);
      // Polled until it listens (a refused connection fails at once), for at most 5 s.
      QTcpSocket probe;
      QElapsedTimer clock;
      clock.start();
      while (probe.state() != QAbstractSocket::ConnectedState && clock.elapsed() < 5000 &&
             process_.state() == QProcess::Running) {
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100)) break;
        probe.abort();
        QTest::qWait(20);
      }
      if (probe.state() == QAbstractSocket::ConnectedState &&
          (probe.bytesAvailable() > 0 || probe.waitForReadyRead(2000)) && probe.readAll().startsWith("220")) {
        port_ = port;
      } else {
        why = QStringLiteral("vsftpd cannot run here: ") + QString::fromLocal8Bit(process_.readAll()).trimmed();
        process_.kill();
        process_.waitForFinished(2000);
      }
    }
    return port_ != 0;
  }
  ~VsftpdServer() {
    process_.kill();
    process_.waitForFinished(3000);
  }
  quint16 port() const { return port_; }
  QString folder() const { return root_ + QStringLiteral("/depot"); }
  QString certificate() const { return aside_.filePath(QStringLiteral("cert.pem")); }
  QByteArray log() const {
    QFile f(aside_.filePath(QStringLiteral("vsftpd.log")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

 private:
  void writeConfig(quint16 port) {
    QFile f(aside_.filePath(QStringLiteral("vsftpd.conf")));
    if (!f.open(QIODevice::WriteOnly)) return;
    const QByteArray a = QFile::encodeName(aside_.path());
    f.write("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nbackground=NO\n"
            "listen_port=" + QByteArray::number(port) + "\n"
            "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\nwrite_enable=YES\n"
            "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\nanon_other_write_enable=YES\nanon_umask=022\n"
            "anon_root=" + QFile::encodeName(root_) + "\nallow_writeable_chroot=YES\n"
            "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
            "require_ssl_reuse=YES\nrsa_cert_file=" + a + "/cert.pem\nrsa_private_key_file=" + a + "/key.pem\n"
            "seccomp_sandbox=NO\nsecure_chroot_dir=" + a + "/empty\nconnect_from_port_20=NO\n"
            "pasv_min_port=0\nlog_ftp_protocol=YES\nvsftpd_log_file=" + a + "/vsftpd.log\n"
            "xferlog_enable=YES\nxferlog_std_format=NO\nrun_as_launching_user=YES\n");
  }
  QTemporaryDir aside_;
  QString root_;
  QProcess process_;
  quint16 port_ = 0;
};

TEST(Tls, VsftpdTakesUploadsAndGivesThemBackInBothModes) {
  VsftpdServer server;
  QString why;
  if (!server.start(why)) GTEST_SKIP() << why.toStdString();
  QTemporaryDir local;
  const QByteArray binary = patternBytes(400000, 11);
  writeBytes(local.filePath(QStringLiteral("up.bin")), binary);
  for (bool passive : {true, false}) {
    SCOPED_TRACE(passive);
    Session s;
    s.connectTo(server.port());
    s.ftp.SetUserName(QStringLiteral("anonymous"));
    s.ftp.SetPassWord(QStringLiteral("test@"));
    s.ftp.SetTlsMode(ftpTlsRequired);
    s.ftp.SetCaFile(server.certificate());
    s.ftp.SetPassive(passive);
    ASSERT_EQ(s.run(&TCustomFtpCli::StartConnect), 0) << s.transcript.join('\n').toStdString();
    s.ftp.SetHostDirName(QStringLiteral("depot"));
    ASSERT_EQ(s.run(&TCustomFtpCli::StartCwd), 0);
    ASSERT_EQ(s.run(&TCustomFtpCli::StartTypeBinary), 0);
    const QString name = passive ? QStringLiteral("passif.bin") : QStringLiteral("actif.bin");
    s.ftp.SetHostFileName(name);
    s.ftp.SetLocalFileName(local.filePath(QStringLiteral("up.bin")));
    ASSERT_EQ(s.run(&TCustomFtpCli::StartPut), 0) << s.transcript.join('\n').toStdString();
    EXPECT_EQ(readBytes(server.folder() + u'/' + name), binary);
    s.ftp.SetLocalFileName(local.filePath(QStringLiteral("down.bin")));
    ASSERT_EQ(s.run(&TCustomFtpCli::StartGet), 0) << s.transcript.join('\n').toStdString();
    EXPECT_EQ(readBytes(local.filePath(QStringLiteral("down.bin"))), binary);
    s.ftp.SetHostFileName(QString());
    s.ftp.SetDisplayFileFlag(true);
    ASSERT_EQ(s.run(&TCustomFtpCli::StartLs), 0);
    EXPECT_TRUE(s.displayed.contains(name));
    EXPECT_TRUE(s.ftp.QuitAndWait());
  }
  EXPECT_TRUE(server.log().contains("PROT P")) << server.log().toStdString();
}

}  // namespace
