#pragma once
// TEditCell, "Modifier donnée": edits one value of the data grid in a multi-line box.
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TEditCell : public QDialog {
  Q_OBJECT

 public:
  explicit TEditCell(QWidget* parent = nullptr);
  void Init(const QString& text);
  // The box's text after "Valider"; empty after "Annuler" or when the window was closed.
  QString Result() const;

  QPlainTextEdit* Memo1;
  QPushButton* Button1;  // "Annuler"
  QPushButton* Button2;  // "Valider"

 protected:
  // Enter in the box confirms, as in every dialog; Shift+Enter or Ctrl+Enter breaks the line.
  bool eventFilter(QObject* watched, QEvent* event) override;
};
