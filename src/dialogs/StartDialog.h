#pragma once
// TStartDialog, "Déclaration XML": the XML declaration, the DTD named by the DOCTYPE and the
// style sheet of a document, read from its lines and written back as single lines.
#include <QDialog>
#include <QString>
#include <QStringList>

#include "TextLines.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QGroupBox;
class QToolButton;

// What the dialog edits, apart from its widgets.
struct DocumentHead {
  enum class Standalone { None, Yes, No };
  QString version;
  Standalone standalone = Standalone::None;
  QString encoding = QStringLiteral("Default");
  QString dtd;
  QString style;
};

// The values found in the first lines holding "?xml", "!DOCTYPE" and "?xml:stylesheet".
DocumentHead readHead(const TextLines& lines);
// The lines with the new declaration, DOCTYPE and style-sheet lines.
QStringList writeHead(QStringList lines, DocumentHead head);
// file relative to base (a folder ending in "/"), with ".." for each folder to climb.
QString relativePath(const QString& base, const QString& file);

class TStartDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TStartDialog(QWidget* parent = nullptr);

  void SetBase(const QString& folder) { base_ = folder; }
  void Init(const TextLines& lines);
  QStringList Result(const QStringList& lines);
  DocumentHead head() const;

  void Button1Click();  // Annuler
  void Button2Click();  // OK
  void SpeedButton1Click();
  void SpeedButton2Click();

  QLabel *Label1, *Label2, *Label3, *Label4;
  QLineEdit *Edit1, *Edit2, *Edit3;
  QGroupBox* RadioGroup1;
  QRadioButton *Yes, *No;
  QComboBox* ComboBox1;
  QToolButton *SpeedButton1, *SpeedButton2;
  QPushButton *Button1, *Button2;

 private:
  QString base_;
};
