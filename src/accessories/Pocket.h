#pragma once
// TPocket: the four-function pocket calculator of the accessories, worked with the mouse or the
// keyboard; the arithmetic is PocketEngine's.
#include <QDialog>

#include "PocketEngine.h"

class QLabel;
class QPushButton;

class TPocket : public QDialog {
  Q_OBJECT

 public:
  explicit TPocket(QWidget* parent = nullptr);

  QLabel* Label1;  // the display
  QLabel* Label2;
  // Button0-Button9 the digits, then ",", "=", "+", "-", "*", "/", "1/x", "sqr", "C", "Fermer".
  QPushButton* Button[20];

  void FormActivate();
  const accessories::PocketEngine& engine() const { return engine_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void ButtonClick(int index);
  void report(const QString& error);

  accessories::PocketEngine engine_;
};
