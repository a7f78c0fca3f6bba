// The engine against a scripted server: the replies and failures that a well-behaved server never
// gives, and the faults found before anything is sent.
#include "FtpTestSupport.h"
#include "FileBytes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <map>

namespace {

using Answers = std::map<QByteArray, QByteArray>;

// Answers each command by its verb; a verb not listed gets no answer at all.
ScriptedServer::Script answers(Answers a) {
  return [a = std::move(a)](ScriptedServer& server, const QByteArray& command) {
    const auto it = a.find(command.split(' ').first());
    if (it != a.end()) server.reply(it->second);
  };
}

const Answers kLogin = {{"USER", "331 mot de passe\r\n"}, {"PASS", "230 bienvenue\r\n"},
                        {"PORT", "200 ok\r\n"}, {"QUIT", "221 au revoir\r\n"}};

Answers withLogin(Answers more) {
  Answers a = kLogin;
  for (auto& [k, v] : more) a[k] = v;
  return a;
}

QString raisedBy(const std::function<void()>& f) {
  try {
    f();
  } catch (const TFtpBaseException& e) {
    return e.Message();
  }
  return QStringLiteral("(nothing raised)");
}

struct Fault : ::testing::Test {
  QTemporaryDir local;
  Session s;
  int sessionEvents = 0;
  void SetUp() override {
    ASSERT_TRUE(local.isValid());
    s.ftp.OnSessionConnected = [this](TCustomFtpCli*, quint16) { ++sessionEvents; };
  }
  void login(ScriptedServer& server) {
    s.connectTo(server.port());
    ASSERT_EQ(s.run(&TCustomFtpCli::StartConnect), 0) << s.transcript.join('\n').toStdString();
  }
};

TEST_F(Fault, GreetingsOtherThan220RefuseTheSession) {
  ScriptedServer server("421 Trop de monde\r\n", answers(kLogin));
  s.connectTo(server.port());
  EXPECT_EQ(s.run(&TCustomFtpCli::StartConnect), 421);
  EXPECT_EQ(s.lastRequest(), frConnect);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("421 Trop de monde"));
  EXPECT_FALSE(s.ftp.IsConnected());
  EXPECT_EQ(sessionEvents, 0);
  EXPECT_TRUE(server.commands.isEmpty());
}

TEST_F(Fault, AMultiLineGreetingConnectsOnceAndShowsEveryLine) {
  ScriptedServer server("220-Bienvenue\r\n  texte libre\r\n220 Pret\r\n", answers(kLogin));
  s.connectTo(server.port());
  EXPECT_EQ(s.run(&TCustomFtpCli::StartOpen), 0);
  EXPECT_EQ(s.lastRequest(), frOpen);
  EXPECT_EQ(sessionEvents, 1);
  EXPECT_EQ(s.transcript, (QStringList{QStringLiteral("< 220-Bienvenue"), QStringLiteral("<   texte libre"),
                                       QStringLiteral("< 220 Pret")}));
  EXPECT_EQ(s.ftp.State(), fsReady);
  EXPECT_EQ(raisedBy([&] { s.ftp.StartOpen(); }), QStringLiteral("FTP component already connected"));
}

TEST_F(Fault, RepliesEndedByLfAloneNeedTheOption) {
  for (bool acceptLF : {true, false}) {
    SCOPED_TRACE(acceptLF);
    ScriptedServer server("220 ok\n", answers({{"USER", "230 entrez\n"}}));
    Session t;
    t.connectTo(server.port());
    t.ftp.SetOptions(acceptLF ? ftpAcceptLF : 0);
    t.ftp.SetTimeout(1);
    EXPECT_EQ(t.ftp.RunAndWait(&TCustomFtpCli::StartConnect), acceptLF);
    if (acceptLF) {
      // A 230 answer to USER needs no password.
      EXPECT_EQ(server.commands, (QList<QByteArray>{"USER testeur"}));
    } else {
      EXPECT_EQ(t.ftp.ErrorMessage(), QStringLiteral("426 Timeout"));
    }
  }
}

