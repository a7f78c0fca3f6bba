// The transfer window and its upload logic, end to end against a real FTP server, and the
// faults a real server seldom makes through the scripted one.
#include "FileBytes.h"
#include "FtpTestSupport.h"
#include "FtpTransfer.h"
#include "FtpWindow.h"
#include "ScriptedPrompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QAbstractButton>
#include <QProcess>
#include <QTextBlock>

#include <algorithm>

namespace {

// The commands a server received, without the PORT commands, whose addresses change each run.
QList<QByteArray> withoutPort(const QList<QByteArray>& commands) {
  QList<QByteArray> kept;
  for (const QByteArray& c : commands)
    if (!c.startsWith("PORT")) kept << c;
  return kept;
}

// The window lists and changes the process's current folder: each test gets it back.
class CurrentFolder {
 public:
  explicit CurrentFolder(const QString& path) : saved_(QDir::currentPath()) { QDir::setCurrent(path); }
  ~CurrentFolder() { QDir::setCurrent(saved_); }

 private:
  QString saved_;
};

void makeFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  writeBytes(path, bytes);
}

QStringList names(const QTreeWidget* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
  return out;
}

void select(QTreeWidget* list, const QStringList& wanted) {
  list->clearSelection();
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (wanted.contains(list->topLevelItem(i)->text(0))) list->topLevelItem(i)->setSelected(true);
}

// Commands as sent, without the data connection's set-up, which differs between the two modes.
QStringList commands(const QStringList& log) {
  QStringList out;
  for (const QString& line : log)
    if (line.startsWith(QLatin1String("> ")) && !line.startsWith(QLatin1String("> PORT")) &&
        !line.startsWith(QLatin1String("> PASV")))
      out << line.mid(2);
  return out;
}

QByteArray unixLines(QByteArray b) { return b.replace("\r\n", "\n"); }

class WindowOnServer : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    ASSERT_TRUE(local.isValid());
    folder = std::make_unique<CurrentFolder>(local.path());
    w = std::make_unique<TFtp>();
    w->Port = QString::number(server.port());
    // Everything the log receives, beyond the window's 200 lines.
    auto shown = w->Transfer.log;
    w->Transfer.log = [this, shown](const QString& line) {
      log << line;
      shown(line);
    };
    w->show();
  }
  void TearDown() override {
    w.reset();
    folder.reset();
  }
  void connectWindow(const QString& password = QString::fromLatin1(PyFtpServer::kPassword),
                     const QString& host = QStringLiteral("127.0.0.1")) {
    w->Edit1->setText(host);
    w->Edit2->setText(QString::fromLatin1(PyFtpServer::kUser));
    w->Edit3->setText(password);
    w->ModePassif->setChecked(GetParam());
    w->ChiffrementTls->setChecked(false);  // this server speaks in clear only
    QTest::mouseClick(w->OpenBtn, Qt::LeftButton);
  }
  // The listing that follows the connect runs on its own; a click meanwhile finds the engine busy.
  void waitForListing() {
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("Request 8 Done.")); }, 10000))
        << log.join('\n').toStdString();
  }
  // The server's list arrives after the request that asked for it.
  void waitForServerList(const QString& name) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return names(w->ListView2).contains(name); }, 10000))
        << name.toStdString() << "\n" << log.join('\n').toStdString();
  }
  bool transferButtonsEnabled() const {
    return w->SpeedButton2->isEnabled() && w->SpeedButton3->isEnabled() && w->SpeedButton10->isEnabled() &&
           w->StopBtn->isEnabled();
  }

  PyFtpServer server;
  QTemporaryDir local;
  std::unique_ptr<CurrentFolder> folder;
  std::unique_ptr<TFtp> w;
  QStringList log;
  ScriptedPrompts prompts;  // engine faults land in the error box
};

