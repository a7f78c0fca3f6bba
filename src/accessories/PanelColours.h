#pragma once
// The flat colours of the accessories' panels and displays.
#include <QColor>
#include <QPalette>
#include <QWidget>

namespace accessories {

// w painted in background, with its text in text when one is given.
inline void paintPanel(QWidget* w, const QColor& background, const QColor& text = QColor()) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, background);
  if (text.isValid()) p.setColor(QPalette::WindowText, text);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

}  // namespace accessories
