#pragma once
// TCaractsDialog, "Caractères spéciaux": a grid of 40 characters; the chosen cell gives the
// reference that stands for its character.
#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class QTableWidget;

class TCaractsDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kColumns = 5;
  static constexpr int kRows = 8;

  explicit TCaractsDialog(QWidget* parent = nullptr);
  // The character a cell shows and the reference it gives.
  static QString character(int column, int row);
  static QString reference(int column, int row);

  void StringGrid1SelectCell(int column, int row);
  void Button1Click();  // OK
  void Button2Click();  // Annuler
  // The reference of the last chosen cell after "OK"; otherwise empty.
  QString Result() const;

  QTableWidget* StringGrid1;
  QLineEdit* Edit1;
  QPushButton *Button1, *Button2;

 private:
  bool confirmed_ = false;
};
