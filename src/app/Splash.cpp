#include "Splash.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "Glyphs.h"

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("SplashForm"));
  setFixedSize(318, 221);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* panel = new QFrame(this);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(3);
  outer->addWidget(panel);

  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(16, 16, 16, 16);
  auto* picture = new QLabel(panel);
  picture->setPixmap(logoPixmap(96));
  row->addWidget(picture);

  auto* texts = new QVBoxLayout;
  auto* name = new QLabel(QStringLiteral("Tovelo"), panel);
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(27);
  f.setBold(true);
  name->setFont(f);
  texts->addStretch();
  texts->addWidget(name);
  texts->addWidget(new QLabel(QStringLiteral("Version 2.0"), panel));
  texts->addStretch();
  row->addLayout(texts);

  if (QScreen* s = QGuiApplication::primaryScreen())
    move(s->geometry().center() - rect().center());
}
