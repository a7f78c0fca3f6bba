#include "TagIndex.h"

#include <algorithm>

#include <QStringList>

#include "StoreText.h"

namespace markup {

namespace {

// The status bar shows the innermost elements of a very deep path.
constexpr size_t kShownSteps = 32;

bool opensElement(const Token& t) { return t.kind == Kind::Start || t.kind == Kind::Empty; }

// The length of the text that a and b share at their start, and at their end (within limit);
// chunks that the two versions still share are stepped over without reading them.
int64_t commonPrefix(const TextStore& a, const TextStore& b) {
  const int64_t n = std::min(a.size(), b.size());
  int64_t p = 0;
  while (p < n) {
    int64_t sa = 0, sb = 0;
    const std::string_view x = a.piece(p, &sa).substr(size_t(p - sa));
    const std::string_view y = b.piece(p, &sb).substr(size_t(p - sb));
    const size_t m = std::min({x.size(), y.size(), size_t(n - p)});
    if (x.data() != y.data()) {
      const auto diff = std::mismatch(x.begin(), x.begin() + ptrdiff_t(m), y.begin());
      if (diff.first != x.begin() + ptrdiff_t(m)) return p + (diff.first - x.begin());
    }
    p += int64_t(m);
  }
  return n;
}

int64_t commonSuffix(const TextStore& a, const TextStore& b, int64_t limit) {
  int64_t k = 0;  // bytes matched from the end
  while (k < limit) {
    const int64_t pa = a.size() - 1 - k, pb = b.size() - 1 - k;
    int64_t sa = 0, sb = 0;
    const std::string_view x = a.piece(pa, &sa).substr(0, size_t(pa - sa + 1));
    const std::string_view y = b.piece(pb, &sb).substr(0, size_t(pb - sb + 1));
    const size_t m = std::min({x.size(), y.size(), size_t(limit - k)});
    if (x.data() + x.size() != y.data() + y.size()) {
      for (size_t i = 1; i <= m; ++i)
        if (x[x.size() - i] != y[y.size() - i]) return k + int64_t(i) - 1;
    }
    k += int64_t(m);
  }
  return limit;
}

}  // namespace

TagIndex::TagIndex(TextStore text, int64_t blockBytes)
    : text_(std::move(text)), reader_(text_), blockBytes_(std::max<int64_t>(1, blockBytes)) {}

TagIndex::TagIndex(TextStore text, const TagIndex& earlier)
    : text_(std::move(text)), reader_(text_), blockBytes_(earlier.blockBytes_) {
  const int64_t prefix = commonPrefix(earlier.text_, text_);
  const int64_t suffix = commonSuffix(earlier.text_, text_, std::min(earlier.text_.size(), text_.size()) - prefix);
  const int64_t shift = text_.size() - earlier.text_.size();
  const std::vector<Block>& old = earlier.blocks_;
  // A block is whole once the next has begun; kept when nothing it read has changed.
  size_t kept = 0;
  while (kept + 1 < old.size() && old[kept].reach <= prefix) ++kept;
  blocks_.assign(old.begin(), old.begin() + ptrdiff_t(kept));
  if (kept < old.size()) {
    next_ = old[kept].begin;
    depth_ = old[kept].depth;
  }
  sealed_ = true;
  // Blocks wholly in the unchanged end read nothing before themselves, so the same tokens follow
  // from their beginning in the new text.
  for (size_t j = kept + 1; j < old.size(); ++j) {
    if (old[j].begin < earlier.text_.size() - suffix) continue;
    const bool last = j + 1 == old.size();
    if (last && !earlier.complete()) break;
    Later l{old[j], last ? earlier.text_.size() : old[j + 1].begin, last ? earlier.depth_ : old[j + 1].depth};
    l.block.begin += shift;
    l.block.reach += shift;
    l.end += shift;
    later_.push_back(std::move(l));
  }
}

bool TagIndex::extend(int64_t bytes) {
  Scanner s(reader_);
  const int64_t n = reader_.size();
  int64_t budget = std::max<int64_t>(bytes, 1);
  while (next_ < n && budget > 0) {
    while (nextLater_ < later_.size() && later_[nextLater_].block.begin < next_) ++nextLater_;
    if (nextLater_ < later_.size() && later_[nextLater_].block.begin == next_) {
      // Back in step with the earlier version: its block serves as it is when the change of
      // nesting before it leaves every end tag in it closing what it closed.
      Later& l = later_[nextLater_++];
      const int64_t change = depth_ - l.block.depth;
      if (change == 0 || (change > 0 && l.block.minDepth > 0) || (change < 0 && l.block.minDepth + change >= 0)) {
        l.block.depth += change;
        l.block.minDepth += change;
        blocks_.push_back(std::move(l.block));
        next_ = l.end;
        depth_ = l.endDepth + change;
        sealed_ = true;
        continue;
      }
      sealed_ = true;  // read anew from here
    }
    if (blocks_.empty() || sealed_ || next_ >= blocks_.back().begin + blockBytes_) {
      blocks_.push_back({next_, depth_, depth_, std::make_shared<Names>()});
      sealed_ = false;
    }
    Block& b = blocks_.back();
    const Token t = s.next(next_);
    if (t.kind == Kind::Bad) {
      b.reach = n;  // deciding that it ends nowhere may have read to the end
      const int64_t skipped = reader_.find(next_ + 1, '<');
      budget -= skipped - next_;
      next_ = skipped;
      continue;
    }
    b.reach = std::max(b.reach, t.end);
    if (opensElement(t)) {
      if (depth_ == b.minDepth) ++(*b.shallowStarts)[name(t.nameBegin, t.nameEnd)];
      if (t.kind == Kind::Start) ++depth_;
    } else if (t.kind == Kind::End && depth_ > 0 && --depth_ < b.minDepth) {
      b.minDepth = depth_;
      b.shallowStarts->clear();
    }
    budget -= t.end - next_;
    next_ = t.end;
  }
  return !complete();
}

const TagIndex::Block* TagIndex::block(size_t k) {
  // A block is whole once the next one has begun.
  while (blocks_.size() <= k + 1 && !complete()) extend(blockBytes_);
  return k < blocks_.size() ? &blocks_[k] : nullptr;
}

int64_t TagIndex::blockEnd(size_t k) { return k + 1 < blocks_.size() ? blocks_[k + 1].begin : reader_.size(); }

size_t TagIndex::blockOf(int64_t pos) {
  while (!complete() && next_ <= pos) extend(blockBytes_);
  const auto after = std::upper_bound(blocks_.begin(), blocks_.end(), pos,
                                      [](int64_t p, const Block& b) { return p < b.begin; });
  const size_t k = after == blocks_.begin() ? 0 : size_t(after - blocks_.begin()) - 1;
  block(k);
  return k;
}

void TagIndex::walk(size_t k, const std::function<bool(const Token&, int64_t)>& f) {
  const Block* b = block(k);
  if (!b) return;
  const int64_t end = blockEnd(k);
  int64_t depth = b->depth;
  Scanner s(reader_);
  for (int64_t p = b->begin; p < end;) {
    const Token t = s.next(p);
    if (t.kind == Kind::Bad) {
      p = reader_.find(p + 1, '<');
      continue;
    }
    if (!f(t, depth)) return;
    if (t.kind == Kind::Start) ++depth;
    else if (t.kind == Kind::End && depth > 0) --depth;
    p = t.end;
  }
}

std::string TagIndex::name(int64_t from, int64_t to) {
  std::string s;
  s.reserve(size_t(to - from));
  for (int64_t p = from; p < to; ++p) s += reader_.at(p);
  return s;
}

bool TagIndex::nameIs(const Token& t, std::string_view n) {
  if (t.nameEnd - t.nameBegin != int64_t(n.size())) return false;
  for (size_t i = 0; i < n.size(); ++i)
    if (reader_.at(t.nameBegin + int64_t(i)) != n[i]) return false;
  return true;
}

std::vector<TagIndex::Open> TagIndex::openBefore(int64_t pos, bool caret, Open* leaf) {
  size_t k = blockOf(pos);
  // Levels opened before the block are unknown (begin < 0) until an earlier block tells them.
  std::vector<Open> open(size_t(blocks_[k].depth));
  walk(k, [&](const Token& t, int64_t) {
    if (t.begin >= pos) return false;
    const bool inside = caret && pos < t.end;
    if (t.kind == Kind::Start) open.push_back({t.begin, t.nameBegin, t.nameEnd});
    else if (t.kind == Kind::End && !open.empty() && !inside) open.pop_back();
    else if (t.kind == Kind::Empty && inside && leaf) *leaf = {t.begin, t.nameBegin, t.nameEnd};
    return !inside;
  });
  size_t unknown = 0;
  while (unknown < open.size() && open[unknown].begin < 0) ++unknown;
  while (unknown > 0 && k > 0) {
    // The elements of the unknown levels stay open from the last earlier block where the
    // nesting went as shallow as the deepest of them.
    do --k;
    while (k > 0 && blocks_[k].minDepth >= int64_t(unknown));
    std::vector<Open> there(size_t(blocks_[k].depth));
    walk(k, [&](const Token& t, int64_t) {
      if (t.kind == Kind::Start) there.push_back({t.begin, t.nameBegin, t.nameEnd});
      else if (t.kind == Kind::End && !there.empty()) there.pop_back();
      return true;
    });
    size_t u = 0;
    while (u < unknown && u < there.size() && there[u].begin < 0) ++u;
    for (size_t i = u; i < unknown && i < there.size(); ++i) open[i] = there[i];
    if (u >= unknown) break;  // cannot happen with a consistent index; never loop on it
    unknown = u;
  }
  return open;
}

Tag TagIndex::partnerOf(const Tag& tag) {
  if (!tag.found() || tag.begin >= reader_.size()) return {};
  const size_t k = blockOf(tag.begin);
  Token own;
  int64_t ownDepth = -1;
  walk(k, [&](const Token& t, int64_t depth) {
    if (t.begin < tag.begin) return true;
    if (t.begin == tag.begin) own = t, ownDepth = depth;
    return false;
  });
  if (ownDepth < 0 || own.kind != (tag.isEnd ? Kind::End : Kind::Start)) return {};
  const auto sameName = [this](const Token& a, int64_t nameBegin, int64_t nameEnd) {
    const int64_t n = a.nameEnd - a.nameBegin;
    return n == nameEnd - nameBegin && reader_.same(a.nameBegin, nameBegin, n);
  };

  if (own.kind == Kind::End) {
    if (ownDepth == 0) return {};  // closes nothing
    const std::vector<Open> open = openBefore(own.begin, false, nullptr);
    if (open.empty() || open.back().begin < 0 || !sameName(own, open.back().nameBegin, open.back().nameEnd))
      return {};
    const Token start = Scanner(reader_).next(open.back().begin);
    return {start.begin, start.end, false};
  }
  // The first end tag that takes the nesting back to where the start tag stood.
  Token close;
  bool found = false;
  const auto look = [&](const Token& t, int64_t depth) {
    if (t.begin <= own.begin) return true;
    if (t.kind != Kind::End || depth != ownDepth + 1) return true;
    close = t;
    found = true;
    return false;
  };
  walk(k, look);
  for (size_t j = k + 1; !found && block(j); ++j)
    if (blocks_[j].minDepth <= ownDepth) walk(j, look);
  if (!found || !sameName(own, close.nameBegin, close.nameEnd)) return {};
  return {close.begin, close.end, true};
}

std::vector<TagIndex::Step> TagIndex::elementPath(int64_t pos) {
  pos = std::clamp<int64_t>(pos, 0, reader_.size());
  if (pos == 0) return {};
  Open leaf;
  std::vector<Open> chain = openBefore(pos, true, &leaf);
  if (leaf.begin >= 0) chain.push_back(leaf);
  const size_t levels = chain.size();
  std::vector<Step> steps(levels);
  for (size_t i = 0; i < levels; ++i) {
    if (chain[i].begin < 0) return {};  // cannot happen with a consistent index
    steps[i].name = name(chain[i].nameBegin, chain[i].nameEnd);
    steps[i].begin = chain[i].begin;
  }
  if (levels == 0) return steps;

  // Siblings before: those of level i come between the start tags of levels i - 1 and i, at
  // depth i; a block wholly between them counts its shallowest start tags when that is depth i.
  std::vector<int64_t> before(levels, 0);
  size_t level = 0;  // start tags of the chain before the place the walk has reached
  const auto levelOf = [&](int64_t p, size_t& lv) {
    while (lv < levels && chain[lv].begin < p) ++lv;
    return lv;
  };
  const size_t lastBlock = blockOf(chain.back().begin);
  for (size_t j = 0; j <= lastBlock && level < levels; ++j) {
    const Block& b = blocks_[j];
    levelOf(b.begin, level);
    if (level >= levels) break;
    if (chain[level].begin >= blockEnd(j)) {
      if (b.minDepth == int64_t(level)) {
        const auto found = b.shallowStarts->find(steps[level].name);
        if (found != b.shallowStarts->end()) before[level] += found->second;
      }
      continue;
    }
    walk(j, [&](const Token& t, int64_t depth) {
      const size_t lv = levelOf(t.begin, level);
      if (lv >= levels) return false;
      if (chain[lv].begin != t.begin && opensElement(t) && depth == int64_t(lv) && nameIs(t, steps[lv].name))
        ++before[lv];
      return true;
    });
  }

  // Siblings after: levels [0, undecided) may still have one; a level is settled when one comes
  // or when its parent closes, the deepest first.
  size_t undecided = levels;
  std::vector<bool> later(levels, false);
  const auto settle = [&](const Token& t, int64_t depth) {
    if (t.begin < pos) return true;
    if (opensElement(t) && depth < int64_t(undecided) && nameIs(t, steps[size_t(depth)].name)) {
      later[size_t(depth)] = true;
      undecided = size_t(depth);
    } else if (t.kind == Kind::End && depth >= 1 && depth < int64_t(undecided)) {
      undecided = size_t(depth);
    }
    return undecided > 0;
  };
  const size_t first = blockOf(pos);
  walk(first, settle);
  for (size_t j = first + 1; undecided > 0 && block(j); ++j) {
    const Block& b = blocks_[j];
    if (b.minDepth >= int64_t(undecided)) continue;
    if (b.minDepth == int64_t(undecided) - 1) {
      if (b.shallowStarts->count(steps[undecided - 1].name)) {
        later[undecided - 1] = true;
        --undecided;
      }
      continue;
    }
    walk(j, settle);
  }
  for (size_t i = 0; i < levels; ++i) {
    steps[i].position = before[i] + 1;
    steps[i].numbered = before[i] > 0 || later[i];
  }
  return steps;
}

namespace {

QString stepText(const TagIndex::Step& s) {
  QString t = storetext::decode(s.name);
  if (s.numbered) t += QStringLiteral("[%1]").arg(s.position);
  return t;
}

}  // namespace

QString pathText(const std::vector<TagIndex::Step>& steps) {
  QStringList parts;
  const size_t from = steps.size() > kShownSteps ? steps.size() - kShownSteps : 0;
  if (from > 0) parts << QStringLiteral("…");
  for (size_t i = from; i < steps.size(); ++i) parts << stepText(steps[i]);
  return parts.join(QStringLiteral(" › "));
}

QString xpathText(const std::vector<TagIndex::Step>& steps) {
  if (steps.empty()) return QStringLiteral("/");
  QString x;
  for (const TagIndex::Step& s : steps) x += u'/' + stepText(s);
  return x;
}

}  // namespace markup
