#include "TreeModel.h"

#include <algorithm>

#include "StoreText.h"

TreeModel::TreeModel(QObject* parent) : QAbstractListModel(parent) { tree_.finish(); }

void TreeModel::setTree(tree::Tree tree) {
  beginResetModel();
  tree_ = std::move(tree);
  expanded_.assign(size_t(tree_.size()), true);
  std::vector<Gap>().swap(gaps_);
  std::vector<int32_t>().swap(hiddenEnd_);
  endResetModel();
}

void TreeModel::recount(size_t from) {
  hiddenEnd_.resize(gaps_.size());
  for (size_t k = from; k < gaps_.size(); ++k)
    hiddenEnd_[k] = hiddenBefore(k) + gaps_[k].to - gaps_[k].from;
}

size_t TreeModel::firstGapFrom(int32_t node) const {
  return size_t(std::lower_bound(gaps_.begin(), gaps_.end(), node,
                                 [](const Gap& g, int32_t n) { return g.from < n; }) -
                gaps_.begin());
}

int32_t TreeModel::nodeOf(const QModelIndex& index) const {
  const int row = index.row();
  if (!index.isValid() || row >= rowCount()) return -1;
  // The gaps before the row: those whose first row after them is at or above it.
  size_t lo = 0, hi = gaps_.size();
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (gaps_[mid].from - hiddenBefore(mid) <= row) lo = mid + 1;
    else hi = mid;
  }
  return row + hiddenBefore(lo);
}

int32_t TreeModel::rowOf(int32_t node) const {
  if (node < 0 || node >= tree_.size()) return -1;
  const size_t k = firstGapFrom(node + 1);  // the gaps that start at node or before
  if (k > 0 && node < gaps_[k - 1].to) return -1;
  return node - hiddenBefore(k);
}

QModelIndex TreeModel::indexOf(int32_t node) const {
  const int32_t row = rowOf(node);
  return row < 0 ? QModelIndex() : index(row);
}

void TreeModel::setExpanded(int32_t node, bool expanded) {
  if (node < 0 || node >= tree_.size() || expanded_[size_t(node)] == expanded) return;
  const int32_t row = rowOf(node);
  expanded_[size_t(node)] = expanded;
  if (row < 0 || !tree_.hasChildren(node)) return;
  const int32_t from = node + 1, to = tree_.end(node);
  const size_t first = firstGapFrom(from), last = firstGapFrom(to);
  if (!expanded) {
    // The gaps inside go into the new one.
    const int32_t rows = to - from - (hiddenBefore(last) - hiddenBefore(first));
    beginRemoveRows({}, row + 1, row + rows);
    gaps_.erase(gaps_.begin() + std::ptrdiff_t(first), gaps_.begin() + std::ptrdiff_t(last));
    gaps_.insert(gaps_.begin() + std::ptrdiff_t(first), Gap{from, to});
    recount(first);
    endRemoveRows();
  } else {
    // The node's gap gives way to those of the collapsed nodes it now shows.
    std::vector<Gap> under;
    int32_t rows = 0;
    for (int32_t i = from; i < to; ++rows) {
      const int32_t end = tree_.end(i);
      if (!expanded_[size_t(i)] && end > i + 1) {
        under.push_back({i + 1, end});
        i = end;
      } else {
        ++i;
      }
    }
    beginInsertRows({}, row + 1, row + rows);
    gaps_.erase(gaps_.begin() + std::ptrdiff_t(first));
    gaps_.insert(gaps_.begin() + std::ptrdiff_t(first), under.begin(), under.end());
    recount(first);
    endInsertRows();
  }
  emit dataChanged(index(row), index(row), {ExpandedRole});
}

void TreeModel::expandAll() {
  beginResetModel();
  expanded_.assign(size_t(tree_.size()), true);
  std::vector<Gap>().swap(gaps_);
  std::vector<int32_t>().swap(hiddenEnd_);
  endResetModel();
}

void TreeModel::collapseAll() {
  beginResetModel();
  expanded_.assign(size_t(tree_.size()), false);
  gaps_.clear();
  for (int32_t i = 0; i < tree_.size(); i = tree_.end(i))
    if (tree_.hasChildren(i)) gaps_.push_back({i + 1, tree_.end(i)});
  gaps_.shrink_to_fit();
  recount(0);
  endResetModel();
}

int TreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return tree_.size() - (gaps_.empty() ? 0 : hiddenEnd_.back());
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
