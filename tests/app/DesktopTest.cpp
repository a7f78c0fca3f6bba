// The editor on a Linux desktop: its command line, one editor per user, files dropped on it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "Application.h"
#include "ColorMemo.h"
#include "CommandLine.h"
#include "Editeur.h"
#include "FileBytes.h"
#include "FileDrops.h"
#include "FileName.h"
#include "MainForm.h"
#include "ScriptedPrompts.h"
#include "SingleInstance.h"
#include "TextFile.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using Action = CommandLine::Action;

TEST(CommandLine, ArgumentsBecomeFilesFromTheCallersFolderOrAnAnswer) {
  struct Case {
    QStringList args;
    Action action;
    QStringList files;
  };
  const QString f = QStringLiteral("/home/lea/docs");
  const Case cases[] = {
      {{}, Action::Open, {}},
      {{"a.xml", "sous/b.dtd", "/tmp/c.css"},
       Action::Open,
       {f + "/a.xml", f + "/sous/b.dtd", "/tmp/c.css"}},
      {{"./a.xml", "../x.xsl"}, Action::Open, {f + "/a.xml", "/home/lea/x.xsl"}},
      {{"a.xml", "a.xml"}, Action::Open, {f + "/a.xml", f + "/a.xml"}},
      {{"été 2 à.xml"}, Action::Open, {f + "/été 2 à.xml"}},
      // After "--" every word is a name, even one that Qt or we would take as an option.
      {{"--", "-notes.xml", "--help", "-style"},
       Action::Open,
       {f + "/-notes.xml", f + "/--help", f + "/-style"}},
      {{"-"}, Action::Open, {f + "/-"}},
      {{"--help"}, Action::Help, {}},
      {{"a.xml", "-h"}, Action::Help, {}},
      {{"--version"}, Action::Version, {}},
      {{"-v", "a.xml"}, Action::Version, {}},
      {{"--inconnu", "--help"}, Action::Help, {}},
      {{"a.xml", "-x"}, Action::Error, {}},
  };
  for (const Case& c : cases) {
    const CommandLine got = parseCommandLine(c.args, f);
    EXPECT_EQ(got.action, c.action) << c.args.join(' ').toStdString();
    EXPECT_EQ(got.files, c.files) << c.args.join(' ').toStdString();
  }
  EXPECT_EQ(parseCommandLine({"-x"}, f).error,
            QStringLiteral("tovelo : option inconnue « -x »\nEssayez « tovelo --help » ; un nom de "
                           "fichier qui commence par « - » se donne après « -- ».\n"));
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  void TearDown() override {
    if (form)
      for (TEditeur* e : form->editeurs()) e->Memo1->SetModified(false);
    form.reset();
  }

  QString file(const QString& name, const QByteArray& bytes = "<a>x</a>") {
    const QString path = dir.filePath(name);
    writeBytes(path, bytes);
    return path;
  }
  void makeForm() {
    form = std::make_unique<TMainForm>();
    form->show();
  }
  QStringList captions() const {
    QStringList out;
    for (QMdiSubWindow* w : form->mdiArea()->subWindowList()) out << w->windowTitle();
    return out;
  }
  // Runs the event loop until the process ends (a blocking wait would starve a server here).
  // Lets every event already posted and every zero-delay timer run: what a drop or a refused
  // request set going has happened, or never will.
  static void settle() {
    bool done = false;
    QTimer::singleShot(0, [&done] { done = true; });
    EXPECT_TRUE(QTest::qWaitFor([&done] { return done; }, 5000));
  }
  static bool finishes(QProcess& p, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (p.state() != QProcess::NotRunning && t.elapsed() < ms) QTest::qWait(20);
    return p.state() == QProcess::NotRunning;
  }
  // The editor program with its socket in a folder of the test's own.
  void prepare(QProcess& p, const QString& runtime) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.setProgram(QStringLiteral(TOVELO_BINARY));
  }
  QString runtimeFolder() {
    const QString runtime = dir.filePath(QStringLiteral("run"));
    EXPECT_TRUE(QDir().mkpath(runtime));
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    return runtime;
  }

  QTemporaryDir dir;
  ScriptedPrompts prompts;
  std::unique_ptr<TMainForm> form;
};

