#pragma once
// TImport, "Importer fichier": previews the first lines of a tab-delimited file, lets the user
// name the fields (row 0 of the grid) and the record element, and inserts the records.
#include <vector>

#include <QDialog>

#include "Exchange.h"

class QLineEdit;
class QPushButton;
class QTableWidget;
class TColorMemo;

class TImport : public QDialog {
  Q_OBJECT

 public:
  explicit TImport(QWidget* parent = nullptr);

  // Reads the file; false, with the message shown, when it cannot be read.
  bool Init(const QString& fileName);
  // After "Valider" only: the records go into the memo's text as one change.
  void Result(TColorMemo* memo) const;

  QTableWidget* StringGrid1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* Annuler = nullptr;
  QPushButton* Valider = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;  // fills the preview

 private:
  void fillPreview();
  std::vector<exchange::Record> records_;
  bool validated_ = false;
  bool filled_ = false;
};
