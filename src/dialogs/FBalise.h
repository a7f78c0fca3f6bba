#pragma once
// TFBalise, "Insérer balise": the start-tag keys already used in the document, to insert one
// again.
#include <QDialog>
#include <QStringList>

#include "TextLines.h"

class QListWidget;
class QPushButton;

// The keys in order of first appearance, each once without regard to case; tags inside
// comments count too.
QStringList tagKeysOf(const TextLines& lines);

class TFBalise : public QDialog {
  Q_OBJECT

 public:
  explicit TFBalise(QWidget* parent = nullptr);
  void Init(const TextLines& lines);
  // The chosen key after "OK" or a double click; otherwise empty.
  QString Result() const;

  void Button1Click();  // Annuler
  void Button2Click();  // OK
  void ListBox1DblClick();

  QListWidget* ListBox1;
  QPushButton *Button1, *Button2;

 private:
  bool confirmed_ = false;
};