TEST_P(WindowOnServer, UploadsFilesAndAFolderTreeInOrderAndListsTheServer) {
  const QByteArray png = patternBytes(70000, 3), gif = patternBytes(1200, 4), plain = patternBytes(900, 5);
  makeFile(local.filePath(QStringLiteral("Index.HTM")), "<html>\r\n<body>Bonjour</body>\r\n</html>\r\n");
  makeFile(local.filePath(QStringLiteral("logo.gif")), gif);
  makeFile(local.filePath(QStringLiteral("LISEZMOI")), plain);
  makeFile(local.filePath(QStringLiteral("site/a.html")), "<p>a</p>\r\n<p>b</p>\r\n");
  makeFile(local.filePath(QStringLiteral("site/img/b.png")), png);
  w->SpeedButton10->click();  // disabled before connecting: nothing happens
  w->LitRepert();

  connectWindow();
  ASSERT_TRUE(transferButtonsEnabled()) << log.join('\n').toStdString();
  EXPECT_TRUE(w->SpeedButton1->isEnabled());
  EXPECT_FALSE(w->SpeedButton4->isEnabled());
  EXPECT_TRUE(log.contains(QStringLiteral("> PASS ****")));
  waitForListing();

  select(w->ListView1, {QStringLiteral(".."), QStringLiteral("Index.HTM"), QStringLiteral("LISEZMOI"),
                        QStringLiteral("logo.gif"), QStringLiteral("site")});
  log.clear();
  QTest::mouseClick(w->SpeedButton2, Qt::LeftButton);
  waitForServerList(QStringLiteral("site"));

  EXPECT_EQ(commands(log), (QStringList{
                               QStringLiteral("TYPE A"), QStringLiteral("STOR Index.HTM"),
                               QStringLiteral("TYPE I"), QStringLiteral("STOR LISEZMOI"),
                               QStringLiteral("TYPE I"), QStringLiteral("STOR logo.gif"),
                               QStringLiteral("MKD site"), QStringLiteral("CWD site"),
                               QStringLiteral("TYPE A"), QStringLiteral("STOR a.html"),
                               QStringLiteral("MKD img"), QStringLiteral("CWD img"),
                               QStringLiteral("TYPE I"), QStringLiteral("STOR b.png"),
                               QStringLiteral("CWD .."), QStringLiteral("CWD .."), QStringLiteral("NLST")}));
  const bool passive = GetParam();
  EXPECT_EQ(log.filter(QStringLiteral("> PASV")).size(), passive ? 6 : 0);
  EXPECT_EQ(log.filter(QStringLiteral("> PORT")).size(), passive ? 0 : 6);
  EXPECT_TRUE(log.contains(QStringLiteral("Request 18 Done.")));
  EXPECT_FALSE(log.join('\n').contains(QLatin1String(PyFtpServer::kPassword)));
  EXPECT_FALSE(w->ProgressBar1->isVisible());

  const QString home = server.home();
  EXPECT_EQ(readBytes(home + QStringLiteral("/site/img/b.png")), png);
  EXPECT_EQ(readBytes(home + QStringLiteral("/logo.gif")), gif);
  EXPECT_EQ(readBytes(home + QStringLiteral("/LISEZMOI")), plain);
  EXPECT_EQ(unixLines(readBytes(home + QStringLiteral("/Index.HTM"))),
            unixLines(readBytes(local.filePath(QStringLiteral("Index.HTM")))));
  EXPECT_EQ(unixLines(readBytes(home + QStringLiteral("/site/a.html"))), QByteArray("<p>a</p>\n<p>b</p>\n"));
  EXPECT_EQ(names(w->ListView2), (QStringList{QStringLiteral(".."), QStringLiteral("Index.HTM"),
                                              QStringLiteral("LISEZMOI"), QStringLiteral("logo.gif"),
                                              QStringLiteral("site")}));
  EXPECT_FALSE(QFileInfo::exists(w->FichierListe));
  EXPECT_EQ(QFileInfo(w->FichierListe).fileName(), QStringLiteral("ftpdir.tmp"));
  EXPECT_EQ(QFileInfo(QFileInfo(w->FichierListe).path()).permissions() & (QFile::ReadOther | QFile::WriteOther), 0);
  EXPECT_TRUE(prompts.log.isEmpty()) << prompts.log.join('\n').toStdString();
}

TEST_P(WindowOnServer, NavigatesAndDeletesOnTheServerByTheDotInTheName) {
  QDir(server.home()).mkpath(QStringLiteral("site/img"));
  makeFile(server.home() + QStringLiteral("/site/a.html"), "a");
  makeFile(server.home() + QStringLiteral("/site/img/b.png"), "b");
  makeFile(server.home() + QStringLiteral("/site/vide"), "");
  connectWindow();
  waitForServerList(QStringLiteral("site"));

  select(w->ListView2, {QStringLiteral("site")});
  QTest::keyClick(w->ListView2, Qt::Key_Return);
  waitForServerList(QStringLiteral("img"));
  EXPECT_TRUE(log.contains(QStringLiteral("> CWD site")));

  prompts.answers = {Prompts::Answer::No, Prompts::Answer::Yes};
  select(w->ListView2, {QStringLiteral("a.html"), QStringLiteral("img"), QStringLiteral("vide")});
  QTest::keyClick(w->ListView2, Qt::Key_Delete);  // answered No: nothing goes
  EXPECT_TRUE(QFileInfo::exists(server.home() + QStringLiteral("/site/a.html")));
  log.clear();
  QTest::keyClick(w->ListView2, Qt::Key_Delete);
  EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("> NLST")); }, 10000));
  EXPECT_EQ(prompts.log, (QStringList{QStringLiteral("confirm: Effacer les fichiers sélectionnés ?"),
                                      QStringLiteral("confirm: Effacer les fichiers sélectionnés ?")}));
  EXPECT_EQ(commands(log), (QStringList{QStringLiteral("DELE a.html"), QStringLiteral("RMD img"),
                                        QStringLiteral("RMD vide"), QStringLiteral("NLST")}));
  EXPECT_FALSE(QFileInfo::exists(server.home() + QStringLiteral("/site/a.html")));
  // Not emptied first: the folder stays; a file without a dot is taken for a folder.
  EXPECT_TRUE(QFileInfo::exists(server.home() + QStringLiteral("/site/img/b.png")));
  EXPECT_TRUE(QFileInfo::exists(server.home() + QStringLiteral("/site/vide")));

  // ".." climbs back without reconnecting.
  waitForListing();
  select(w->ListView2, {QStringLiteral("..")});
  QTest::keyClick(w->ListView2, Qt::Key_Return);
  waitForServerList(QStringLiteral("site"));
  EXPECT_TRUE(log.contains(QStringLiteral("> CDUP")));
  EXPECT_EQ(names(w->ListView2).first(), QStringLiteral(".."));

  QTest::mouseClick(w->SpeedButton1, Qt::LeftButton);
  EXPECT_EQ(w->ListView2->topLevelItemCount(), 0);
  EXPECT_FALSE(transferButtonsEnabled());
  EXPECT_FALSE(w->SpeedButton1->isEnabled());
}

TEST_P(WindowOnServer, BusyEngineRefusesAnUploadAndLeavesTheLocalFileWhole) {
  makeFile(local.filePath(QStringLiteral("page.htm")), "<p>garde</p>");
  w->LitRepert();
  connectWindow();
  select(w->ListView1, {QStringLiteral("page.htm")});
  QTest::mouseClick(w->SpeedButton2, Qt::LeftButton);  // while the first listing runs
  EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Une opération est déjà en cours avec le serveur. "
                                                           "Attendez sa fin ou cliquez sur « Arrêter ».")});
  waitForListing();
  EXPECT_EQ(readBytes(local.filePath(QStringLiteral("page.htm"))), QByteArray("<p>garde</p>"));
  EXPECT_FALSE(w->ProgressBar1->isVisible());
}

