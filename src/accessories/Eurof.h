#pragma once
// TEurof: converts amounts between francs and euros at a rate that the user can adjust.
#include <QDialog>

#include "EuroRate.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SpinButton;

class TEurof : public QDialog {
  Q_OBJECT

 public:
  explicit TEurof(QWidget* parent = nullptr);

  QLabel* Label1;  // the amount typed
  QLabel* Label2;  // the result
  // Button0-Button9 the digits, Button10 "Fermer", Button11 "=", Button12 ",".
  QPushButton* Button[13];
  QRadioButton* RadioButton1;  // "Fr>Euro"
  QRadioButton* RadioButton2;  // "Euro>Fr"
  QLineEdit* Edit3;
  SpinButton* SpinButton1;

  void FormActivate();
  void Init();  // clears the displays when a result is shown
  void SpinButton1UpClick();
  void SpinButton1DownClick();

  // For a caller that keeps the settings between runs; direction 1 "Fr>Euro", 2 "Euro>Fr".
  void GetIni(long long& rate, int& direction) const;
  void SetIni(int direction, long long rate);

  long long rate() const { return rate_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void enter(QChar c);
  void convert();
  void clearDisplays();

  long long rate_ = accessories::kDefaultEuroRate;
  bool resultShown_ = false;
};
