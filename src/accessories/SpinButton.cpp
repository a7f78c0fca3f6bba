#include "SpinButton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* arrow(QWidget* parent, Qt::ArrowType type) {
  auto* b = new QToolButton(parent);
  b->setArrowType(type);
  b->setAutoRepeat(true);
  b->setAutoRepeatDelay(400);
  b->setAutoRepeatInterval(100);
  b->setFocusPolicy(Qt::NoFocus);
  b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  return b;
}

}  // namespace

SpinButton::SpinButton(QWidget* parent) : QWidget(parent) {
  // Standard arrows whatever the colours of the panel it sits on (white on the clock's black).
  const QPalette standard = QApplication::palette();
  QPalette own = palette();
  for (auto role : {QPalette::Window, QPalette::WindowText, QPalette::Button, QPalette::ButtonText})
    own.setBrush(role, standard.brush(role));
  setPalette(own);
  setFocusPolicy(Qt::StrongFocus);
  up_ = arrow(this, Qt::UpArrow);
  down_ = arrow(this, Qt::DownArrow);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);  // room for the focus frame
  layout->setSpacing(0);
  layout->addWidget(up_);
  layout->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, &SpinButton::upClick);
  connect(down_, &QToolButton::clicked, this, &SpinButton::downClick);
}

void SpinButton::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Up) {
    emit upClick();
  } else if (e->key() == Qt::Key_Down) {
    emit downClick();
  } else {
    QWidget::keyPressEvent(e);
  }
}

void SpinButton::paintEvent(QPaintEvent*) {
  if (!hasFocus()) return;
  QStylePainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}
