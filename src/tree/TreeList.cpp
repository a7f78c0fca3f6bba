#include "TreeList.h"

#include <algorithm>

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "TreeModel.h"

namespace {

// Indentation and the expand mark, then the label as an ordinary item draws it.
class TreeDelegate : public QStyledItemDelegate {
 public:
  explicit TreeDelegate(TreeList* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int indent = list_->indentation();
    const int depth = index.data(TreeModel::DepthRole).toInt();
    const QRect mark(option.rect.left() + depth * indent, option.rect.top(), indent, option.rect.height());
    if (index.data(TreeModel::HasChildrenRole).toBool()) {
      QStyleOption branch;
      branch.initFrom(list_);
      branch.rect = mark;
      branch.state = QStyle::State_Children | QStyle::State_Item;
      if (index.data(TreeModel::ExpandedRole).toBool()) branch.state |= QStyle::State_Open;
      list_->style()->drawPrimitive(QStyle::PE_IndicatorBranch, &branch, painter, list_);
    }
    QStyleOptionViewItem text = option;
    text.rect.setLeft(mark.right() + 1);
    QStyledItemDelegate::paint(painter, text, index);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.rwidth() += (index.data(TreeModel::DepthRole).toInt() + 1) * list_->indentation();
    return s;
  }

 private:
  TreeList* list_;
};

}  // namespace

TreeList::TreeList(QWidget* parent) : QTableView(parent) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(false);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  setShowGrid(false);
  setWordWrap(false);
  setSelectionBehavior(SelectRows);
  setSelectionMode(SingleSelection);
  setHorizontalScrollMode(ScrollPerPixel);
  setEditTriggers(NoEditTriggers);
  setItemDelegate(new TreeDelegate(this));
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TreeList::fitColumn);
}

void TreeList::setTreeModel(TreeModel* model) {
  model_ = model;
  setModel(model);
  // Queued: the view lays out its new rows first.
  connect(model, &QAbstractItemModel::modelReset, this, &TreeList::refitColumn, Qt::QueuedConnection);
  connect(model, &QAbstractItemModel::layoutChanged, this, &TreeList::refitColumn, Qt::QueuedConnection);
  connect(model, &QAbstractItemModel::rowsInserted, this, &TreeList::refitColumn, Qt::QueuedConnection);
  connect(model, &QAbstractItemModel::rowsRemoved, this, &TreeList::refitColumn, Qt::QueuedConnection);
  refitColumn();
}

void TreeList::setIndentation(int pixels) {
  indent_ = pixels;
  refitColumn();
  viewport()->update();
}

void TreeList::refitColumn() {
  widest_ = 0;
  fitColumn();
}

void TreeList::fitColumn() {
  const int rows = model_ ? model_->rowCount() : 0;
  const int first = std::max(0, rowAt(0));
  int last = rowAt(viewport()->height() - 1);
  if (last < 0) last = rows - 1;
  for (int r = first; r <= last && r < rows; ++r)
    widest_ = std::max(widest_, sizeHintForIndex(model_->index(r, 0)).width());
  const int width = std::max(widest_, viewport()->width());
  if (model_ && columnWidth(0) != width) setColumnWidth(0, width);
}

void TreeList::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  fitColumn();
}

int32_t TreeList::currentNode() const { return model_ ? model_->nodeOf(currentIndex()) : -1; }

void TreeList::setCurrentNode(int32_t node) {
  if (!model_) return;
  // A node under a collapsed one is shown first, as a tree control does when it selects it.
  for (int32_t p = node >= 0 ? model_->tree().parent(node) : -1; p >= 0; p = model_->tree().parent(p))
    if (!model_->isExpanded(p)) expand(p);
  setCurrentIndex(model_->indexOf(node));
}

bool TreeList::isExpanded(int32_t node) const { return model_ && model_->isExpanded(node); }

void TreeList::setExpanded(int32_t node, bool expanded) {
  if (!model_ || node < 0) return;
  const int32_t current = currentNode();
  model_->setExpanded(node, expanded);
  // The current row stays on its node, or goes to the collapsed node that hides it.
  if (current >= 0 && !currentIndex().isValid()) setCurrentIndex(model_->indexOf(node));
  else if (current >= 0 && current != currentNode()) setCurrentIndex(model_->indexOf(current));
}

void TreeList::expand(int32_t node) {
  // Ancestors first: a hidden node's rows cannot be shown.
  if (model_ && node >= 0)
    for (int32_t p = model_->tree().parent(node); p >= 0; p = model_->tree().parent(p))
      if (!model_->isExpanded(p)) setExpanded(p, true);
  setExpanded(node, true);
}

void TreeList::collapse(int32_t node) { setExpanded(node, false); }

void TreeList::expandAll() {
  if (!model_) return;
  const int32_t current = currentNode();
  model_->expandAll();
  if (current >= 0) setCurrentIndex(model_->indexOf(current));
}

void TreeList::collapseAll() {
  if (!model_) return;
  int32_t current = currentNode();
  model_->collapseAll();
  while (current >= 0 && model_->tree().parent(current) >= 0) current = model_->tree().parent(current);
  if (current >= 0) setCurrentIndex(model_->indexOf(current));
}

void TreeList::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (model_ && index.isValid() && index.data(TreeModel::HasChildrenRole).toBool()) {
    const int left = visualRect(index).left() + index.data(TreeModel::DepthRole).toInt() * indent_;
    const int x = event->position().toPoint().x();
    if (x >= left && x < left + indent_) {
      const int32_t node = model_->nodeOf(index);
      setExpanded(node, !model_->isExpanded(node));
      return;
    }
  }
  QTableView::mousePressEvent(event);
}

void TreeList::keyPressEvent(QKeyEvent* event) {
  const int32_t node = currentNode();
  if (model_ && node >= 0) {
    const bool children = model_->tree().hasChildren(node);
    switch (event->key()) {
      case Qt::Key_Right:
      case Qt::Key_Plus:
        if (children && !model_->isExpanded(node)) expand(node);
        else if (children && event->key() == Qt::Key_Right) setCurrentIndex(model_->indexOf(node + 1));
        return;
      case Qt::Key_Left:
      case Qt::Key_Minus:
        if (children && model_->isExpanded(node)) collapse(node);
        else if (event->key() == Qt::Key_Left && model_->tree().parent(node) >= 0)
          setCurrentIndex(model_->indexOf(model_->tree().parent(node)));
        return;
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Space:
        emit nodeChosen();
        return;
      case Qt::Key_Home:
      case Qt::Key_End: {
        // The first and the last node, as in a tree, not the row's first and last column.
        QKeyEvent moved(event->type(), event->key(), event->modifiers() | Qt::ControlModifier, event->text());
        QTableView::keyPressEvent(&moved);
        return;
      }
      default: break;
    }
  }
  QTableView::keyPressEvent(event);
}