TEST_P(WindowOnServer, RefusedLoginLeavesTheTransferButtonsDisabled) {
  connectWindow(QStringLiteral("mauvais"));
  EXPECT_EQ(w->Transfer.Reponse, QStringLiteral("Nak"));
  EXPECT_FALSE(transferButtonsEnabled());
  EXPECT_TRUE(w->SpeedButton1->isEnabled());
  EXPECT_TRUE(log.contains(QStringLiteral("> PASS ****")));
}

// The earlier session's end must not end the new connect's wait; host:port names the port.
TEST_P(WindowOnServer, ConnectingAgainAfterARefusedPasswordOrWhileConnectedFillsTheList) {
  makeFile(server.home() + QStringLiteral("/a.txt"), "a");
  w->Port = QStringLiteral("1");
  const QString host = QStringLiteral("127.0.0.1:%1").arg(server.port());
  connectWindow(QStringLiteral("mauvais"), host);
  EXPECT_FALSE(transferButtonsEnabled());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    w->ListView2->clear();
    connectWindow(QString::fromLatin1(PyFtpServer::kPassword), host);
    EXPECT_TRUE(transferButtonsEnabled());
    waitForServerList(QStringLiteral("a.txt"));
  }
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_EQ(prompts.messages().first(),
            QStringLiteral("Connexion impossible à 127.0.0.1 : identifiant ou mot de passe refusé (« 530 "
                           "Authentication failed. »)."));
}

INSTANTIATE_TEST_SUITE_P(Modes, WindowOnServer, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "passive" : "active"; });

TEST(FtpTransfer, TextModeByExtensionOnly) {
  const struct {
    const char* name;
    bool text;
  } cases[] = {{"Index.HTM", true}, {"logo.gif", false}, {"LISEZMOI", false}, {"page.shtml", true},
               {"notes.Txt", true}, {"a.asc", false}, {"archive.xml.gz", false}, {"/x/y.z/readme", false},
               {"style.CSS", true}, {"fichier.", false}};
  for (const auto& c : cases) EXPECT_EQ(FtpTransfer::isText(QString::fromUtf8(c.name)), c.text) << c.name;
}

// A server that takes every command, refuses STOR of "refus.bin" or CWD into "interdit", and
// drops the connection at STOR of "coupe.bin".
ScriptedServer::Script pickyServer() {
  return [](ScriptedServer& s, const QByteArray& c) {
    if (c.startsWith("USER")) s.reply("331 Mot de passe ?\r\n");
    else if (c.startsWith("PASS")) s.reply("230 Ok\r\n");
    else if (c == "STOR refus.bin") s.reply("553 Interdit.\r\n");
    else if (c == "STOR coupe.bin") s.dropControl();
    else if (c.startsWith("STOR")) {
      s.reply("150 Ok\r\n");
      s.openData();
      s.closeData();
      s.reply("226 Fini\r\n");
    } else if (c == "CWD interdit" || c == "MKD interdit") s.reply("550 Non.\r\n");
    else if (c.startsWith("CWD") || c.startsWith("MKD")) s.reply("250 \"/x\" ok\r\n");
    else s.reply("200 Ok\r\n");
  };
}

struct ScriptedTransfer {
  TFtpClient ftp;
  FtpTransfer transfer{ftp};
  QStringList log;
  ScriptedServer server{"220 Bonjour\r\n", pickyServer()};
  QTemporaryDir local;

  bool connect() {
    transfer.log = [this](const QString& line) { log << line; };
    ftp.SetHostName(QStringLiteral("127.0.0.1"));
    ftp.SetPort(QString::number(server.port()));
    ftp.SetUserName(QStringLiteral("u"));
    ftp.SetPassWord(QStringLiteral("p"));
    ftp.StartConnect();
    transfer.Delay();
    return transfer.Reponse == u"Ok";
  }
  QString file(const QString& name) {
    makeFile(local.filePath(name), "x");
    return local.filePath(name);
  }
};

TEST(FtpTransfer, RefusedUploadEndsItsWaitAndTheNextFileGoes) {
  ScriptedTransfer t;
  ASSERT_TRUE(t.connect());
  EXPECT_FALSE(t.transfer.SendFile(QString(), t.file(QStringLiteral("refus.bin"))));
  EXPECT_TRUE(t.log.contains(QStringLiteral("Échec de l'envoi de ") + t.local.filePath(QStringLiteral("refus.bin"))));
  EXPECT_TRUE(t.transfer.SendFile(QString(), t.file(QStringLiteral("bon.bin"))));
  EXPECT_EQ(t.transfer.failures, 1);
  EXPECT_EQ(std::count_if(t.server.commands.begin(), t.server.commands.end(),
                          [](const QByteArray& c) { return c.startsWith("STOR"); }),
            2);
}

TEST(FtpTransfer, DroppedConnectionEndsTheUploadWaitAsAFailure) {
  ScriptedTransfer t;
  ASSERT_TRUE(t.connect());
  EXPECT_FALSE(t.transfer.SendFile(QString(), t.file(QStringLiteral("coupe.bin"))));
  EXPECT_EQ(t.transfer.failures, 1);
  EXPECT_EQ(t.transfer.Reponse, QStringLiteral("Nak"));
  // The next entry meets the closed connection before anything is sent.
  EXPECT_THROW(t.transfer.SendFile(QString(), t.file(QStringLiteral("bon.bin"))), FtpException);
}