TEST_F(Fault, ALineLongerThanTheBufferClosesTheConnection) {
  ScriptedServer server(QByteArray(5000, 'x'), answers(kLogin));
  s.connectTo(server.port());
  EXPECT_EQ(s.run(&TCustomFtpCli::StartOpen), 500);
  EXPECT_FALSE(s.ftp.IsConnected());
  EXPECT_EQ(s.ftp.State(), fsReady);
}

TEST_F(Fault, QuitToASilentServerTimesOut) {
  ScriptedServer server("220 ok\r\n", answers({{"USER", "230 ok\r\n"}}));
  login(server);
  s.ftp.SetTimeout(1);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(s.ftp.QuitAndWait());
  EXPECT_GE(clock.elapsed(), 900);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("426 Timeout"));
  EXPECT_EQ(s.ftp.StatusCode(), 426);
  EXPECT_FALSE(s.ftp.IsConnected());
}

TEST_F(Fault, ARefusedConnectionOrAnUnknownHostFailsTheOpen) {
  quint16 freePort;
  {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    freePort = probe.serverPort();
  }
  s.connectTo(freePort);
  EXPECT_EQ(s.run(&TCustomFtpCli::StartConnect), ECONNREFUSED);
  EXPECT_EQ(s.ftp.LastResponse(), QStringLiteral("500 Connection refused (Winsock error #%1)").arg(ECONNREFUSED));
  EXPECT_EQ(s.ftp.StatusCode(), 500);
  EXPECT_EQ(s.ftp.State(), fsReady);

  // A name the resolver refuses without asking any server.
  s.connectTo(freePort, QStringLiteral("hote..inexistant"));
  EXPECT_EQ(s.run(&TCustomFtpCli::StartConnect), 11001);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("500 Host not found (Winsock error #11001)"));
}

TEST_F(Fault, RefusedRepliesEndTheRequestWithTheirCode) {
  ScriptedServer server("220 ok\r\n", answers(withLogin({{"MKD", "550 interdit\r\n"}, {"NOOP", "450 occupe\r\n"},
                                                         {"FOO", "500 inconnu\r\n"}, {"ABOR", "426 rien\r\n"}})));
  login(server);
  s.ftp.SetHostFileName(QStringLiteral("dossier"));
  EXPECT_EQ(s.run(&TCustomFtpCli::StartMkd), 550);
  EXPECT_EQ(s.lastRequest(), frMkd);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("550 interdit"));
  // The quote command and ABOR take any code below 500.
  s.ftp.SetLocalFileName(QStringLiteral("NOOP"));
  EXPECT_EQ(s.run(&TCustomFtpCli::StartQuote), 0);
  EXPECT_EQ(s.ftp.ErrorMessage(), QString());
  s.ftp.SetLocalFileName(QStringLiteral("FOO bar"));
  EXPECT_EQ(s.run(&TCustomFtpCli::StartQuote), 500);
  EXPECT_EQ(s.run(&TCustomFtpCli::StartAbort), 0);
  EXPECT_EQ(s.lastRequest(), frAbor);
}

TEST_F(Fault, ArgumentsWithLineBreaksAreRefusedBeforeSending) {
  ScriptedServer server("220 ok\r\n", answers(withLogin({{"MKD", "257 \"x\"\r\n"}})));
  login(server);
  const qsizetype sent = server.commands.size();
  const QString refusal = QStringLiteral("Argument de commande refusé : il contient un retour à la ligne");
  s.ftp.SetHostFileName(QStringLiteral("a\r\nDELE important"));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartMkd(); }), refusal);
  s.ftp.SetLocalFileName(QStringLiteral("ailleurs.txt"));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartStor(); }), refusal);
  s.ftp.SetHostFileName(QStringLiteral("ok"));
  s.ftp.SetHostDirName(QStringLiteral("d\nRMD x"));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartFullMkd(); }), refusal);
  s.ftp.SetLocalFileName(QStringLiteral("NOOP\rDELE x"));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartQuote(); }), refusal);
  QCoreApplication::processEvents();
  EXPECT_EQ(server.commands.size(), sent);
  EXPECT_EQ(s.ftp.State(), fsReady);
  // The engine still works.
  EXPECT_EQ(s.run(&TCustomFtpCli::StartMkd), 0);
}

