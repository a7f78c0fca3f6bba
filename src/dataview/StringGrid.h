#pragma once
// The data grid: a table view whose open cell editor can be committed from outside (the page
// switch writes the cell being edited back before it leaves the grid).
#include <QPointer>
#include <QTableView>

class StringGrid : public QTableView {
  Q_OBJECT

 public:
  explicit StringGrid(QWidget* parent = nullptr);
  // Commits and closes the cell editor, if one is open.
  void commitEdit();
  // The cell editor now open, or null; keys typed into it are the grid's keys.
  QWidget* editor() const { return editor_; }

 signals:
  void editorOpened(QWidget* editor);

 private:
  QPointer<QWidget> editor_;
};
