#pragma once
// The window shown while the program starts.
#include <QWidget>

class TSplashForm : public QWidget {
  Q_OBJECT
 public:
  explicit TSplashForm(QWidget* parent = nullptr);
};
