#pragma once
// THorloge: the ticking time and date; "Set" freezes them for editing with the spin button and,
// pressed again, sets the machine's clock to what is shown (local time, through ClockSetter).
#include <functional>

#include <QDateTime>
#include <QDialog>
#include <QTimeZone>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class SpinButton;

class THorloge : public QDialog {
  Q_OBJECT

 public:
  explicit THorloge(QWidget* parent = nullptr);

  QLabel* Label1;  // time
  QLabel* Label2;  // date
  QGroupBox* RadioGroup1;
  QButtonGroup* RadioGroup1Items;  // ids 0-4: "Hr", "Mn", "Jo", "Mo", "An"
  SpinButton* SpinButton1;
  QPushButton* Button1;  // "Fermer"
  QPushButton* Button2;  // "Set"
  QTimer* Timer1;

  void Timer1Timer();
  void FormActivate();
  void FormDeactivate();
  void Button2Click();
  void SpinButton1UpClick() { spin(+1); }
  void SpinButton1DownClick() { spin(-1); }
  void Modifie();

  bool settingMode() const { return setting_; }
  // Tests give the time shown and the zone of the displayed local time.
  void setClockSource(std::function<QDateTime()> now) { now_ = std::move(now); }
  void setTimeZone(const QTimeZone& zone) { zone_ = zone; }

 protected:
  bool event(QEvent* e) override;

 private:
  void spin(int delta);
  void unreadable();

  std::function<QDateTime()> now_ = [] { return QDateTime::currentDateTime(); };
  QTimeZone zone_ = QTimeZone::systemTimeZone();
  bool setting_ = false;
};
