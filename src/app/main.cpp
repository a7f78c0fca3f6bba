#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>

#include "French.h"
#include "Glyphs.h"
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

  QApplication::setApplicationName(QStringLiteral("Tovelo"));
  QApplication::setWindowIcon(QIcon(logoPixmap(64)));
  QApplication::setApplicationDisplayName(QStringLiteral("Tovelo"));

  // Qt's own buttons ("Oui", "Annuler") and file dialog in French, whatever the locale.
  installFrench();

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