TEST_F(Fault, OperationsRefusedBeforeAnythingIsSent) {
  ScriptedServer server("220 ok\r\n", answers(kLogin));
  s.connectTo(server.port());
  const struct {
    TFtpClient::Operation op;
    const char* text;
  } notConnected[] = {{&TCustomFtpCli::StartPwd, "FTP component not connected"},
                      {&TCustomFtpCli::StartLs, "FTP component not connected"},
                      {&TCustomFtpCli::StartNlst, "NLST: not connected"},
                      {&TCustomFtpCli::StartRetr, "RETR: not connected"},
                      {&TCustomFtpCli::StartList, "LIST: not connected"},
                      {&TCustomFtpCli::StartStor, "STOR/APPE: not connected"}};
  for (const auto& c : notConnected) EXPECT_EQ(raisedBy([&] { (s.ftp.*c.op)(); }), QString::fromLatin1(c.text));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartAbort(); }), QStringLiteral("FTP component not connected"));
  // Nothing to quit: no reply to wait for, and the engine stays usable.
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(s.ftp.QuitAndWait());
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_EQ(s.ftp.State(), fsReady);

  s.ftp.SetUserName(QString());
  EXPECT_EQ(raisedBy([&] { s.ftp.StartUser(); }), QStringLiteral("UserName emtpy"));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartPass(); }), QStringLiteral("FTP component not connected"));
  s.ftp.SetPassWord(QString());
  EXPECT_EQ(raisedBy([&] { s.ftp.StartPass(); }), QStringLiteral("Password emtpy"));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartCwd(); }), QStringLiteral("HostDirName emtpy"));

  s.connectTo(server.port());
  login(server);
  EXPECT_EQ(raisedBy([&] { s.ftp.StartRetr(); }), QStringLiteral("LocalFileName empty"));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartStor(); }), QStringLiteral("LocalFileName empty"));
  EXPECT_EQ(raisedBy([&] { s.ftp.StartConnect(); }), QStringLiteral("FTP component already connected"));
  s.ftp.StartPwd();  // no answer comes: the engine stays busy
  EXPECT_EQ(raisedBy([&] { s.ftp.StartSyst(); }), QStringLiteral("FTP component not ready"));
  EXPECT_EQ(raisedBy([&] { s.ftp.SetConnectionType(ftpProxy); }), QStringLiteral("FTP component connected"));
  EXPECT_FALSE(s.ftp.RunAndWait(&TCustomFtpCli::StartSyst));
}

TEST_F(Fault, AMissingPasswordEndsTheConnectSequenceInsteadOfTheConnection) {
  ScriptedServer server("220 ok\r\n", answers(kLogin));
  s.connectTo(server.port());
  s.ftp.SetPassWord(QString());
  EXPECT_EQ(s.run(&TCustomFtpCli::StartConnect), 500);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("500 FtpException: Password emtpy"));
  EXPECT_TRUE(s.ftp.IsConnected());
  EXPECT_EQ(s.ftp.State(), fsReady);
}

