#pragma once
// TAssistant: the simple document wizard. The user names a document element, one record and up
// to seven fields; Result gives the lines of a skeleton with one record.
#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

class TAssistant : public QDialog {
  Q_OBJECT

 public:
  explicit TAssistant(QWidget* parent = nullptr);

  void Button1Click();  // "Annuler"
  void Button2Click();  // "OK"
  // Appends the document's lines when the dialog was confirmed, nothing otherwise.
  void Result(QStringList& lines) const;

  QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9,
      *Label10;
  QLineEdit *Edit1, *Edit2;  // document, record
  QLineEdit *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9;  // fields 1 to 7
  QPushButton *Button1, *Button2;

 private:
  bool confirmed_ = false;
};
