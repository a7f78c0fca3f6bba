#include "Application.h"

#include <QApplication>
#include <QIcon>
#include <QWidget>

#include "AccessibleNames.h"
#include "French.h"
#include "Glyphs.h"

void setUpApplication() {
  // The name only: a display name would be appended to every caption by some window systems
  // ("A propos — Tovelo"). Message boxes still take the name as their caption.
  QApplication::setApplicationName(QStringLiteral("Tovelo"));
  QApplication::setWindowIcon(QIcon(logoPixmap(64)));

  // Qt's own buttons ("Oui", "Annuler") and file dialog in French, whatever the locale.
  installFrench();

  nameControlsOfEveryWindow();
}

void bringForward(QWidget& window) {
  if (window.isMinimized()) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
}