TEST_F(Fault, StatesAndEventsOfAConnectionInOrder) {
  ScriptedServer server("220-a\r\n220 b\r\n", answers(withLogin({{"XPWD", "257 \"/x\"\r\n"}})));
  QList<TFtpState> states;
  int responses = 0;
  s.ftp.OnStateChange = [&](TCustomFtpCli* f) { states << f->State(); };
  s.ftp.OnResponse = [&](TCustomFtpCli*) { ++responses; };
  // The command handler may change what is sent.
  s.ftp.OnCommand = [](TCustomFtpCli*, QString& cmd) {
    if (cmd == QLatin1String("PWD")) cmd = QStringLiteral("XPWD");
  };
  login(server);
  EXPECT_EQ(states, (QList<TFtpState>{fsResolving, fsWaitingBanner, fsConnected, fsInternalReady, fsWaitingReply,
                                      fsInternalReady, fsWaitingReply, fsInternalReady, fsReady}));
  EXPECT_EQ(responses, 4);
  EXPECT_EQ(s.run(&TCustomFtpCli::StartPwd), 0);
  EXPECT_EQ(server.commands.last(), QByteArray("XPWD"));
  EXPECT_TRUE(s.saw(QStringLiteral("> XPWD")));
  EXPECT_EQ(s.ftp.ResultDir(), QStringLiteral("/x"));

  states.clear();
  EXPECT_TRUE(s.ftp.QuitAndWait());
  EXPECT_EQ(states, (QList<TFtpState>{fsWaitingReply, fsNotConnected, fsInternalReady, fsReady}));
}

TEST_F(Fault, ThePasswordStaysOutOfTheTranscript) {
  ScriptedServer server("220 ok\r\n", answers(kLogin));
  login(server);
  EXPECT_TRUE(s.saw(QStringLiteral("> PASS ****")));
  EXPECT_FALSE(s.transcript.join('\n').contains(QLatin1String(PyFtpServer::kPassword)));
  EXPECT_TRUE(server.commands.contains(QByteArray("PASS ") + PyFtpServer::kPassword));
}

// A listing whose data and final reply come in the order the script says.
struct ListingCase {
  const char* name;
  bool replyFirst;  // 226 before the data connection closes
};

TEST_F(Fault, ATransferEndsOnceAfterBothTheReplyAndTheClose) {
  for (const ListingCase c : {ListingCase{"226 first", true}, ListingCase{"close first", false}}) {
    SCOPED_TRACE(c.name);
    ScriptedServer server("220 ok\r\n", [&](ScriptedServer& sv, const QByteArray& cmd) {
      if (kLogin.count(cmd.split(' ').first())) return sv.reply(kLogin.at(cmd.split(' ').first()));
      if (!cmd.startsWith("NLST")) return;
      sv.reply("150 voici\r\n");
      ASSERT_TRUE(sv.openData());
      sv.sendData("un.xml\r\ndeux.xml\r\n");
      if (c.replyFirst) {
        sv.reply("226 fini\r\n");
        QTimer::singleShot(200, [&sv] { sv.closeData(); });
      } else {
        sv.closeData();
        QTimer::singleShot(200, [&sv] { sv.reply("226 fini\r\n"); });
      }
    });
    Session t;
    t.connectTo(server.port());
    ASSERT_EQ(t.run(&TCustomFtpCli::StartConnect), 0);
    const QString file = local.filePath(QStringLiteral("ftpdir.tmp"));
    t.ftp.SetLocalFileName(file);
    EXPECT_EQ(t.run(&TCustomFtpCli::StartLs), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.done.size(), 2);
    EXPECT_EQ(readBytes(file), QByteArray("un.xml\r\ndeux.xml\r\n"));
    EXPECT_TRUE(t.transcript.last().startsWith(QLatin1String("! 18 bytes received/sent in 0 seconds")))
        << t.transcript.last().toStdString();
  }
}

