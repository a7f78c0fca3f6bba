#include "TreeModel.h"

#include <algorithm>

#include "StoreText.h"

TreeModel::TreeModel(QObject* parent) : QAbstractListModel(parent) { tree_.finish(); }

void TreeModel::setTree(tree::Tree tree) {
  beginResetModel();
  tree_ = std::move(tree);
  expanded_.assign(size_t(tree_.size()), true);
  allVisible_ = true;
  std::vector<int32_t>().swap(visible_);
  endResetModel();
}

int32_t TreeModel::nodeOf(const QModelIndex& index) const {
  if (!index.isValid() || index.row() >= rowCount()) return -1;
  return allVisible_ ? index.row() : visible_[size_t(index.row())];
}

int32_t TreeModel::rowOf(int32_t node) const {
  if (node < 0 || node >= tree_.size()) return -1;
  if (allVisible_) return node;
  const auto it = std::lower_bound(visible_.begin(), visible_.end(), node);
  return it != visible_.end() && *it == node ? int32_t(it - visible_.begin()) : -1;
}

QModelIndex TreeModel::indexOf(int32_t node) const {
  const int32_t row = rowOf(node);
  return row < 0 ? QModelIndex() : index(row);
}

void TreeModel::appendVisibleUnder(int32_t node, std::vector<int32_t>& out) const {
  for (int32_t i = node + 1, end = tree_.end(node); i < end;) {
    out.push_back(i);
    i = expanded_[size_t(i)] ? i + 1 : tree_.end(i);
  }
}

void TreeModel::setExpanded(int32_t node, bool expanded) {
  if (node < 0 || node >= tree_.size() || expanded_[size_t(node)] == expanded) return;
  const int32_t row = rowOf(node);
  if (row < 0 || !tree_.hasChildren(node)) {
    expanded_[size_t(node)] = expanded;
    return;
  }
  if (allVisible_) {
    // The first collapse leaves the identity: the visible rows become a list.
    visible_.resize(size_t(tree_.size()));
    for (int32_t i = 0; i < tree_.size(); ++i) visible_[size_t(i)] = i;
    allVisible_ = false;
  }
  if (expanded) {
    expanded_[size_t(node)] = true;
    std::vector<int32_t> under;
    appendVisibleUnder(node, under);
    if (under.empty()) return;
    beginInsertRows({}, row + 1, row + int(under.size()));
    visible_.insert(visible_.begin() + row + 1, under.begin(), under.end());
    endInsertRows();
  } else {
    const auto first = visible_.begin() + row + 1;
    const auto last = std::lower_bound(first, visible_.end(), tree_.end(node));
    expanded_[size_t(node)] = false;
    if (first == last) return;
    beginRemoveRows({}, row + 1, row + int(last - first));
    visible_.erase(first, last);
    endRemoveRows();
  }
  emit dataChanged(index(row), index(row), {ExpandedRole});
}

void TreeModel::expandAll() {
  beginResetModel();
  expanded_.assign(size_t(tree_.size()), true);
  allVisible_ = true;
  std::vector<int32_t>().swap(visible_);
  endResetModel();
}

void TreeModel::collapseAll() {
  beginResetModel();
  expanded_.assign(size_t(tree_.size()), false);
  allVisible_ = false;
  visible_.clear();
  for (int32_t i = 0; i < tree_.size(); i = tree_.end(i)) visible_.push_back(i);
  visible_.shrink_to_fit();
  endResetModel();
}

int TreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return allVisible_ ? tree_.size() : int(visible_.size());
}

QVariant TreeModel::data(const QModelIndex& index, int role) const {
  const int32_t node = nodeOf(index);
  if (node < 0) return {};
  switch (role) {
    case Qt::DisplayRole: {
      const std::string& label = tree_.label(node);
      return storetext::decode(label);
    }
    case DepthRole: return tree_.depth(node);
    case HasChildrenRole: return tree_.hasChildren(node);
    case ExpandedRole: return bool(expanded_[size_t(node)]);
    default: return {};
  }
}