TEST_F(DesktopTest, BadFilesAreEachReportedAndTheOthersStillOpen) {
  makeForm();
  const QString good = file(QStringLiteral("a.xml"));
  const QString dtd = file(QStringLiteral("b.dtd"), "<!ELEMENT a (#PCDATA)>");
  const QString missing = dir.filePath(QStringLiteral("absent.xml"));
  const QString folder = dir.filePath(QStringLiteral("dossier.xml"));
  ASSERT_TRUE(QDir().mkdir(folder));
  const QString locked = file(QStringLiteral("verrou.xml"));
  textfile::refuseReadingForTests(locked, EACCES);
  form->openFiles({good, missing, folder, locked, dtd, good});
  textfile::refuseReadingForTests(locked, 0);

  EXPECT_EQ(captions(), (QStringList{"a.xml", "b.dtd", "a.xml"}));
  const QList<TEditeur*> windows = form->editeurs();
  ASSERT_EQ(windows.size(), 3);
  EXPECT_EQ(windows[0]->Tag, 0);
  EXPECT_EQ(windows[1]->Tag, 1);
  EXPECT_NE(windows[0], windows[2]);  // the same file twice: two windows, as "Ouvrir" gives
  EXPECT_EQ(windows[1]->Memo1->Lines(), QStringList{"<!ELEMENT a (#PCDATA)>"});
  const QStringList messages = prompts.messages();
  ASSERT_EQ(messages.size(), 3);
  EXPECT_EQ(messages[0],
            QStringLiteral("Impossible d'ouvrir le fichier « %1 » : il n'existe pas.").arg(missing));
  EXPECT_EQ(messages[1],
            QStringLiteral("Impossible d'ouvrir le fichier « %1 » : c'est un dossier.").arg(folder));
  EXPECT_TRUE(messages[2].startsWith(QStringLiteral("Impossible d'ouvrir le fichier « %1 » : ")
                                         .arg(locked)))
      << messages[2].toStdString();
  EXPECT_TRUE(form->Vuesource1->isChecked());
  EXPECT_TRUE(form->FileSaveItem->isEnabled());  // the state pass ran after the last file
}

TEST_F(DesktopTest, AHundredFilesOpenInTheOrderGiven) {
  makeForm();
  QStringList paths;
  QStringList names;
  for (int i = 0; i < 100; ++i) {
    names << QStringLiteral("f%1.xml").arg(i);
    paths << file(names.last());
  }
  form->openFiles(paths);
  EXPECT_EQ(captions(), names);
  EXPECT_TRUE(prompts.messages().isEmpty());
}

QMimeData* urls(const QList<QUrl>& list) {
  auto* data = new QMimeData;
  data->setUrls(list);
  data->setText(list.isEmpty() ? QString() : list.first().toString());
  return data;
}

// Sends a whole drag over w; true when the drop was taken.
bool dragAndDrop(QWidget* w, QMimeData* data, Qt::DropActions actions) {
  const QPoint at = w->rect().center();
  QDragEnterEvent enter(at, actions, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, actions, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &drop);
  EXPECT_NE(drop.dropAction(), Qt::MoveAction);  // the file manager would delete the file
  return drop.isAccepted();
}

TEST_F(DesktopTest, DroppedFilesOpenAsDocumentsEvenOverTheText) {
  makeForm();
  const QString a = file(QStringLiteral("a.xml"));
  const QString b = file(QStringLiteral("b b.css"), "p {}");
  std::unique_ptr<QMimeData> both(urls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)}));
  EXPECT_TRUE(dragAndDrop(form->mdiArea()->viewport(), both.get(),
                          Qt::CopyAction | Qt::MoveAction | Qt::LinkAction));
  EXPECT_TRUE(QTest::qWaitFor([this] { return captions().size() == 2; }, 5000));
  EXPECT_EQ(captions(), (QStringList{"a.xml", "b b.css"}));

  // Over a document's text the file opens; its name is not typed into the text.
  TEditeur* text = form->editeurs().first();
  QWidget* view = text->Memo1->findChildren<QWidget*>().value(0, text->Memo1);
  std::unique_ptr<QMimeData> one(urls({QUrl::fromLocalFile(a)}));
  EXPECT_TRUE(dragAndDrop(view, one.get(), Qt::CopyAction));
  EXPECT_TRUE(QTest::qWaitFor([this] { return captions().size() == 3; }, 5000));
  settle();
  EXPECT_EQ(captions().size(), 3);
  EXPECT_EQ(text->Memo1->Lines(), QStringList{"<a>x</a>"});

  // A web address, or a drag that could only move the file, is not taken as files.
  std::unique_ptr<QMimeData> web(urls({QUrl(QStringLiteral("https://example.org/a.xml"))}));
  EXPECT_FALSE(dragAndDrop(form->mdiArea()->viewport(), web.get(), Qt::CopyAction));
  std::unique_ptr<QMimeData> moveOnly(urls({QUrl::fromLocalFile(a)}));
  EXPECT_FALSE(dragAndDrop(form->mdiArea()->viewport(), moveOnly.get(), Qt::MoveAction));
  settle();
  EXPECT_EQ(captions().size(), 3);
}

