#pragma once
// The tree view's widget: the visible nodes of a TreeModel, one row each, indented by depth
// with an expand mark before nodes that have children. Its rows are laid out here, not by a
// table or a list: a table's header keeps an entry for every row and moves them all when a node
// is collapsed or expanded, and a list lays out every row after a change (tens of milliseconds
// and megabytes on a million rows), while every row here has the same height, so a row's place
// is a product. A list view still, for what screen readers are told of its rows. The mark (or the Right and Left
// keys, or "+" and "-") expands and collapses a node; a double click, Enter or Space chooses it
// for the window. The one column is as wide as the widest row seen, so that deep nesting
// scrolls sideways rather than being cut off.
#include <QListView>

class TreeModel;

class TreeList : public QListView {
  Q_OBJECT

 public:
  explicit TreeList(QWidget* parent = nullptr);
  void setTreeModel(TreeModel* model);
  TreeModel* treeModel() const { return model_; }
  int indentation() const { return indent_; }
  void setIndentation(int pixels);
  int rowHeight() const { return rowHeight_; }
  // The node shown by the current row, -1 when none.
  int32_t currentNode() const;
  void setCurrentNode(int32_t node);
  bool isExpanded(int32_t node) const;
  void expand(int32_t node);
  void collapse(int32_t node);
  void expandAll();
  void collapseAll();

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;
  void doItemsLayout() override;

 signals:
  // Enter or Space on the current node: what a double click on it does.
  void nodeChosen();

 protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex&) const override { return false; }
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void rowsInserted(const QModelIndex& parent, int start, int end) override;
  void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = {}) override;

 private:
  void setExpanded(int32_t node, bool expanded);
  int rowCount() const;
  int firstRow() const;     // the row at the top of the viewport
  int rowsOnScreen() const; // rows that the viewport shows whole, at least 1
  // Widens the column to the rows on screen; measuring only those keeps a large tree cheap.
  void fitColumn();
  void refitColumn();  // after the rows changed: the widest seen so far no longer counts
  void rowsChanged();

  TreeModel* model_ = nullptr;
  int indent_ = 19;
  int rowHeight_ = 0;
  int widest_ = 0;
  int columnWidth_ = 0;
};
