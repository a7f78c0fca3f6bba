// The engine against a real FTP server, in active and in passive mode, in clear and over TLS
// (the same server with explicit TLS required and a certificate of the test's own).
#include "FtpTestSupport.h"
#include "FileBytes.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Parameters: passive mode, TLS.
class RealServer : public ::testing::TestWithParam<std::tuple<bool, bool>> {
 protected:
  static void SetUpTestSuite() {
    for (bool tls : {false, true}) {
      PyFtpServer*& server = servers[tls];
      server = new PyFtpServer;
      if (!server->start(tls ? PyFtpServer::Tls::Required : PyFtpServer::Tls::None)) {
        startError = server->error();
        delete server;
        server = nullptr;
      }
    }
  }
  static void TearDownTestSuite() {
    for (PyFtpServer*& server : servers) {
      delete server;
      server = nullptr;
    }
  }
  void SetUp() override {
    const bool tls = std::get<1>(GetParam());
    server = servers[tls];
    ASSERT_NE(server, nullptr) << startError.toStdString();
    ASSERT_TRUE(local.isValid());
    s.connectTo(server->port());
    s.ftp.SetPassive(std::get<0>(GetParam()));
    if (tls) {
      s.ftp.SetTlsMode(ftpTlsRequired);
      s.ftp.SetCaFile(server->certificate());
    }
    ASSERT_EQ(s.run(&TCustomFtpCli::StartConnect), 0) << s.transcript.join('\n').toStdString();
    ASSERT_EQ(s.ftp.Encrypted(), tls);
    ASSERT_EQ(s.ftp.DataProtected(), tls);
    if (tls) {
      ASSERT_TRUE(server->log().contains("PROT P"));
    }
    // Each test works in a folder of its own, named after it, inside the server's home.
    const QString name = QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())
                             .replace(u'/', u'_');
    ASSERT_TRUE(QDir(server->home()).mkpath(name));
    s.ftp.SetHostDirName(u'/' + name);
    ASSERT_EQ(s.run(&TCustomFtpCli::StartCwd), 0);
    ASSERT_EQ(s.run(&TCustomFtpCli::StartTypeBinary), 0);
    dir = server->home() + u'/' + name;
  }
  void TearDown() override {
    if (s.ftp.IsConnected()) {
      EXPECT_TRUE(s.ftp.QuitAndWait());
    }
  }
  QString localPath(const QString& name) const { return local.filePath(name); }
  // Uploads bytes to the server under name with op (STOR or APPE sequence).
  int upload(const QByteArray& bytes, const QString& name, TFtpClient::Operation op = &TCustomFtpCli::StartPut) {
    writeBytes(localPath(QStringLiteral("up.bin")), bytes);
    s.ftp.SetLocalFileName(localPath(QStringLiteral("up.bin")));
    s.ftp.SetHostFileName(name);
    return s.run(op);
  }

  static PyFtpServer* servers[2];  // in clear, TLS only
  static QString startError;
  PyFtpServer* server = nullptr;
  QTemporaryDir local;
  Session s;
  QString dir;
};

PyFtpServer* RealServer::servers[2] = {nullptr, nullptr};
QString RealServer::startError;

TEST_P(RealServer, LogsInAndWalksTheFolders) {
  EXPECT_TRUE(s.saw(QStringLiteral("> PASS ****")));
  EXPECT_FALSE(s.transcript.join('\n').contains(QLatin1String(PyFtpServer::kPassword)));
  EXPECT_EQ(s.ftp.ResultDir(), s.ftp.HostDirName());

  s.ftp.SetHostFileName(QStringLiteral("sous \"dossier\""));
  ASSERT_EQ(s.run(&TCustomFtpCli::StartMkd), 0);
  EXPECT_TRUE(QFileInfo(dir + QStringLiteral("/sous \"dossier\"")).isDir());
  EXPECT_EQ(s.ftp.ResultDir(), s.ftp.HostDirName() + QStringLiteral("/sous \"dossier\""));

  s.ftp.SetHostDirName(QStringLiteral("sous \"dossier\""));
  ASSERT_EQ(s.run(&TCustomFtpCli::StartCwd), 0);
  ASSERT_EQ(s.run(&TCustomFtpCli::StartPwd), 0);
  EXPECT_TRUE(s.ftp.ResultDir().endsWith(QStringLiteral("/sous \"dossier\""))) << s.ftp.ResultDir().toStdString();
  ASSERT_EQ(s.run(&TCustomFtpCli::StartCDup), 0);
  ASSERT_EQ(s.run(&TCustomFtpCli::StartPwd), 0);
  EXPECT_FALSE(s.ftp.ResultDir().contains(QLatin1String("dossier")));

  ASSERT_EQ(s.run(&TCustomFtpCli::StartRmd), 0);
  EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/sous \"dossier\"")));
  EXPECT_EQ(s.run(&TCustomFtpCli::StartRmd), 550);
  EXPECT_EQ(s.lastRequest(), frRmd);
  EXPECT_TRUE(s.ftp.ErrorMessage().startsWith(QLatin1String("550"))) << s.ftp.ErrorMessage().toStdString();
}

