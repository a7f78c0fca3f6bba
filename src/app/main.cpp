#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

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
  QApplication::setApplicationDisplayName(QStringLiteral("Tovelo"));

  // Qt's own buttons ("Oui", "Annuler") in French.
  QTranslator qtFrench;
  if (qtFrench.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtFrench);

  TMainForm mainForm;
  QObject::connect(&mainForm, &TMainForm::firstShown, &mainForm, [&] {
    delete splash;
    splash = nullptr;
  });
  mainForm.showMaximized();
  return app.exec();
}
