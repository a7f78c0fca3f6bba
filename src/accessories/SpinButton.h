#pragma once
// A pair of up and down arrows with no field of their own. Holding an arrow repeats its step,
// first after 400 ms and then every 100 ms; with the focus on it, the Up and Down keys act as
// its arrows.
#include <QWidget>

class QToolButton;

class SpinButton : public QWidget {
  Q_OBJECT

 public:
  explicit SpinButton(QWidget* parent = nullptr);
  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }

 signals:
  void upClick();
  void downClick();

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
};