TEST_P(RealServer, UploadedAndDownloadedFilesKeepEveryByte) {
  const QByteArray text = "<?xml version=\"1.0\"?>\r\n<a>\xe9t\xe9</a>\r\n";
  const QByteArray binary = patternBytes(300000, 7) + QByteArray("\r\n\n\r\0\x1a", 6);
  for (const auto& [name, bytes] : {std::pair{QStringLiteral("texte.xml"), text}, std::pair{QStringLiteral("donnees.bin"), binary}}) {
    SCOPED_TRACE(name.toStdString());
    ASSERT_EQ(upload(bytes, name), 0) << s.transcript.join('\n').toStdString();
    EXPECT_EQ(s.lastRequest(), frPut);
    EXPECT_EQ(readBytes(dir + u'/' + name), bytes);
    EXPECT_EQ(s.ftp.TransferCount(), bytes.size());
    EXPECT_TRUE(s.transcript.last().startsWith(QStringLiteral("! %1 bytes received/sent in ").arg(bytes.size())))
        << s.transcript.last().toStdString();

    s.ftp.SetLocalFileName(localPath(QStringLiteral("down.bin")));
    ASSERT_EQ(s.run(&TCustomFtpCli::StartGet), 0);
    EXPECT_EQ(s.lastRequest(), frGet);
    EXPECT_EQ(readBytes(localPath(QStringLiteral("down.bin"))), bytes);

    ASSERT_EQ(s.run(&TCustomFtpCli::StartSize), 0);
    EXPECT_EQ(s.ftp.ResultSize(), bytes.size());
  }
}

TEST_P(RealServer, AnEmptyFileTravelsEmpty) {
  ASSERT_EQ(upload(QByteArray(), QStringLiteral("vide.txt")), 0);
  EXPECT_TRUE(QFileInfo(dir + QStringLiteral("/vide.txt")).exists());
  EXPECT_EQ(QFileInfo(dir + QStringLiteral("/vide.txt")).size(), 0);
}

TEST_P(RealServer, AppendAddsToTheServersFile) {
  ASSERT_EQ(upload("debut;", QStringLiteral("journal.txt")), 0);
  ASSERT_EQ(upload("suite", QStringLiteral("journal.txt"), &TCustomFtpCli::StartAppend), 0);
  EXPECT_EQ(s.lastRequest(), frAppend);
  EXPECT_EQ(readBytes(dir + QStringLiteral("/journal.txt")), QByteArray("debut;suite"));
}

TEST_P(RealServer, RenameAndDeleteChangeTheServersFiles) {
  ASSERT_EQ(upload("x", QStringLiteral("avant.txt")), 0);
  s.ftp.SetHostFileName(QStringLiteral("avant.txt"));
  s.ftp.SetLocalFileName(QStringLiteral("apres.txt"));
  ASSERT_EQ(s.run(&TCustomFtpCli::StartRename), 0);
  EXPECT_EQ(s.lastRequest(), frRename);
  EXPECT_TRUE(QFileInfo::exists(dir + QStringLiteral("/apres.txt")));
  EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/avant.txt")));

  s.ftp.SetHostFileName(QStringLiteral("apres.txt"));
  ASSERT_EQ(s.run(&TCustomFtpCli::StartDele), 0);
  EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/apres.txt")));
  EXPECT_EQ(s.run(&TCustomFtpCli::StartDele), 550);
  EXPECT_EQ(s.lastRequest(), frDele);
}