TEST_F(Fault, A550ToNlstLeavesAnEmptyLocalFile) {
  ScriptedServer server("220 ok\r\n", answers(withLogin({{"NLST", "550 rien a lister\r\n"}})));
  login(server);
  const QString file = local.filePath(QStringLiteral("ftpdir.tmp"));
  writeBytes(file, "ancien contenu");
  s.ftp.SetLocalFileName(file);
  EXPECT_EQ(s.run(&TCustomFtpCli::StartLs), 550);
  EXPECT_EQ(s.lastRequest(), frLs);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("550 rien a lister"));
  EXPECT_TRUE(QFileInfo::exists(file));
  EXPECT_EQ(readBytes(file), QByteArray());
  // In active mode against 127.0.0.1 the PORT line names 127.0.0.1.
  EXPECT_TRUE(server.commands.at(2).startsWith("PORT 127,0,0,1,")) << server.commands.at(2).toStdString();
}

TEST_F(Fault, AConnectionDroppedInTheMiddleOfATransferFailsIt) {
  for (bool dropControl : {false, true}) {
    SCOPED_TRACE(dropControl);
    ScriptedServer server("220 ok\r\n", [&](ScriptedServer& sv, const QByteArray& cmd) {
      if (kLogin.count(cmd.split(' ').first())) return sv.reply(kLogin.at(cmd.split(' ').first()));
      if (!cmd.startsWith("RETR")) return;
      sv.reply("150 envoi\r\n");
      ASSERT_TRUE(sv.openData());
      sv.sendData(patternBytes(50000, 1));
      sv.resetData();
      if (dropControl) sv.dropControl();
      else sv.reply("426 coupure\r\n");
    });
    Session t;
    t.connectTo(server.port());
    ASSERT_EQ(t.run(&TCustomFtpCli::StartConnect), 0);
    t.ftp.SetHostFileName(QStringLiteral("gros.bin"));
    t.ftp.SetLocalFileName(local.filePath(QStringLiteral("gros.bin")));
    const int error = t.run(&TCustomFtpCli::StartGet);
    EXPECT_EQ(error, dropControl ? 500 : 426) << t.transcript.join('\n').toStdString();
    EXPECT_EQ(t.ftp.State(), fsReady);
    EXPECT_EQ(t.saw(QStringLiteral("! RETR/LIST/NLST Failed")), !dropControl);
  }
}

// In active mode anyone may connect to the announced port first: only the server's own address
// gets the upload or may feed the download, and the real data connection is still served.
TEST_F(Fault, ActiveDataConnectionFromAnotherAddressIsTurnedAway) {
  for (bool upload : {false, true}) {
    SCOPED_TRACE(upload);
    const QByteArray payload = patternBytes(30000, 7);
    std::unique_ptr<QTcpSocket> intruder;
    QByteArray stolen;
    ScriptedServer server("220 ok\r\n", [&](ScriptedServer& sv, const QByteArray& cmd) {
      if (kLogin.count(cmd.split(' ').first())) return sv.reply(kLogin.at(cmd.split(' ').first()));
      if (!cmd.startsWith("RETR") && !cmd.startsWith("STOR")) return;
      sv.reply("150 ok\r\n");
      intruder = sv.connectFrom(QStringLiteral("127.0.0.2"));
      ASSERT_TRUE(intruder);
      QObject::connect(intruder.get(), &QTcpSocket::readyRead, [&] { stolen += intruder->readAll(); });
      if (upload) {
        ASSERT_TRUE(sv.receiveData("226 recu\r\n"));
        return;
      }
      intruder->write("faux contenu");
      intruder->flush();
      ASSERT_TRUE(sv.openData());
      sv.sendData(payload);
      sv.closeData();
      sv.reply("226 fini\r\n");
    });
    Session t;
    t.connectTo(server.port());
    ASSERT_EQ(t.run(&TCustomFtpCli::StartConnect), 0);
    const QString file = local.filePath(QStringLiteral("donnees.bin"));
    writeBytes(file, upload ? payload : QByteArray());
    t.ftp.SetHostFileName(QStringLiteral("donnees.bin"));
    t.ftp.SetLocalFileName(file);
    EXPECT_EQ(t.run(upload ? &TCustomFtpCli::StartPut : &TCustomFtpCli::StartGet, 5000), 0)
        << t.transcript.join('\n').toStdString();
    if (upload) EXPECT_EQ(server.received, payload);
    else EXPECT_EQ(readBytes(file), payload);
    EXPECT_TRUE(stolen.isEmpty());
    EXPECT_TRUE(t.saw(QStringLiteral("! Data connection from 127.0.0.2 refused: not the server")));
  }
}

