#pragma once
// "Aller à la ligne...": a line number, optionally ":colonne", both from 1.
#include <QDialog>
#include <QString>

#include "TextStore.h"

class QLineEdit;
class QPushButton;

// The text position of "L" or "L:C" in text, out-of-range numbers taken to the nearest line
// and the nearest column of that line; -1 when the input is not of that form.
int64_t lineColumnPosition(const TextStore& text, const QString& input);

class TGotoLine : public QDialog {
  Q_OBJECT

 public:
  explicit TGotoLine(QWidget* parent = nullptr);
  // The line number the field starts with (the caret's line, from 1), selected.
  void Init(int64_t line);
  // After "OK", the text typed; empty otherwise.
  QString Result() const;

  QLineEdit* Edit1;
  QPushButton *Button1, *Button2;  // OK, Annuler

 private:
  bool confirmed_ = false;
};