TEST_P(RealServer, ListingsGoToAFileOrToTheDisplay) {
  ASSERT_EQ(upload("1", QStringLiteral("un.xml")), 0);
  ASSERT_EQ(upload("2", QStringLiteral("deux.dtd")), 0);
  s.ftp.SetHostFileName(QString());
  s.ftp.SetLocalFileName(localPath(QStringLiteral("ftpdir.tmp")));
  ASSERT_EQ(s.run(&TCustomFtpCli::StartLs), 0);
  EXPECT_EQ(s.lastRequest(), frLs);
  QStringList names = QString::fromLatin1(readBytes(localPath(QStringLiteral("ftpdir.tmp")))).split(
      QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  names.sort();
  EXPECT_EQ(names, (QStringList{QStringLiteral("deux.dtd"), QStringLiteral("un.xml")}));

  ASSERT_EQ(s.run(&TCustomFtpCli::StartDir), 0);
  EXPECT_EQ(s.lastRequest(), frDir);
  const QByteArray listing = readBytes(localPath(QStringLiteral("ftpdir.tmp")));
  EXPECT_TRUE(listing.contains(" un.xml\r\n") && listing.contains(" deux.dtd\r\n")) << listing.toStdString();

  s.ftp.SetDisplayFileFlag(true);
  s.ftp.SetLocalFileName(QString());
  ASSERT_EQ(s.run(&TCustomFtpCli::StartLs), 0);
  QStringList shown = s.displayed;
  shown.sort();
  EXPECT_EQ(shown, (QStringList{QStringLiteral("deux.dtd"), QStringLiteral("un.xml")}));
}

TEST_P(RealServer, ADownloadResumesWhereTheLocalFileEnds) {
  const QByteArray bytes = patternBytes(200000, 3);
  ASSERT_EQ(upload(bytes, QStringLiteral("reprise.bin")), 0);
  writeBytes(localPath(QStringLiteral("partiel.bin")), bytes.left(123457));
  s.ftp.SetLocalFileName(localPath(QStringLiteral("partiel.bin")));
  ASSERT_EQ(s.run(&TCustomFtpCli::StartRestGet), 0) << s.transcript.join('\n').toStdString();
  EXPECT_EQ(s.lastRequest(), frRestGet);
  EXPECT_TRUE(s.saw(QStringLiteral("> REST 123457")));
  EXPECT_EQ(s.ftp.TransferCount(), bytes.size() - 123457);
  EXPECT_EQ(s.ftp.RestartOffset(), 0);
  EXPECT_EQ(readBytes(localPath(QStringLiteral("partiel.bin"))), bytes);

  // No local file: no REST, the whole file.
  s.ftp.SetLocalFileName(localPath(QStringLiteral("absent.bin")));
  const qsizetype sent = s.transcript.size();
  ASSERT_EQ(s.run(&TCustomFtpCli::StartRestGet), 0);
  EXPECT_FALSE(s.transcript.mid(sent).join('\n').contains(QLatin1String("REST")));
  EXPECT_EQ(readBytes(localPath(QStringLiteral("absent.bin"))), bytes);
}

TEST_P(RealServer, AnUploadResumesAtTheOffsetGiven) {
  const QByteArray bytes = patternBytes(100000, 5);
  ASSERT_EQ(upload(bytes.left(40000), QStringLiteral("moitie.bin")), 0);
  writeBytes(localPath(QStringLiteral("entier.bin")), bytes);
  s.ftp.SetLocalFileName(localPath(QStringLiteral("entier.bin")));
  s.ftp.SetRestartOffset(40000);
  ASSERT_EQ(s.run(&TCustomFtpCli::StartRestPut), 0) << s.transcript.join('\n').toStdString();
  EXPECT_EQ(s.lastRequest(), frPut);
  EXPECT_EQ(readBytes(dir + QStringLiteral("/moitie.bin")), bytes);
}

TEST_P(RealServer, AbortInTheMiddleOfALargeTransferEndsIt) {
  const QByteArray bytes = patternBytes(8 << 20, 9);
  ASSERT_EQ(upload(bytes, QStringLiteral("gros.bin")), 0);
  s.ftp.SetLocalFileName(localPath(QStringLiteral("gros-local.bin")));
  s.ftp.OnProgress = [](TCustomFtpCli* f, qint64 count, bool& abort) { abort = count > 1000000 && f; };
  const int error = s.run(&TCustomFtpCli::StartGet);
  EXPECT_NE(error, 0);
  EXPECT_TRUE(s.saw(QStringLiteral("! Abort requested")));
  EXPECT_LT(QFileInfo(localPath(QStringLiteral("gros-local.bin"))).size(), bytes.size());
  s.ftp.OnProgress = nullptr;
  // The control connection still serves.
  ASSERT_EQ(s.run(&TCustomFtpCli::StartPwd), 0);

  // A local abort cuts everything and still ends the request.
  bool aborted = false;
  s.ftp.OnProgress = [&](TCustomFtpCli* f, qint64 count, bool&) {
    if (count > 1000000 && !aborted) {
      aborted = true;
      QMetaObject::invokeMethod(f, [f] { f->AbortNow(); }, Qt::QueuedConnection);
    }
  };
  s.run(&TCustomFtpCli::StartGet);
  EXPECT_TRUE(aborted);
  EXPECT_FALSE(s.ftp.IsConnected());
  EXPECT_EQ(s.ftp.State(), fsReady);
}

TEST_P(RealServer, SynchronousFormsWaitForTheEnd) {
  s.ftp.SetHostFileName(QStringLiteral("sync"));
  EXPECT_TRUE(s.ftp.RunAndWait(&TCustomFtpCli::StartMkd));
  EXPECT_FALSE(s.ftp.RunAndWait(&TCustomFtpCli::StartMkd));  // exists already
  EXPECT_EQ(s.ftp.StatusCode(), 550);
  EXPECT_TRUE(s.ftp.QuitAndWait());
  EXPECT_FALSE(s.ftp.IsConnected());
  EXPECT_TRUE(s.saw(QStringLiteral("> QUIT")));
  // Not connected any more: refused before anything is sent, and the answer is false.
  EXPECT_FALSE(s.ftp.RunAndWait(&TCustomFtpCli::StartPwd));
}

TEST_P(RealServer, FullSequencesOpenWorkAndQuit) {
  ASSERT_TRUE(s.ftp.QuitAndWait());
  writeBytes(localPath(QStringLiteral("complet.txt")), "contenu complet");
  s.ftp.SetHostDirName(QStringLiteral("/") + QFileInfo(dir).fileName());
  s.ftp.SetHostFileName(QStringLiteral("complet.txt"));
  s.ftp.SetLocalFileName(localPath(QStringLiteral("complet.txt")));
  ASSERT_EQ(s.run(&TCustomFtpCli::StartFullPut), 0) << s.transcript.join('\n').toStdString();
  EXPECT_EQ(s.lastRequest(), frPut);
  EXPECT_FALSE(s.ftp.IsConnected());
  EXPECT_EQ(readBytes(dir + QStringLiteral("/complet.txt")), QByteArray("contenu complet"));

  ASSERT_EQ(s.run(&TCustomFtpCli::StartFullSyst), 0);
  EXPECT_EQ(s.lastRequest(), frFullSyst);
  // The closing QUIT's 221 does not hide the reply that mattered.
  EXPECT_EQ(s.ftp.StatusCode(), 215);
  // This server knows no size in ASCII mode, which a full size sequence keeps.
  EXPECT_EQ(s.run(&TCustomFtpCli::StartFullSize), 550);
  EXPECT_EQ(s.lastRequest(), frSize);
  EXPECT_EQ(s.ftp.StatusCode(), 550);
  ASSERT_TRUE(s.ftp.IsConnected());  // a failed step sends no QUIT
  ASSERT_TRUE(s.ftp.QuitAndWait());

  s.ftp.SetLocalFileName(localPath(QStringLiteral("complet-retour.txt")));
  ASSERT_EQ(s.run(&TCustomFtpCli::StartFullGet), 0);
  EXPECT_EQ(s.lastRequest(), frFullGet);
  EXPECT_EQ(readBytes(localPath(QStringLiteral("complet-retour.txt"))), QByteArray("contenu complet"));

  ASSERT_EQ(s.run(&TCustomFtpCli::StartFullDele), 0);
  EXPECT_EQ(s.lastRequest(), frFullDele);
  EXPECT_FALSE(QFileInfo::exists(dir + QStringLiteral("/complet.txt")));

  // A failing step ends the sequence at once: no QUIT.
  const qsizetype from = s.transcript.size();
  EXPECT_EQ(s.run(&TCustomFtpCli::StartFullDele), 550);
  EXPECT_EQ(s.lastRequest(), frFullDele);
  EXPECT_FALSE(s.transcript.mid(from).contains(QStringLiteral("> QUIT")));
  EXPECT_TRUE(s.ftp.QuitAndWait());
}

INSTANTIATE_TEST_SUITE_P(Modes, RealServer, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Passive" : "Active") +
                                  (std::get<1>(info.param) ? "Tls" : "");
                         });

}  // namespace
