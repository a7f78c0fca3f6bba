#include <cstdio>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QScreen>

#include "Application.h"
#include "CommandLine.h"
#include "FileName.h"
#include "MainForm.h"
#include "SingleInstance.h"
#include "Splash.h"

namespace {

void print(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

}  // namespace

int main(int argc, char** argv) {
  // Qt takes its own options (-style, -platform...) out of what it is given, so it sees nothing
  // after "--": a file named like one of them stays a file.
  int qtArgc = 1;
  while (qtArgc < argc && qstrcmp(argv[qtArgc], "--") != 0) ++qtArgc;
  QStringList afterDashes;
  // Names are the file system's bytes, UTF-8 or not; Qt's own reading would lose a byte.
  for (int i = qtArgc; i < argc; ++i) afterDashes << filename::fromNative(argv[i]);
  {
    // Help and version need no display.
    QStringList raw;
    for (int i = 1; i < argc; ++i) raw << filename::fromNative(argv[i]);
    const CommandLine early = parseCommandLine(raw, QDir::currentPath());
    if (early.action == CommandLine::Action::Help) {
      print(stdout, commandLineHelp());
      return 0;
    }
    if (early.action == CommandLine::Action::Version) {
      print(stdout, commandLineVersion());
      return 0;
    }
  }

  // Native dialogs cannot be driven by the scripted tests and vary between desktops.
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  std::vector<char*> qtArgv(argv, argv + qtArgc);
  qtArgv.push_back(nullptr);
  QApplication app(qtArgc, qtArgv.data());

  // Qt has taken its own options out of qtArgv; what is left is read as bytes.
  QStringList beforeDashes;
  for (int i = 1; i < qtArgc; ++i) beforeDashes << filename::fromNative(qtArgv[size_t(i)]);
  const CommandLine command = parseCommandLine(beforeDashes + afterDashes, QDir::currentPath());
  if (command.action == CommandLine::Action::Error) {
    print(stderr, command.error);
    return 2;
  }

  SingleInstance instance;
  if (instance.start(command.files) == SingleInstance::Role::HandedOver) return 0;

  auto* splash = new TSplashForm;
  splash->show();
  splash->repaint();
  QApplication::processEvents();

  setUpApplication();

  TMainForm mainForm;
  QObject::connect(&mainForm, &TMainForm::firstShown, &mainForm, [&] {
    delete splash;
    splash = nullptr;
  });
  // Without a window manager a maximize request is ignored; fill the screen ourselves then.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    mainForm.setGeometry(screen->availableGeometry());
  mainForm.showMaximized();
  if (!command.files.isEmpty()) mainForm.openFiles(command.files);
  instance.setReceiver([&mainForm](const QStringList& files) {
    if (!files.isEmpty()) mainForm.openFiles(files);
    bringForward(mainForm);
  });
  return app.exec();
}