TEST_F(Fault, PassiveDataGoesToTheControlPeerWhatever227Says) {
  QTcpServer dataListener;
  ASSERT_TRUE(dataListener.listen(QHostAddress::LocalHost, 0));
  const quint16 p = dataListener.serverPort();
  QTcpSocket* data = nullptr;
  QObject::connect(&dataListener, &QTcpServer::newConnection, [&] { data = dataListener.nextPendingConnection(); });
  ScriptedServer server("220 ok\r\n", [&](ScriptedServer& sv, const QByteArray& cmd) {
    if (kLogin.count(cmd.split(' ').first())) return sv.reply(kLogin.at(cmd.split(' ').first()));
    if (cmd == "PASV") return sv.reply(QStringLiteral("227 Entering Passive Mode (10,9,8,7,%1,%2)\r\n").arg(p / 256).arg(p % 256).toLatin1());
    if (!cmd.startsWith("NLST")) return;
    sv.reply("150 voici\r\n");
    QTimer::singleShot(100, [&sv, &data] {
      if (!data) return sv.reply("425 pas de connexion\r\n");
      data->write("a.xml\r\n");
      data->waitForBytesWritten(2000);
      data->disconnectFromHost();
      sv.reply("226 fini\r\n");
    });
  });
  login(server);
  s.ftp.SetPassive(true);
  s.ftp.SetDisplayFileFlag(true);
  EXPECT_EQ(s.run(&TCustomFtpCli::StartLs), 0) << s.transcript.join('\n').toStdString();
  EXPECT_EQ(s.displayed, QStringList{QStringLiteral("a.xml")});
}

TEST_F(Fault, UploadsThatCannotStartSay426) {
  ScriptedServer server("220 ok\r\n", answers(withLogin({{"STOR", "150 ok\r\n"}})));
  login(server);
  s.ftp.SetHostFileName(QStringLiteral("x.xml"));
  s.ftp.SetLocalFileName(local.filePath(QStringLiteral("absent.xml")));
  EXPECT_EQ(s.run(&TCustomFtpCli::StartStor), 426);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("426 Unable to open local file ") + s.ftp.LocalFileName());
  EXPECT_TRUE(s.saw(QStringLiteral("! 426 Unable to open local file ") + s.ftp.LocalFileName()));

  writeBytes(local.filePath(QStringLiteral("present.xml")), "<a/>");
  s.ftp.SetLocalFileName(local.filePath(QStringLiteral("present.xml")));
  s.ftp.OnReadyToTransmit = [](TCustomFtpCli*, bool& cancel) { cancel = true; };
  EXPECT_EQ(s.run(&TCustomFtpCli::StartStor), 426);
  EXPECT_EQ(s.lastRequest(), frPut);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("426 Transmit cancelled by application"));
  EXPECT_TRUE(s.saw(QStringLiteral("! 426 Transmit cancelled by application")));
  EXPECT_FALSE(server.commands.contains("STOR x.xml"));

  // A download whose local file cannot be made.
  s.ftp.SetLocalFileName(local.filePath(QStringLiteral("pas/de/dossier.xml")));
  EXPECT_EQ(s.run(&TCustomFtpCli::StartRetr), 550);
  EXPECT_EQ(s.ftp.ErrorMessage(), QStringLiteral("Unable to open local file ") + s.ftp.LocalFileName());
}

}  // namespace