TEST_F(DesktopTest, ALaterStartHandsItsFilesOverEvenWhileTheSplashShows) {
  const QString runtime = runtimeFolder();
  SingleInstance first(runtime + QStringLiteral("/tovelo.sock"));
  ASSERT_EQ(first.start({}), SingleInstance::Role::Primary);

  // The second start runs in a folder of its own: its relative names are taken from there.
  const QString caller = dir.filePath(QStringLiteral("appelant"));
  ASSERT_TRUE(QDir().mkpath(caller));
  writeBytes(caller + "/c.css", "p {}");
  writeBytes(caller + "/é t é.xml", "<a/>");
  writeBytes(caller + "/-tiret.xml", "<a/>");
  QProcess second;
  prepare(second, runtime);
  second.setWorkingDirectory(caller);
  second.setArguments({"c.css", "é t é.xml", "--", "-tiret.xml"});
  second.start();
  ASSERT_TRUE(finishes(second)) << "the second start did not end";
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

  // The main window comes after the splash: the files wait for it.
  settle();
  makeForm();
  first.setReceiver([this](const QStringList& files) { form->openFiles(files); });
  EXPECT_EQ(captions(), (QStringList{"c.css", "é t é.xml", "-tiret.xml"}));
  EXPECT_EQ(form->editeurs().value(1)->GetFichier(), caller + "/é t é.xml");
  EXPECT_TRUE(prompts.messages().isEmpty());
}

// A name written from Windows ("nom" and the byte E9) comes through the command line and the
// socket as its bytes, and the document opens.
TEST_F(DesktopTest, ANameThatIsNotUtf8IsHandedOverAndOpensByItsBytes) {
  const QString runtime = runtimeFolder();
  SingleInstance first(runtime + QStringLiteral("/tovelo.sock"));
  ASSERT_EQ(first.start({}), SingleInstance::Role::Primary);
  const QByteArray folder = QFile::encodeName(dir.path());
  const QByteArray native = folder + "/nom\xe9.xml";
  {
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "<a>x</a>", 8), 8);
    ::close(fd);
  }
  // QProcess would pass the name through UTF-8: the shell makes the byte.
  QProcess second;
  prepare(second, runtime);
  second.setWorkingDirectory(dir.path());
  second.setProgram(QStringLiteral("sh"));
  second.setArguments({"-c", "exec \"$0\" \"$(printf 'nom\\351.xml')\"", QStringLiteral(TOVELO_BINARY)});
  second.start();
  ASSERT_TRUE(finishes(second)) << "the second start did not end";
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

  makeForm();
  first.setReceiver([this](const QStringList& files) { form->openFiles(files); });
  // (QTRY_* report to QtTest, not to GoogleTest: a wait with a deadline, then the assertion.)
  QElapsedTimer t;
  t.start();
  while (form->editeurs().isEmpty() && t.elapsed() < 10000) QTest::qWait(10);
  ASSERT_EQ(form->editeurs().size(), 1);
  EXPECT_EQ(filename::toNative(form->editeurs().first()->GetFichier()), native);
  EXPECT_EQ(captions(), QStringList{QStringLiteral("nomé.xml")});
  EXPECT_EQ(form->editeurs().first()->Memo1->Lines(), QStringList{"<a>x</a>"});
  EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.log.join(" | ").toStdString();
  ::unlink(native.constData());
}

TEST(FileDrops, ADroppedNameThatIsNotUtf8KeepsItsBytes) {
  QMimeData data;
  data.setUrls({QUrl::fromEncoded("file:///tmp/nom%E9.xml"),
                QUrl::fromLocalFile(QStringLiteral("/tmp/é t é.xml"))});
  const QStringList files = FileDrops::localFiles(&data);
  ASSERT_EQ(files.size(), 2);
  EXPECT_EQ(filename::toNative(files[0]), QByteArray("/tmp/nom\xe9.xml"));
  EXPECT_EQ(files[1], QStringLiteral("/tmp/é t é.xml"));
}

TEST_F(DesktopTest, AHandOverBringsAMinimizedEditorBack) {
  makeForm();
  form->showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([this] { return form->isMinimized(); }, 5000));
  bringForward(*form);
  EXPECT_FALSE(form->isMinimized());
  EXPECT_TRUE(form->isVisible());
}

