#include "TreeModel.h"

#include "Cp1252.h"

TreeModel::TreeModel(QObject* parent) : QAbstractItemModel(parent) { tree_.finish(); }

void TreeModel::setTree(tree::Tree tree) {
  beginResetModel();
  tree_ = std::move(tree);
  endResetModel();
}

int32_t TreeModel::nodeOf(const QModelIndex& index) const {
  return index.isValid() ? int32_t(index.internalId()) : -1;
}

QModelIndex TreeModel::indexOf(int32_t node) const {
  if (node < 0 || node >= tree_.size()) return {};
  return createIndex(tree_.row(node), 0, quintptr(node));
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const {
  const int32_t p = nodeOf(parent);
  if (column != 0 || row < 0 || row >= tree_.childCount(p)) return {};
  return createIndex(row, 0, quintptr(tree_.child(p, row)));
}

QModelIndex TreeModel::parent(const QModelIndex& child) const {
  const int32_t node = nodeOf(child);
  return node < 0 ? QModelIndex() : indexOf(tree_.parent(node));
}

int TreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return tree_.childCount(nodeOf(parent));
}

int TreeModel::columnCount(const QModelIndex&) const { return 1; }

bool TreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant TreeModel::data(const QModelIndex& index, int role) const {
  const int32_t node = nodeOf(index);
  if (node < 0 || role != Qt::DisplayRole) return {};
  const std::string& label = tree_.label(node);
  return cp1252::decode(QByteArray::fromRawData(label.data(), qsizetype(label.size())));
}
