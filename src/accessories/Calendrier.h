#pragma once
// TCalendrier: a month calendar, weeks from Sunday, with the month and year above it and
// buttons and Page Up / Page Down for the months before and after.
#include <QDialog>

class QCalendarWidget;
class QLabel;
class QPushButton;

class TCalendrier : public QDialog {
  Q_OBJECT

 public:
  explicit TCalendrier(QWidget* parent = nullptr);

  QLabel* Label1;  // "octobre  1998"
  QPushButton* BitBtn1;  // previous month
  QPushButton* BitBtn2;  // next month
  QPushButton* Button1;  // "Fermer"
  QCalendarWidget* Calendar1;

  void Calendar1Change();
  void BitBtn1Click();
  void BitBtn2Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
};

// The heading of a date: the French month name, two spaces and the year.
QString calendarHeading(const QDate& d);