TEST_F(DesktopTest, TwoEditorProgramsMakeOneAndACrashedOnesSocketIsCleanedUp) {
  const QString runtime = runtimeFolder();
  const QString socket = runtime + QStringLiteral("/tovelo.sock");
  const QString a = file(QStringLiteral("a.xml"));
  const QString b = file(QStringLiteral("b.dtd"), "<!ELEMENT a (#PCDATA)>");
  const QString c = file(QStringLiteral("c.css"), "p {}");

  QProcess editor;
  prepare(editor, runtime);
  editor.setArguments({a, b});
  editor.start();
  ASSERT_TRUE(editor.waitForStarted());
  QElapsedTimer t;
  t.start();
  while (!QFileInfo::exists(socket) && t.elapsed() < 20000) QTest::qWait(20);
  ASSERT_TRUE(QFileInfo::exists(socket)) << "the first editor does not listen";

  QProcess second;
  prepare(second, runtime);
  second.setArguments({c});
  second.start();
  ASSERT_TRUE(finishes(second));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(editor.state(), QProcess::Running);

  // A killed editor leaves its socket behind; the next start must not wait on it or fail.
  editor.kill();
  ASSERT_TRUE(finishes(editor));
  ASSERT_TRUE(QFileInfo::exists(socket));
  SingleInstance next(socket);
  EXPECT_EQ(next.start({}), SingleInstance::Role::Primary);
  QLocalSocket probe;
  probe.connectToServer(socket);
  EXPECT_TRUE(probe.waitForConnected(2000));
}

TEST_F(DesktopTest, TheSocketIsOnlyEverInAFolderOfTheUsersOwn) {
  const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
  const QString runtime = runtimeFolder();
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
  EXPECT_TRUE(SingleInstance::defaultSocketPath().startsWith(runtime + "/tovelo"));

  // A runtime folder that others may enter, or a link to one, is not used.
  const QString open = dir.filePath(QStringLiteral("ouvert"));
  ASSERT_TRUE(QDir().mkpath(open));
  ::chmod(QFile::encodeName(open).constData(), 0777);
  const QString link = dir.filePath(QStringLiteral("lien"));
  ASSERT_TRUE(QFile::link(runtime, link));
  for (const QString& bad : {open, link}) {
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(bad));
    const QString path = SingleInstance::defaultSocketPath();
    EXPECT_FALSE(path.startsWith(bad)) << path.toStdString();
    if (!path.isEmpty()) {
      struct stat st {};
      ASSERT_EQ(::lstat(QFile::encodeName(QFileInfo(path).path()).constData(), &st), 0);
      EXPECT_EQ(st.st_uid, ::getuid());
      EXPECT_EQ(st.st_mode & 077, 0u);
    }
  }
  qputenv("XDG_RUNTIME_DIR", saved);

  // A socket path that cannot be had leaves the editor on its own, never failing to start.
  EXPECT_EQ(SingleInstance(QString()).start({}), SingleInstance::Role::Alone);
}

// A client of another user that reaches the socket (its file opened to all) is turned away;
// the same client run by the user is served, so the refusal is the user check's doing.
TEST_F(DesktopTest, AnotherUsersClientIsNeverServed) {
  if (::getuid() != 0 || !QFileInfo::exists(QStringLiteral("/usr/bin/setpriv")))
    GTEST_SKIP() << "needs root and setpriv to run a client as another user";
  ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
  const QString open = dir.filePath(QStringLiteral("ouvert"));
  ASSERT_TRUE(QDir().mkpath(open));
  ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);
  const QString socket = open + QStringLiteral("/tovelo.sock");
  SingleInstance server(socket);
  ASSERT_EQ(server.start({}), SingleInstance::Role::Primary);
  ASSERT_EQ(::chmod(QFile::encodeName(socket).constData(), 0777), 0);
  QList<QStringList> received;
  server.setReceiver([&](const QStringList& files) { received << files; });

  const char* client = R"(
import socket, struct, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.settimeout(5)
s.connect(sys.argv[1])
name = b"/tmp/intrus.xml\0"
s.sendall(b"Tov1" + struct.pack(">I", len(name)) + name)
try:
    answer = s.recv(1)
except OSError:
    answer = b""
print(answer.decode() or "rien")
)";
  const auto run = [&](const QStringList& as) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/setpriv"),
            as + QStringList{"/usr/bin/python3", "-c", client, socket});
    EXPECT_TRUE(finishes(p));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed() +
           QString::fromUtf8(p.readAllStandardError()).trimmed();
  };
  EXPECT_EQ(run({"--reuid=65534", "--regid=65534", "--clear-groups"}), QStringLiteral("rien"));
  settle();
  EXPECT_TRUE(received.isEmpty());
  EXPECT_EQ(run({}), QStringLiteral("O"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 5000));
  EXPECT_EQ(received, QList<QStringList>{{"/tmp/intrus.xml"}});
}

