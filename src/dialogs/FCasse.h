#pragma once
// TFCasse, "Changer la casse": the selected text in lower or upper case.
#include <QDialog>
#include <QString>

class QGroupBox;
class QPushButton;
class QRadioButton;

class TFCasse : public QDialog {
  Q_OBJECT

 public:
  explicit TFCasse(QWidget* parent = nullptr);
  void Init(const QString& text);
  // After "OK" the text in the chosen case; otherwise the text unchanged.
  QString Result() const;

  QGroupBox* RadioGroup1;
  QRadioButton *Minuscules, *Majuscules;
  QPushButton *Button1, *Button2;  // OK, Annuler

 private:
  QString text_;
  bool confirmed_ = false;
};
