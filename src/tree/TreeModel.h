#pragma once
// The tree view's model: the rows the tree shows, one per visible node, in tree order. A node
// is visible when every node above it is expanded. The tree is kept flat (a list model) so that
// expanding or collapsing everything costs one pass over a few bytes a node rather than an item
// per node in the view; the view draws each row's indentation and expand mark from depth().
#include <vector>

#include <QAbstractListModel>

#include "Tree.h"

class TreeModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit TreeModel(QObject* parent = nullptr);

  // Replaces the whole tree, every node expanded.
  void setTree(tree::Tree tree);
  const tree::Tree& tree() const { return tree_; }
  // The node a row shows, -1 for an invalid index; the row of a visible node (an invalid
  // index when the node is hidden under a collapsed one).
  int32_t nodeOf(const QModelIndex& index) const;
  QModelIndex indexOf(int32_t node) const;

  bool isExpanded(int32_t node) const { return node >= 0 && expanded_[size_t(node)]; }
  void setExpanded(int32_t node, bool expanded);
  void expandAll();
  void collapseAll();

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Roles of a row beside its label.
  static constexpr int DepthRole = Qt::UserRole;
  static constexpr int HasChildrenRole = Qt::UserRole + 1;
  static constexpr int ExpandedRole = Qt::UserRole + 2;

 private:
  int32_t rowOf(int32_t node) const;  // -1 when hidden
  // The visible rows under node, which must be expanded and visible.
  void appendVisibleUnder(int32_t node, std::vector<int32_t>& out) const;

  tree::Tree tree_;
  std::vector<bool> expanded_;
  // Every node visible (everything expanded): rows are node numbers, and visible_ is empty.
  bool allVisible_ = true;
  std::vector<int32_t> visible_;  // otherwise the visible nodes, ascending
};