TEST(FtpTransfer, FolderThatCannotBeEnteredIsSkippedWithoutClimbingOut) {
  ScriptedTransfer t;
  ASSERT_TRUE(t.connect());
  t.file(QStringLiteral("interdit/a.bin"));
  t.file(QStringLiteral("ok/b.bin"));
  t.transfer.SendFolder(t.local.filePath(QStringLiteral("interdit")));
  t.transfer.SendFolder(t.local.filePath(QStringLiteral("ok")));
  const QList<QByteArray> sent = withoutPort(t.server.commands);
  EXPECT_EQ(sent, (QList<QByteArray>{"USER u", "PASS p", "MKD interdit", "CWD interdit", "MKD ok", "CWD ok",
                                     "TYPE I", "STOR b.bin", "CWD .."}));
  EXPECT_EQ(t.transfer.failures, 1);
  EXPECT_TRUE(t.log.contains(QStringLiteral("Dossier non envoyé : ") + t.local.filePath(QStringLiteral("interdit"))));
}

TEST(FtpTransfer, EngineTextsAreShownInFrench) {
  const struct {
    const char* engine;
    const char* french;
  } cases[] = {
      {"FTP component not connected", "La connexion avec le serveur est fermée. Cliquez sur « Connecter »."},
      {"STOR/APPE: not connected", "La connexion avec le serveur est fermée. Cliquez sur « Connecter »."},
      {"Password emtpy", "Le mot de passe est vide."},
      {"500 Connection refused (Winsock error #111)",
       "La connexion a échoué : le serveur refuse la connexion (aucun service FTP sur ce port ?)."},
      {"500 Host not found (Winsock error #11001)", "La connexion a échoué : hôte introuvable."},
      {"500 FtpException: Password emtpy", "Le mot de passe est vide."},
      {"500 TLS handshake failed: wrong version number",
       "La négociation du chiffrement a échoué (wrong version number)."},
      {"quelque chose\x1b[2J", "Erreur du transfert FTP : quelque chose\\x1b[2J"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FtpTransfer::french(QString::fromUtf8(c.engine)), QString::fromUtf8(c.french)) << c.engine;
}

TEST(FtpTransfer, HostFieldTakesAPort) {
  const struct {
    const char* text;
    bool ok;
    const char* host;
    const char* port;
  } cases[] = {{"ftp.exemple.fr", true, "ftp.exemple.fr", "21"},
               {"ftp.exemple.fr:2121", true, "ftp.exemple.fr", "2121"},
               {" 10.0.0.5:990 ", true, "10.0.0.5", "990"},
               {"[::1]:2121", true, "::1", "2121"},
               {"[2001:db8::7]", true, "2001:db8::7", "21"},
               {"2001:db8::7", true, "2001:db8::7", "21"},
               {"hote:", false, "", ""},
               {"hote:0", false, "", ""},
               {"hote:65536", false, "", ""},
               {"hote:+21", false, "", ""},
               {":21", false, "", ""},
               {"[::1", false, "", ""},
               {"[::1]x", false, "", ""},
               {"[]:21", false, "", ""}};
  for (const auto& c : cases) {
    QString host, port = QStringLiteral("21");
    EXPECT_EQ(FtpTransfer::splitHostPort(QString::fromLatin1(c.text), host, port), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(host, QString::fromLatin1(c.host)) << c.text;
    EXPECT_EQ(port, QString::fromLatin1(c.port)) << c.text;
  }
}

// A name the engine cannot send (a line break, bytes that are not UTF-8) is one failed entry,
// logged with its name; the entries after it still go.
TEST(FtpTransfer, UnsendableNamesAreCountedAndTheRestGoes) {
  ScriptedTransfer t;
  ASSERT_TRUE(t.connect());
  t.file(QStringLiteral("dossier/a.bin"));
  t.file(QStringLiteral("dossier/mau\nvais.bin"));
  t.file(QStringLiteral("dossier/z.bin"));
  t.file(QStringLiteral("dossier/sous\rdir/b.bin"));
  const QByteArray latin1 = QFile::encodeName(t.local.filePath(QStringLiteral("dossier"))) + "/lat\xe9.bin";
  QFile raw;
  ASSERT_TRUE(raw.open(::fopen(latin1.constData(), "w"), QIODevice::WriteOnly, QFile::AutoCloseHandle));
  raw.close();
  t.transfer.SendFolder(t.local.filePath(QStringLiteral("dossier")));
  const QList<QByteArray> sent = withoutPort(t.server.commands);
  EXPECT_EQ(sent, (QList<QByteArray>{"USER u", "PASS p", "MKD dossier", "CWD dossier", "TYPE I", "STOR a.bin",
                                     "TYPE I", "STOR z.bin", "CWD .."}));
  EXPECT_EQ(t.transfer.failures, 3);
  const QString folder = t.local.filePath(QStringLiteral("dossier"));
  const QString refusal = TCustomFtpCli::ArgumentRefusal();
  EXPECT_TRUE(t.log.contains(QStringLiteral("Échec de l'envoi de ") + folder + QStringLiteral("/mau\\nvais.bin : ") + refusal))
      << t.log.join('\n').toStdString();
  EXPECT_TRUE(t.log.contains(QStringLiteral("Dossier non envoyé : ") + folder + QStringLiteral("/sous\\rdir : ") + refusal));
  EXPECT_TRUE(t.log.contains(QStringLiteral("Échec de l'envoi de ") + folder +
                             QStringLiteral("/lat\\xe9.bin : son nom n'est pas en UTF-8")));
}

TEST(FtpTransfer, ASilentServerIsSaidToHaveStoppedAnswering) {
  ScriptedServer server("220 Bonjour\r\n", [](ScriptedServer&, const QByteArray&) {});
  TFtpClient ftp;
  FtpTransfer transfer(ftp);
  QStringList log;
  transfer.log = [&](const QString& line) { log << line; };
  transfer.waitLimitMs = 300;
  ftp.SetHostName(QStringLiteral("127.0.0.1"));
  ftp.SetPort(QString::number(server.port()));
  ftp.SetUserName(QStringLiteral("u"));
  ftp.SetPassWord(QStringLiteral("p"));
  ftp.StartConnect();
  transfer.Delay();
  EXPECT_TRUE(transfer.timedOut);
  EXPECT_EQ(log.last(), QStringLiteral("Le serveur ne répond plus : aucune réponse depuis 0 s."));
}

// The window against the scripted server: a connection dropped in the middle of an upload.
TEST(FtpWindowScripted, ADroppedConnectionReturnsTheWindowToItsDisconnectedState) {
  QTemporaryDir local;
  CurrentFolder folder(local.path());
  for (const char* name : {"a.bin", "coupe.bin", "z.bin"}) makeFile(local.filePath(QString::fromLatin1(name)), "x");
  ScriptedServer server("220 Bonjour\r\n", pickyServer());
  ScriptedPrompts prompts;
  TFtp w;
  w.Port = QString::number(server.port());
  w.show();
  w.Edit1->setText(QStringLiteral("127.0.0.1"));
  w.Edit2->setText(QStringLiteral("u"));
  w.Edit3->setText(QStringLiteral("p"));
  w.ChiffrementTls->setChecked(false);
  QTest::mouseClick(w.OpenBtn, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.Memo1->toPlainText().contains(QLatin1String("Request 8 Done.")); }, 10000));
  select(w.ListView1, {QStringLiteral("a.bin"), QStringLiteral("coupe.bin"), QStringLiteral("z.bin")});
  QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
  EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("La connexion avec le serveur a été perdue.")});
  EXPECT_FALSE(w.SpeedButton2->isEnabled());
  EXPECT_FALSE(w.SpeedButton1->isEnabled());
  EXPECT_FALSE(w.StopBtn->isEnabled());
  EXPECT_EQ(w.ListView2->topLevelItemCount(), 0);
  EXPECT_TRUE(w.OpenBtn->isEnabled());
  EXPECT_FALSE(server.commands.contains("STOR z.bin"));
}

