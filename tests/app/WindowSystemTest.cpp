// The frame as a real X server shows it: captions as the window system has them, and hints
// with a real pointer. The program starts a private Xvfb of its own for these tests.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QToolButton>

#include <functional>

#include "About.h"
#include "Application.h"
#include "HelpViewer.h"
#include "MainForm.h"

// Failures show the texts, not their bytes.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// The title that the window manager would show: the window's _NET_WM_NAME property.
QString titleOnServer(const QWidget& w) {
  QProcess xprop;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  xprop.setProcessEnvironment(env);
  xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(w.winId()),
                                        QStringLiteral("-notype"), QStringLiteral("_NET_WM_NAME")});
  if (!xprop.waitForFinished(5000)) return QStringLiteral("(xprop did not answer)");
  const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
  const qsizetype first = out.indexOf(u'"');
  const qsizetype last = out.lastIndexOf(u'"');
  return first >= 0 && last > first ? out.mid(first + 1, last - first - 1) : out;
}

// The server takes the title a moment after Qt sets it.
QString settledTitle(const QWidget& w, const QString& expected) {
  QElapsedTimer clock;
  clock.start();
  QString seen;
  while (clock.elapsed() < 5000) {
    QApplication::processEvents();
    seen = titleOnServer(w);
    if (seen == expected) break;
    QTest::qWait(50);
  }
  return seen;
}

bool waitFor(const std::function<bool()>& condition) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > 5000) return false;
    QTest::qWait(20);
  }
  return true;
}

}  // namespace

TEST(WindowSystemTest, CaptionsCarryTheProgramNameOnce) {
  TMainForm form;
  form.resize(1000, 700);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(settledTitle(form, QStringLiteral("Tovelo")), QStringLiteral("Tovelo"));

  form.FileNewItemClick();
  form.mdiArea()->activeSubWindow()->showMaximized();
  EXPECT_EQ(settledTitle(form, QStringLiteral("Tovelo - [XML1.xml]")),
            QStringLiteral("Tovelo - [XML1.xml]"));

  TAboutBox about(&form);
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
  EXPECT_EQ(settledTitle(about, QStringLiteral("A propos")), QStringLiteral("A propos"));
  about.close();

  form.HContents();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.helpViewer()));
  EXPECT_EQ(settledTitle(*form.helpViewer(), QStringLiteral("Aide de Tovelo")),
            QStringLiteral("Aide de Tovelo"));
}

TEST(WindowSystemTest, MenuOpenedUnderThePointerKeepsTheHighlightedItemsHint) {
  TMainForm form;
  form.setGeometry(0, 0, 1000, 700);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  form.FileNewItemClick();
  // The pointer rests on the "Nouveau" button, as after clicking it.
  QCursor::setPos(form.SpeedButton1->mapToGlobal(form.SpeedButton1->rect().center()));
  ASSERT_TRUE(waitFor([&] { return form.statusText() == QStringLiteral("Nouveau"); }));

  for (int opening = 1; opening <= 2; ++opening) {
    SCOPED_TRACE(opening);
    QTest::keyClick(&form, Qt::Key_E, Qt::AltModifier);
    ASSERT_TRUE(waitFor([&] { return QApplication::activePopupWidget() == form.Edit1; }));
    QTest::qWait(300);  // the server reports the pointer leaving the button
    EXPECT_EQ(form.statusText(), QStringLiteral("Annuler dernière opération"));
    QTest::keyClick(form.Edit1, Qt::Key_Escape);
    QTest::keyClick(&form, Qt::Key_Escape);
    ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() == nullptr; }));
  }
}

namespace {

// A private X server on a free display; its number is written to the pipe when it is ready.
pid_t startXvfb(std::string* display) {
  int fds[2];
  if (pipe(fds) != 0) return 0;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return 0;
  }
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') *display += c;
  close(fds[0]);
  if (display->empty()) {
    waitpid(pid, nullptr, 0);
    return 0;
  }
  return pid;
}

}  // namespace

int main(int argc, char** argv) {
  bool listing = false;
  for (int i = 1; i < argc; ++i) listing |= std::strncmp(argv[i], "--gtest_list", 12) == 0;
  pid_t server = 0;
  if (listing) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  } else {
    std::string display;
    server = startXvfb(&display);
    if (server == 0) {
      std::fprintf(stderr, "Xvfb could not be started (scripts/setup.sh installs it)\n");
      return 1;
    }
    qputenv("DISPLAY", QByteArray(":") + display.c_str());
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  int status;
  {
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    setUpApplication();
    ::testing::InitGoogleTest(&argc, argv);
    status = RUN_ALL_TESTS();
  }
  if (server != 0) {
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
  }
  return status;
}
