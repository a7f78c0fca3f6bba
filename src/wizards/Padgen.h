#pragma once
// TPadgen: the software description sheet. Six tabs describe a program, its publisher, its
// descriptions, web addresses, permissions and association memberships; Result gives the lines
// of the sheet.
#include <QDialog>
#include <QStringList>

#include "WizardLines.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;

class TPadgen : public QDialog {
  Q_OBJECT

 public:
  explicit TPadgen(QWidget* parent = nullptr);

  void Button1Click();       // "Annuler"
  void Button2Click();       // "OK"
  void SpeedButton1Click();  // loads a text file into Memo7
  void SpeedButton2Click();  // loads a text file into Memo8
  // Appends the whole sheet when the dialog was confirmed, nothing otherwise.
  void Result(QStringList& lines) const;
  // What the controls hold, as the sheet writes it.
  wizards::PadSheet sheet() const;

  bool Accepte = false;

  QTabWidget* PageControl1;
  // Publisher.
  QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9, *Edit10,
      *Edit11, *Edit12, *Edit13, *Edit14, *Edit15, *Edit16;
  // Program.
  QLineEdit *Edit17, *Edit18, *Edit19, *Edit20, *Edit21, *Edit22, *Edit23, *Edit24, *Edit25,
      *Edit26, *Edit27, *Edit28, *Edit29, *Edit30, *Edit31, *Edit32, *Edit33, *Edit34, *Edit35,
      *Edit36, *Edit37, *Edit38, *Edit39, *Edit40;
  QComboBox *ComboBox1, *ComboBox2, *ComboBox3, *ComboBox4, *ComboBox5;
  QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4;
  QGroupBox* RadioGroup1;
  QRadioButton *Jours, *Utilisations, *Autre;  // the items of RadioGroup1
  // Descriptions: French, then English.
  QLineEdit *Edit41, *Edit42, *Edit43, *Edit44, *Edit45, *Edit46;
  QPlainTextEdit *Memo1, *Memo2, *Memo3, *Memo4, *Memo5, *Memo6;
  // Web.
  QLineEdit *Edit47, *Edit48, *Edit49, *Edit50, *Edit51, *Edit52, *Edit53, *Edit54, *Edit55;
  // Permissions.
  QToolButton *SpeedButton1, *SpeedButton2;
  QPlainTextEdit *Memo7, *Memo8;
  // Associations.
  QCheckBox *CheckBox5, *CheckBox6, *CheckBox7;  // AFAS, RUSH, ASP
  QLineEdit *Edit59, *Edit56, *Edit57;           // their member numbers
  QPushButton *Button1, *Button2;

  // The lines of a multi-line text as the sheet counts them: none when it is empty, and a
  // final line break ends the last line rather than starting another.
  static QStringList memoLines(const QPlainTextEdit* memo);

 private:
  void loadText(QPlainTextEdit* memo);
  QWidget* publisherTab();
  QWidget* programTab();
  QWidget* descriptionsTab();
  QWidget* webTab();
  QWidget* permissionsTab();
  QWidget* associationsTab();
};
