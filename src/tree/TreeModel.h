#pragma once
// The tree view's model: a read-only view of a Tree, one row per node, labels decoded on demand.
#include <memory>

#include <QAbstractItemModel>

#include "Tree.h"

class TreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit TreeModel(QObject* parent = nullptr);

  // Replaces the whole tree (a reset for the view).
  void setTree(tree::Tree tree);
  const tree::Tree& tree() const { return tree_; }
  // The node an index stands for, -1 for the invalid index; and back.
  int32_t nodeOf(const QModelIndex& index) const;
  QModelIndex indexOf(int32_t node) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  tree::Tree tree_;
};
