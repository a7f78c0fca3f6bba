#pragma once
// The data grid's model: label and value columns over the rows of the last fill. The row count
// only grows, as the grid's did; rows past the last fill are empty. Values the user typed are
// held apart from the values read, so a write-back can tell an edit from a value left alone.
#include <unordered_map>

#include <QAbstractTableModel>

#include "DataRows.h"

class DataModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit DataModel(QObject* parent = nullptr);

  void setRows(dataview::DataRows rows);
  const dataview::DataRows& rows() const { return rows_; }
  bool filled(int row) const { return row >= 0 && size_t(row) < rows_.rows.size(); }
  QString label(int row) const;
  QString value(int row) const;  // what the cell shows
  // What the text holds at the row's place, as far as this window knows: the value read, or
  // the last value written back.
  QString textValue(int row) const;
  // The cell shows value; written: the text now holds it.
  void setValue(int row, const QString& value, bool written);
  // The cell shows the text's value again.
  void revert(int row);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 signals:
  // The user committed a cell's text (the cell already shows it).
  void cellEdited(int row);

 private:
  dataview::DataRows rows_;
  std::unordered_map<int, QString> shown_;    // cells whose text the user changed
  std::unordered_map<int, QString> written_;  // values written back since the fill
  int rowCount_ = 5;
};