// A TLS-only server whose certificate no authority signed: the window asks, the user accepts it
// for this connection, and a folder sent through the window arrives whole, encrypted.
TEST(FtpWindowTls, AFolderReachesATlsOnlyServerAfterTheCertificateQuestion) {
  PyFtpServer server;
  ASSERT_TRUE(server.start(PyFtpServer::Tls::Required)) << server.error().toStdString();
  QTemporaryDir local;
  CurrentFolder folder(local.path());
  const QByteArray logo = patternBytes(150000, 12);
  makeFile(local.filePath(QStringLiteral("site/index.html")), "<p>chiffre</p>\n");
  makeFile(local.filePath(QStringLiteral("site/img/logo.bin")), logo);
  ScriptedPrompts prompts;
  QString question;
  prompts.dialogs.push_back([&question](QDialog& d) {
    auto& box = static_cast<QMessageBox&>(d);
    question = box.text();
    for (QAbstractButton* b : box.buttons())
      if (box.buttonRole(b) == QMessageBox::AcceptRole) b->click();
    return int(QDialog::Accepted);
  });
  TFtp w;
  w.Port = QString::number(server.port());
  w.show();
  EXPECT_TRUE(w.ChiffrementTls->isChecked());
  w.Edit1->setText(QStringLiteral("127.0.0.1"));
  w.Edit2->setText(QString::fromLatin1(PyFtpServer::kUser));
  w.Edit3->setText(QString::fromLatin1(PyFtpServer::kPassword));
  QTest::mouseClick(w.OpenBtn, Qt::LeftButton);
  EXPECT_EQ(question, QStringLiteral("Le certificat du serveur n'a pas pu être vérifié : le certificat est signé par "
                                     "le serveur lui-même (autosigné).\n\nEmpreinte SHA-256 :\n%1\n\nAccepter ce "
                                     "certificat pour cette connexion seulement ?").arg(server.fingerprint()));
  ASSERT_TRUE(w.SpeedButton2->isEnabled()) << w.Memo1->toPlainText().toStdString();
  EXPECT_TRUE(w.Memo1->toPlainText().contains(QStringLiteral("Connexion chiffrée (TLS)")));
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.Memo1->toPlainText().contains(QLatin1String("Request 8 Done.")); }, 10000));
  w.LitRepert();
  select(w.ListView1, {QStringLiteral("site")});
  QTest::mouseClick(w.SpeedButton2, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return names(w.ListView2).contains(QStringLiteral("site")); }, 20000))
      << w.Memo1->toPlainText().toStdString();
  EXPECT_EQ(readBytes(server.home() + QStringLiteral("/site/img/logo.bin")), logo);
  EXPECT_EQ(readBytes(server.home() + QStringLiteral("/site/index.html")), QByteArray("<p>chiffre</p>\n"));
  EXPECT_TRUE(server.log().contains("PROT P"));
  EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join('\n').toStdString();
}

// A server without TLS: the window asks before the user name goes out; No ends the connection
// without a further box, Yes goes on in clear and says so.
TEST(FtpWindowTls, AServerWithoutTlsIsPutToTheUser) {
  PyFtpServer server;
  ASSERT_TRUE(server.start()) << server.error().toStdString();
  QTemporaryDir local;
  CurrentFolder folder(local.path());
  ScriptedPrompts prompts;
  prompts.answers = {Prompts::Answer::No, Prompts::Answer::Yes};
  TFtp w;
  w.Port = QString::number(server.port());
  w.show();
  w.Edit1->setText(QStringLiteral("127.0.0.1"));
  w.Edit2->setText(QString::fromLatin1(PyFtpServer::kUser));
  w.Edit3->setText(QString::fromLatin1(PyFtpServer::kPassword));
  QTest::mouseClick(w.OpenBtn, Qt::LeftButton);
  EXPECT_FALSE(w.SpeedButton2->isEnabled());
  EXPECT_FALSE(server.log().contains("<- USER"));
  QTest::mouseClick(w.OpenBtn, Qt::LeftButton);
  EXPECT_TRUE(w.SpeedButton2->isEnabled());
  EXPECT_TRUE(w.Memo1->toPlainText().contains(QStringLiteral("Connexion non chiffrée")));
  const QString question = QStringLiteral("confirm: Le serveur n'accepte pas le chiffrement. Continuer sans "
                                          "chiffrement ? Le mot de passe passera en clair.");
  EXPECT_EQ(prompts.log, (QStringList{question, question}));
}

