#pragma once
// The tree view's widget: a one-column table of the visible nodes of a TreeModel, each row
// indented by its depth with an expand mark before nodes that have children. A table rather
// than a list view: it keeps no layout per row, so a million rows appear without a pass over
// them. The mark (or the Right and Left
// keys, or "+" and "-") expands and collapses a node; a double click, Enter or Space chooses it
// for the window. The one column is as wide as the widest row seen, so that deep nesting
// scrolls sideways rather than being cut off.
#include <QTableView>

class TreeModel;

class TreeList : public QTableView {
  Q_OBJECT

 public:
  explicit TreeList(QWidget* parent = nullptr);
  void setTreeModel(TreeModel* model);
  TreeModel* treeModel() const { return model_; }
  int indentation() const { return indent_; }
  void setIndentation(int pixels);
  // The node shown by the current row, -1 when none.
  int32_t currentNode() const;
  void setCurrentNode(int32_t node);
  bool isExpanded(int32_t node) const;
  void expand(int32_t node);
  void collapse(int32_t node);
  void expandAll();
  void collapseAll();

 signals:
  // Enter or Space on the current node: what a double click on it does.
  void nodeChosen();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void setExpanded(int32_t node, bool expanded);
  // Widens the column to the rows on screen; measuring only those keeps a large tree cheap.
  void fitColumn();
  void refitColumn();  // after the rows changed: the widest seen so far no longer counts

  TreeModel* model_ = nullptr;
  int indent_ = 19;
  int widest_ = 0;
};