// What a stray program may write on the socket opens nothing and costs nothing.
TEST_F(DesktopTest, MalformedRequestsAreRefused) {
  const QString socket = runtimeFolder() + QStringLiteral("/tovelo.sock");
  SingleInstance server(socket);
  ASSERT_EQ(server.start({}), SingleInstance::Role::Primary);
  QList<QStringList> received;
  server.setReceiver([&](const QStringList& files) { received << files; });
  const auto send = [&](const QByteArray& bytes) {
    QLocalSocket client;
    client.connectToServer(socket);
    EXPECT_TRUE(client.waitForConnected(2000));
    client.write(bytes);
    client.flush();
    QElapsedTimer t;
    t.start();
    while (client.state() == QLocalSocket::ConnectedState && t.elapsed() < 3000)
      QTest::qWait(10);
    // The server hangs up at once on a bad request rather than waiting for more.
    const bool hungUp = client.state() != QLocalSocket::ConnectedState;
    return client.readAll() + (hungUp ? "|fin" : "|attente");
  };
  const QByteArray name("/tmp/x.xml\0", 11);
  const struct {
    const char* what;
    QByteArray bytes;
  } refused[] = {
      {"another magic", QByteArray("HTTP", 4) + QByteArray("\0\0\0\x0b", 4) + name},
      {"a length past the limit", QByteArray("Tov1\x7f\xff\xff\xff", 8) + name},
      {"a name without its end", QByteArray("Tov1\0\0\0\x0a", 8) + name.left(10)},
      {"an empty name", QByteArray("Tov1\0\0\0\x0c", 8) + name + QByteArray(1, '\0')},
      {"sixteen million empty names", QByteArray("Tov1\x01\0\0\0", 8) + QByteArray(1 << 24, '\0')},
      {"a thousand and one names", QByteArray("Tov1\0\0\x2b\x03", 8) + name.repeated(1001)},
  };
  for (const auto& r : refused) EXPECT_EQ(send(r.bytes), QByteArray("|fin")) << r.what;
  EXPECT_EQ(send(QByteArray("Tov1\0\0\0\x0b", 8) + name), QByteArray("O|fin"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 5000));
  EXPECT_EQ(received, QList<QStringList>{{"/tmp/x.xml"}});
}

// A start that could not be sure it is alone, or whose files do not fit one request, opens its
// files itself and leaves the socket to the editor that may be there.
TEST_F(DesktopTest, AStartWithoutTheLockOrWithTooManyFilesNeverTakesTheSocket) {
  const QString socket = runtimeFolder() + QStringLiteral("/tovelo.sock");
  {
    QLockFile held(socket + QStringLiteral(".lock"));
    ASSERT_TRUE(held.tryLock(0));
    EXPECT_EQ(SingleInstance(socket).start({}, 2000, 100), SingleInstance::Role::Alone);
  }
  const QStringList many(1001, QStringLiteral("/tmp/x.xml"));
  EXPECT_FALSE(SingleInstance::fitsOneRequest(many));
  EXPECT_TRUE(SingleInstance::fitsOneRequest(many.mid(1)));
  SingleInstance server(socket);
  ASSERT_EQ(server.start({}), SingleInstance::Role::Primary);
  EXPECT_EQ(SingleInstance(socket).start(many), SingleInstance::Role::Alone);
  // The editor still listens.
  QLocalSocket client;
  client.connectToServer(socket);
  EXPECT_TRUE(client.waitForConnected(2000));
}

TEST_F(DesktopTest, HelpAndVersionAnswerInFrenchWithoutADisplay) {
  struct Case {
    QStringList args;
    int code;
    QString out;
    QString err;
  };
  const Case cases[] = {
      {{"--help"}, 0, "Usage : tovelo [OPTION]... [--] [FICHIER]...", ""},
      {{"-platform", "offscreen", "--version"}, 0, "Tovelo version 2.0", ""},
      {{"--nimporte"}, 2, "", "tovelo : option inconnue « --nimporte »"},
  };
  for (const Case& c : cases) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    // The bad option is found once Qt has taken its own: that needs a platform.
    if (c.code != 0)
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    else
      env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TOVELO_BINARY), c.args);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), c.code) << c.args.join(' ').toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(c.out.isEmpty() ? out.isEmpty() : out.startsWith(c.out)) << out.toStdString();
    EXPECT_TRUE(c.err.isEmpty() ? err.isEmpty() : err.contains(c.err)) << err.toStdString();
  }
}

}  // namespace
