#include "TreeList.h"

#include <algorithm>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
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

TreeList::TreeList(QWidget* parent) : QListView(parent) {
  rowHeight_ = fontMetrics().height() + 4;
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
  // After the view's own handlers: the scroll ranges and the screen follow the rows.
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(model, signal, this, &TreeList::rowsChanged);
  connect(model, &QAbstractItemModel::modelReset, this, &TreeList::rowsChanged);
  connect(model, &QAbstractItemModel::layoutChanged, this, &TreeList::rowsChanged);
  // Queued: the view lays out its new rows first.
  connect(model, &QAbstractItemModel::modelReset, this, &TreeList::refitColumn, Qt::QueuedConnection);
  connect(model, &QAbstractItemModel::layoutChanged, this, &TreeList::refitColumn, Qt::QueuedConnection);
  connect(model, &QAbstractItemModel::rowsInserted, this, &TreeList::refitColumn, Qt::QueuedConnection);
  connect(model, &QAbstractItemModel::rowsRemoved, this, &TreeList::refitColumn, Qt::QueuedConnection);
  rowsChanged();
  refitColumn();
}

void TreeList::rowsChanged() {
  updateGeometries();
  viewport()->update();
}

void TreeList::setIndentation(int pixels) {
  indent_ = pixels;
  refitColumn();
  viewport()->update();
}

int TreeList::rowCount() const { return model_ ? model_->rowCount() : 0; }

int TreeList::firstRow() const { return verticalScrollBar()->value(); }

int TreeList::rowsOnScreen() const { return std::max(1, viewport()->height() / rowHeight_); }

void TreeList::refitColumn() {
  widest_ = 0;
  fitColumn();
}

void TreeList::fitColumn() {
  const int rows = rowCount();
  const int first = firstRow();
  const int last = std::min(rows - 1, first + rowsOnScreen());
  for (int r = first; r <= last; ++r)
    widest_ = std::max(widest_, sizeHintForIndex(model_->index(r, 0)).width());
  const int width = std::max(widest_, viewport()->width());
  if (columnWidth_ != width) {
    columnWidth_ = width;
    updateGeometries();
    viewport()->update();
  }
}

void TreeList::updateGeometries() {
  QScrollBar* v = verticalScrollBar();
  const int page = rowsOnScreen();
  v->setSingleStep(1);
  v->setPageStep(page);
  v->setRange(0, std::max(0, rowCount() - page));
  QScrollBar* h = horizontalScrollBar();
  h->setSingleStep(std::max(1, indent_));
  h->setPageStep(viewport()->width());
  h->setRange(0, std::max(0, columnWidth_ - viewport()->width()));
  QAbstractItemView::updateGeometries();
}

void TreeList::scrollContentsBy(int dx, int dy) {
  // The vertical bar counts rows.
  scrollDirtyRegion(dx, dy * rowHeight_);
  viewport()->scroll(dx, dy * rowHeight_);
}

// The list's own layout, a pass over every row, is never made: these go to the item view.
void TreeList::doItemsLayout() { QAbstractItemView::doItemsLayout(); }

void TreeList::rowsInserted(const QModelIndex& parent, int start, int end) {
  QAbstractItemView::rowsInserted(parent, start, end);
}

void TreeList::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
  QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
}

void TreeList::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
  QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

void TreeList::resizeEvent(QResizeEvent* event) {
  QAbstractItemView::resizeEvent(event);
  updateGeometries();
  fitColumn();
}

int TreeList::horizontalOffset() const { return horizontalScrollBar()->value(); }

int TreeList::verticalOffset() const { return firstRow() * rowHeight_; }

QRect TreeList::visualRect(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != model_) return {};
  return {-horizontalOffset(), (index.row() - firstRow()) * rowHeight_, columnWidth_, rowHeight_};
}

QModelIndex TreeList::indexAt(const QPoint& point) const {
  if (point.y() < 0 || point.x() + horizontalOffset() >= columnWidth_) return {};
  const int row = firstRow() + point.y() / rowHeight_;
  return row < rowCount() ? model_->index(row, 0) : QModelIndex();
}

void TreeList::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!index.isValid()) return;
  const int row = index.row(), first = firstRow(), page = rowsOnScreen();
  int top = first;
  switch (hint) {
    case PositionAtTop: top = row; break;
    case PositionAtBottom: top = row - page + 1; break;
    case PositionAtCenter: top = row - page / 2; break;
    case EnsureVisible:
      if (row < first) top = row;
      else if (row >= first + page) top = row - page + 1;
      break;
  }
  verticalScrollBar()->setValue(top);
}

QModelIndex TreeList::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
  const int rows = rowCount();
  if (rows == 0) return {};
  const QModelIndex current = currentIndex();
  if (!current.isValid()) return model_->index(0, 0);
  int row = current.row();
  const int page = rowsOnScreen();
  switch (action) {
    case MoveUp:
    case MovePrevious: --row; break;
    case MoveDown:
    case MoveNext: ++row; break;
    case MovePageUp: row -= page; break;
    case MovePageDown: row += page; break;
    case MoveHome: row = 0; break;
    case MoveEnd: row = rows - 1; break;
    default: return current;
  }
  return model_->index(std::clamp(row, 0, rows - 1), 0);
}

void TreeList::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) {
  const int rows = rowCount();
  if (rows == 0) return;
  const QRect r = rect.normalized();
  const int top = std::clamp(firstRow() + r.top() / rowHeight_, 0, rows - 1);
  const int bottom = std::clamp(firstRow() + r.bottom() / rowHeight_, top, rows - 1);
  selectionModel()->select(QItemSelection(model_->index(top, 0), model_->index(bottom, 0)), flags);
}

QRegion TreeList::visualRegionForSelection(const QItemSelection& selection) const {
  QRegion region;
  const int first = firstRow(), last = first + rowsOnScreen();
  for (const QItemSelectionRange& range : selection) {
    const int top = std::max(range.top(), first), bottom = std::min(range.bottom(), last);
    if (top <= bottom)
      region += QRect(0, (top - first) * rowHeight_, viewport()->width(), (bottom - top + 1) * rowHeight_);
  }
  return region;
}

void TreeList::paintEvent(QPaintEvent* event) {
  if (!model_) return;
  QPainter painter(viewport());
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  const QStyle::State base = option.state;
  const QModelIndex current = currentIndex();
  const int rows = rowCount();
  const QRect dirty = event->rect();
  for (int r = firstRow() + std::max(0, dirty.top()) / rowHeight_; r < rows; ++r) {
    const QModelIndex index = model_->index(r, 0);
    option.rect = visualRect(index);
    if (option.rect.top() > dirty.bottom()) break;
    option.state = base;
    if (selectionModel() && selectionModel()->isSelected(index)) option.state |= QStyle::State_Selected;
    if (index == current && hasFocus()) option.state |= QStyle::State_HasFocus;
    itemDelegate()->paint(&painter, option, index);
  }
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
  QAbstractItemView::mousePressEvent(event);
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
      default: break;
    }
  }
  QAbstractItemView::keyPressEvent(event);
}
