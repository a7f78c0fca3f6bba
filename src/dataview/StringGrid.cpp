#include "StringGrid.h"

#include <QStyledItemDelegate>

namespace {

class Delegate : public QStyledItemDelegate {
 public:
  Delegate(StringGrid* grid, std::function<void(QWidget*)> opened)
      : QStyledItemDelegate(grid), opened_(std::move(opened)) {}
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QWidget* e = QStyledItemDelegate::createEditor(parent, option, index);
    opened_(e);
    return e;
  }

 private:
  std::function<void(QWidget*)> opened_;
};

}  // namespace

StringGrid::StringGrid(QWidget* parent) : QTableView(parent) {
  setItemDelegate(new Delegate(this, [this](QWidget* e) {
    editor_ = e;
    emit editorOpened(e);
  }));
}

void StringGrid::commitEdit() {
  if (state() != EditingState || !editor_) return;
  QWidget* e = editor_;
  commitData(e);
  closeEditor(e, QAbstractItemDelegate::NoHint);
}
