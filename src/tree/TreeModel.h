#pragma once
// The tree view's model: the rows the tree shows, one per visible node, in tree order. A node
// is visible when every node above it is expanded. The tree is kept flat (a list model) so that
// expanding or collapsing everything costs one pass over a few bytes a node rather than an item
// per node in the view, and one node a few gaps in the numbering; the view draws each row's
// indentation and expand mark from depth().
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
  // Hidden nodes [from, to): the inside of a collapsed node that is shown. Rows follow from the
  // node numbers and the gaps before them, so that a node collapsed or expanded changes a few
  // gaps rather than a list of every visible row.
  struct Gap {
    int32_t from, to;
  };
  int32_t rowOf(int32_t node) const;  // -1 when hidden
  int32_t hiddenBefore(size_t gap) const { return gap == 0 ? 0 : hiddenEnd_[gap - 1]; }
  size_t firstGapFrom(int32_t node) const;  // the first gap that starts at node or after
  void recount(size_t from);

  tree::Tree tree_;
  std::vector<bool> expanded_;
  std::vector<Gap> gaps_;           // ascending, never touching
  std::vector<int32_t> hiddenEnd_;  // nodes hidden by gaps_[0] to gaps_[k]
};
