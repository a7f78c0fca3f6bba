#include "DataModel.h"

#include "StoreText.h"

namespace {
QString decode(const std::string& s) { return storetext::decode(s); }
}  // namespace

DataModel::DataModel(QObject* parent) : QAbstractTableModel(parent) {}

void DataModel::setRows(dataview::DataRows rows) {
  beginResetModel();
  rows_ = std::move(rows);
  shown_.clear();
  written_.clear();
  rowCount_ = std::max(rowCount_, int(rows_.rows.size()));
  endResetModel();
}

QString DataModel::label(int row) const { return filled(row) ? decode(rows_.label(size_t(row))) : QString(); }

QString DataModel::textValue(int row) const {
  if (const auto it = written_.find(row); it != written_.end()) return it->second;
  return filled(row) ? decode(rows_.value(size_t(row))) : QString();
}

QString DataModel::value(int row) const {
  if (const auto it = shown_.find(row); it != shown_.end()) return it->second;
  return textValue(row);
}

void DataModel::setValue(int row, const QString& value, bool written) {
  shown_[row] = value;
  if (written) written_[row] = value;
  emit dataChanged(index(row, 1), index(row, 1));
}

void DataModel::revert(int row) {
  shown_.erase(row);
  emit dataChanged(index(row, 1), index(row, 1));
}

int DataModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rowCount_; }

int DataModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant DataModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  return index.column() == 0 ? label(index.row()) : value(index.row());
}

bool DataModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != 1 || role != Qt::EditRole) return false;
  setValue(index.row(), value.toString(), false);
  emit cellEdited(index.row());
  return true;
}

Qt::ItemFlags DataModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags f = QAbstractTableModel::flags(index);
  if (index.column() == 1) f |= Qt::ItemIsEditable;
  return f;
}