struct LocalWindow : ::testing::Test {
  QTemporaryDir local;
  std::unique_ptr<CurrentFolder> folder;
  std::unique_ptr<TFtp> w;
  void SetUp() override {
    ASSERT_TRUE(local.isValid());
    folder = std::make_unique<CurrentFolder>(local.path());
  }
  void open() {
    w = std::make_unique<TFtp>();
    w->show();
  }
  void TearDown() override {
    w.reset();
    folder.reset();
  }
  QStringList row(const QString& name) const {
    for (int i = 0; i < w->ListView1->topLevelItemCount(); ++i) {
      const QTreeWidgetItem* item = w->ListView1->topLevelItem(i);
      if (item->text(0) == name) return {item->text(1), item->text(2), item->text(3)};
    }
    return {};
  }
};

TEST_F(LocalWindow, ListsNamesSizesDatesAttributesAndIconKeys) {
  makeFile(local.filePath(QStringLiteral("b.txt")), "12345");
  makeFile(local.filePath(QStringLiteral("A.TXT")), "1");
  makeFile(local.filePath(QStringLiteral(".cache")), "");
  makeFile(local.filePath(QStringLiteral("prog.exe")), "");
  makeFile(local.filePath(QStringLiteral("archive.tar.gz")), "");
  makeFile(local.filePath(QStringLiteral("lecture")), "x");
  QFile::setPermissions(local.filePath(QStringLiteral("lecture")), QFile::ReadOwner);
  QDir(local.path()).mkdir(QStringLiteral("dossier"));
  open();

  EXPECT_EQ(names(w->ListView1),
            (QStringList{QStringLiteral(".."), QStringLiteral(".cache"), QStringLiteral("A.TXT"),
                         QStringLiteral("archive.tar.gz"), QStringLiteral("b.txt"), QStringLiteral("dossier"),
                         QStringLiteral("lecture"), QStringLiteral("prog.exe")}));
  const QString today = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
  EXPECT_EQ(row(QStringLiteral("b.txt")), (QStringList{QStringLiteral("5"), today, QString()}));
  EXPECT_EQ(row(QStringLiteral("dossier")), (QStringList{QString(), today, QStringLiteral(" ")}));
  EXPECT_EQ(row(QStringLiteral("lecture")).value(2), QStringLiteral("r"));
  EXPECT_EQ(row(QStringLiteral(".cache")).value(2), QStringLiteral("h"));
  EXPECT_EQ(w->StaticText1->text(), QDir(local.path()).canonicalPath());
  // ".." keeps the folder image; program files each get their own key; one image per key.
  EXPECT_EQ(w->CacheIcones, (QStringList{QStringLiteral("wqz"), QStringLiteral("."), QStringLiteral("cache"),
                                         QStringLiteral("txt"), QStringLiteral("tar.gz"), QString(),
                                         QStringLiteral("prog.exe")}));
  EXPECT_EQ(w->ImageList1.size(), w->CacheIcones.size());
  EXPECT_EQ(w->ImageList1[0].size(), QSize(16, 16));
  EXPECT_EQ(w->ImageList1.last().size(), QSize(16, 16));

  select(w->ListView1, {QStringLiteral("dossier")});
  QTest::keyClick(w->ListView1, Qt::Key_Return);
  EXPECT_EQ(w->RepLocal, QDir(local.filePath(QStringLiteral("dossier"))).canonicalPath());
  EXPECT_EQ(names(w->ListView1), QStringList{QStringLiteral("..")});
  select(w->ListView1, {QStringLiteral("..")});
  w->ListView1DblClick();
  EXPECT_EQ(w->RepLocal, QDir(local.path()).canonicalPath());
}

TEST_F(LocalWindow, RootFolderShowsWithoutItsFinalSlash) {
  QDir::setCurrent(QStringLiteral("/"));
  open();
  EXPECT_EQ(w->RepLocal, QString());
  EXPECT_EQ(w->StaticText1->text(), QStringLiteral("/"));
}

TEST_F(LocalWindow, IconCacheEmptiesBeforeTheListingAfterItPassed200Keys) {
  for (int i = 0; i < 199; ++i) makeFile(local.filePath(QStringLiteral("f.e%1").arg(i, 3, 10, QChar(u'0'))), "");
  open();
  EXPECT_EQ(w->CacheIcones.size(), 201);
  EXPECT_EQ(w->CacheIcones.first(), QStringLiteral("wqz"));
  w->LitRepert();
  // The two first keys went too; ".." found its image anew.
  EXPECT_EQ(w->CacheIcones.size(), 200);
  EXPECT_FALSE(w->CacheIcones.contains(QStringLiteral("wqz")));
  EXPECT_EQ(w->CacheIcones.first(), QStringLiteral("."));
  EXPECT_EQ(w->ImageList1.size(), 200);
}

TEST_F(LocalWindow, LogKeepsAtMost201Lines) {
  open();
  for (int i = 1; i <= 201; ++i) w->Display(QString::number(i));
  EXPECT_EQ(w->Memo1->document()->blockCount(), 201);
  w->Display(QStringLiteral("202"));
  EXPECT_EQ(w->Memo1->document()->blockCount(), 152);
  EXPECT_EQ(w->Memo1->document()->firstBlock().text(), QStringLiteral("51"));
  EXPECT_EQ(w->Memo1->document()->lastBlock().text(), QStringLiteral("202"));
}

