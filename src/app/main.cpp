#include <QApplication>
#include <QScreen>

#include "Application.h"
#include "MainForm.h"
#include "Splash.h"

int main(int argc, char** argv) {
  // Native dialogs cannot be driven by the scripted tests and vary between desktops.
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  QApplication app(argc, argv);

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
  return app.exec();
}