TEST_F(LocalWindow, DeletesAFolderTreeButNothingALinkPointsTo) {
  QTemporaryDir outside;
  makeFile(outside.filePath(QStringLiteral("garde.txt")), "garde");
  makeFile(local.filePath(QStringLiteral("jeter/a.txt")), "a");
  makeFile(local.filePath(QStringLiteral("jeter/sous/b.txt")), "b");
  makeFile(local.filePath(QStringLiteral("jeter/sous/lecture.txt")), "c");
  QFile::setPermissions(local.filePath(QStringLiteral("jeter/sous/lecture.txt")), QFile::ReadOwner);
  ASSERT_TRUE(QFile::link(outside.path(), local.filePath(QStringLiteral("jeter/lien"))));
  ASSERT_TRUE(QFile::link(outside.path(), local.filePath(QStringLiteral("jeter/sous/lien2"))));
  makeFile(local.filePath(QStringLiteral("seul.txt")), "s");
  QFile::setPermissions(local.filePath(QStringLiteral("seul.txt")), QFile::ReadOwner);
  makeFile(local.filePath(QStringLiteral("reste.txt")), "r");
  open();

  ScriptedPrompts prompts;
  prompts.answers = {Prompts::Answer::Yes, Prompts::Answer::No};
  select(w->ListView1, {QStringLiteral("jeter"), QStringLiteral("seul.txt")});
  QTest::mouseClick(w->SpeedButton3, Qt::LeftButton);  // disabled before connecting
  EXPECT_TRUE(prompts.log.isEmpty());
  QTest::keyClick(w->ListView1, Qt::Key_Delete);

  EXPECT_EQ(prompts.log, (QStringList{QStringLiteral("confirm: Attention, les fichiers ne seront pas récupérables "
                                                     "dans la corbeille\r\nEffacer les fichiers sélectionnés ?"),
                                      QStringLiteral("confirm: Fichier en lecture seule. Effacer quand même ?")}));
  EXPECT_FALSE(QFileInfo::exists(local.filePath(QStringLiteral("jeter"))));
  EXPECT_EQ(readBytes(outside.filePath(QStringLiteral("garde.txt"))), QByteArray("garde"));
  EXPECT_TRUE(QFileInfo::exists(local.filePath(QStringLiteral("seul.txt"))));  // answered No
  EXPECT_EQ(names(w->ListView1), (QStringList{QStringLiteral(".."), QStringLiteral("reste.txt"),
                                              QStringLiteral("seul.txt")}));
}

TEST_F(LocalWindow, FolderThatCannotBeRemovedIsReportedAndStopsTheDeletion) {
  makeFile(local.filePath(QStringLiteral("a/.cache/x")), "x");  // hidden folders are not entered
  makeFile(local.filePath(QStringLiteral("b.txt")), "b");
  open();
  ScriptedPrompts prompts;
  prompts.answers = {Prompts::Answer::Yes};
  select(w->ListView1, {QStringLiteral("a"), QStringLiteral("b.txt")});
  w->Efface1();
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_TRUE(prompts.messages().first().contains(local.filePath(QStringLiteral("a"))));
  EXPECT_TRUE(QFileInfo::exists(local.filePath(QStringLiteral("a/.cache/x"))));
  EXPECT_TRUE(QFileInfo::exists(local.filePath(QStringLiteral("b.txt"))));
  EXPECT_FALSE(w->ProgressBar1->isVisible());
}

TEST_F(LocalWindow, AMalformedHostOrAnIpv6AddressIsSaidBeforeConnecting) {
  open();
  ScriptedPrompts prompts;
  w->Edit2->setText(QStringLiteral("u"));
  for (const char* host : {"hote:99999", "[::1]:2121"}) {
    w->Edit1->setText(QString::fromLatin1(host));
    QTest::mouseClick(w->OpenBtn, Qt::LeftButton);
  }
  EXPECT_EQ(prompts.messages(),
            (QStringList{QStringLiteral("Adresse hôte invalide : indiquez un nom ou une adresse, suivi au besoin de "
                                        "« : » et du port (par exemple ftp.exemple.fr:2121)."),
                         QStringLiteral("Les adresses IPv6 ne sont pas prises en charge : indiquez un nom d'hôte ou "
                                        "une adresse IPv4.")}));
  EXPECT_FALSE(w->SpeedButton1->isEnabled());
}

TEST_F(LocalWindow, LayoutFollowsTheWidth) {
  open();
  w->resize(1000, 500);
  QApplication::processEvents();
  EXPECT_EQ(w->Panel2->width(), 500);
  EXPECT_EQ(w->Edit1->x(), w->Panel4->x() + 40);
  EXPECT_EQ(w->Label3->x(), w->Panel4->x() - 50);
  EXPECT_EQ(w->Edit3->x(), w->Edit2->x() + 222);
  EXPECT_EQ(w->ChiffrementTls->x() + w->ChiffrementTls->width(), w->Label3->x() - 20);
  EXPECT_EQ(w->StaticText1->x() + w->StaticText1->width(), w->ChiffrementTls->x() - 6);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Fenêtre Ftp"));
}

// The batch command against the same server: the whole folder arrives, the password never shows,
// and a failure gives status 1.
TEST(BatchUpload, SendsAFolderAndReportsFailures) {
  PyFtpServer server;
  ASSERT_TRUE(server.start()) << server.error().toStdString();
  QTemporaryDir local;
  const QByteArray bin = patternBytes(5000, 9);
  makeFile(local.filePath(QStringLiteral("site/index.html")), "<p>x</p>\r\n");
  makeFile(local.filePath(QStringLiteral("site/img/logo.gif")), bin);
  makeFile(local.filePath(QStringLiteral("motdepasse")), QByteArray(PyFtpServer::kPassword) + "\n");
  QDir(server.home()).mkdir(QStringLiteral("www"));

  auto run = [&](const QStringList& extra) {
    QProcess p;
    p.start(QStringLiteral(TOVELO_BATCH),
            QStringList{QStringLiteral("upload"), QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                        QStringLiteral("--port"), QString::number(server.port()), QStringLiteral("--user"),
                        QString::fromLatin1(PyFtpServer::kUser), QStringLiteral("--password-file"),
                        local.filePath(QStringLiteral("motdepasse"))} + extra);
    p.waitForFinished(60000);
    return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()));
  };
  const auto [status, err] = run({QStringLiteral("--passive"), local.filePath(QStringLiteral("site")),
                                  QStringLiteral("www")});
  EXPECT_EQ(status, 0) << err.toStdString();
  EXPECT_TRUE(err.contains(QLatin1String("> PASS ****")));
  EXPECT_TRUE(err.contains(QLatin1String("> PASV")));
  EXPECT_FALSE(err.contains(QLatin1String(PyFtpServer::kPassword)));
  EXPECT_EQ(readBytes(server.home() + QStringLiteral("/www/site/img/logo.gif")), bin);
  EXPECT_EQ(unixLines(readBytes(server.home() + QStringLiteral("/www/site/index.html"))), QByteArray("<p>x</p>\n"));

  EXPECT_EQ(run({local.filePath(QStringLiteral("site")), QStringLiteral("absent")}).first, 1);
  // A name the engine refuses is a failure like any other; the rest of the folder still goes.
  makeFile(local.filePath(QStringLiteral("site2/mau\nvais.txt")), "m");
  makeFile(local.filePath(QStringLiteral("site2/z.txt")), "z");
  const auto [refused, said] = run({local.filePath(QStringLiteral("site2"))});
  EXPECT_EQ(refused, 1);
  EXPECT_TRUE(said.contains(QStringLiteral("/site2/mau\\nvais.txt : Argument de commande refusé"))) << said.toStdString();
  EXPECT_EQ(readBytes(server.home() + QStringLiteral("/site2/z.txt")), QByteArray("z"));
  EXPECT_EQ(run({local.filePath(QStringLiteral("rien"))}).first, 2);
  EXPECT_EQ(run({}).first, 2);
}

// --ca-file trusts the test's certificate; without it a script cannot answer, so the certificate
// is refused; --tls against a server without TLS fails.
TEST(BatchUpload, TlsIsUsedRequiredOrRefusedAsAsked) {
  PyFtpServer tlsServer, plainServer;
  ASSERT_TRUE(tlsServer.start(PyFtpServer::Tls::Required)) << tlsServer.error().toStdString();
  ASSERT_TRUE(plainServer.start()) << plainServer.error().toStdString();
  QTemporaryDir local;
  makeFile(local.filePath(QStringLiteral("motdepasse")), QByteArray(PyFtpServer::kPassword) + "\n");
  makeFile(local.filePath(QStringLiteral("page.html")), "<p>x</p>\n");
  const struct {
    PyFtpServer* server;
    QStringList options;
    int status;
    const char* said;
  } cases[] = {
      {&tlsServer, {QStringLiteral("--ca-file"), tlsServer.certificate()}, 0, "connexion chiffrée (TLS)"},
      {&tlsServer, {}, 1, "certificat du serveur refusé : le certificat est signé par le serveur lui-même"},
      {&plainServer, {QStringLiteral("--tls")}, 1, "chiffrement exigé (--tls) et refusé ou impossible"},
      {&plainServer, {}, 0, "le serveur n'accepte pas le chiffrement : connexion en clair"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    QProcess p;
    p.start(QStringLiteral(TOVELO_BATCH),
            QStringList{QStringLiteral("upload"), QStringLiteral("--host"), QStringLiteral("127.0.0.1"),
                        QStringLiteral("--port"), QString::number(c.server->port()), QStringLiteral("--user"),
                        QString::fromLatin1(PyFtpServer::kUser), QStringLiteral("--password-file"),
                        local.filePath(QStringLiteral("motdepasse"))} +
                c.options + QStringList{local.filePath(QStringLiteral("page.html"))});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), c.status) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(c.said))) << err.toStdString();
    EXPECT_EQ(QFileInfo::exists(c.server->home() + QStringLiteral("/page.html")), c.status == 0);
    QFile::remove(c.server->home() + QStringLiteral("/page.html"));
  }
}

// A hostile server's words go to the terminal with their control characters escaped.
TEST(BatchUpload, ServerWordsReachTheTerminalEscaped) {
  ScriptedServer server("220 \x1b[2J\x1b]0;titre\x07pret\r\n", pickyServer());
  QTemporaryDir local;
  makeFile(local.filePath(QStringLiteral("motdepasse")), "p\n");
  makeFile(local.filePath(QStringLiteral("page.bin")), "");
  QProcess p;
  p.start(QStringLiteral(TOVELO_BATCH),
          {QStringLiteral("upload"), QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
           QString::number(server.port()), QStringLiteral("--user"), QStringLiteral("u"),
           QStringLiteral("--password-file"), local.filePath(QStringLiteral("motdepasse")),
           local.filePath(QStringLiteral("page.bin"))});
  // The scripted server lives in this process: it answers while the command runs.
  ASSERT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 30000));
  const QByteArray err = p.readAllStandardError();
  EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
  EXPECT_TRUE(err.contains("< 220 \\x1b[2J\\x1b]0;titre\\x07pret")) << err.toStdString();
  EXPECT_FALSE(err.contains('\x1b'));
  EXPECT_FALSE(err.contains('\x07'));
}

}  // namespace
