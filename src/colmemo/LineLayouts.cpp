#include "LineLayouts.h"

#include <algorithm>
#include <array>
#include <vector>

#include <QFontMetricsF>
#include <QTextOption>
#include <QtMath>

namespace {

// A screen uses a few dozen; a segment of a long line holds a few hundred KiB of glyphs.
constexpr size_t kMaxEntries = 400;

// What a byte looks like on screen: its Windows-1252 character, except that control characters
// (which fonts draw as nothing, so a NUL could be neither seen nor aimed at) show as the
// replacement character, which every font falls back to. One character a byte, so offsets
// stay indices.
const std::array<char16_t, 256>& displayTable() {
  static const std::array<char16_t, 256> table = [] {
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[size_t(b)] = char16_t(b);
    for (int b = 0; b < 0x20; ++b)
      if (b != '\t') t[size_t(b)] = 0xFFFD;
    t[0x7F] = 0xFFFD;
    for (int b = 0; b < 32; ++b) t[size_t(0x80 + b)] = kHigh[b];
    return t;
  }();
  return table;
}

QString displayText(const std::string& bytes) {
  const auto& table = displayTable();
  QString s(qsizetype(bytes.size()), Qt::Uninitialized);
  QChar* d = s.data();
  for (size_t i = 0; i < bytes.size(); ++i)
    d[i] = QChar(table[static_cast<unsigned char>(bytes[i])]);
  return s;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

LineLayouts::LineLayouts(const TextStore* store) : store_(store) { setFont(QFont()); }

void LineLayouts::setFont(const QFont& font) {
  font_ = font;
  rowHeight_ = std::max(1, qCeil(QFontMetricsF(font_).height()));
  clear();
}

void LineLayouts::setWrapWidth(qreal width) {
  width = std::max<qreal>(0, width);
  if (width == wrapWidth_) return;
  wrapWidth_ = width;
  clear();
}

void LineLayouts::setPreedit(int64_t pos, const QString& text) {
  if (text.isEmpty()) pos = -1;
  if (pos == preeditPos_ && text == preedit_) return;
  // Only the segments that held or will hold the preedit change.
  std::erase_if(cache_, [](const auto& item) { return item.second.preeditAt >= 0; });
  preeditPos_ = pos;
  preedit_ = text;
  if (pos < 0) return;
  const int64_t line = store_->lineOf(pos);
  cache_.erase({line, segmentOf(line, pos - store_->lineStart(line))});
}

int64_t LineLayouts::segmentCount(int64_t line) const {
  const int64_t length = store_->lineLength(line);
  return std::max<int64_t>(1, (length + kSegment - 1) / kSegment);
}

int64_t LineLayouts::boundary(int64_t line, int64_t k, int64_t length) const {
  if (k <= 0) return 0;
  const int64_t nominal = k * kSegment;
  if (nominal >= length) return length;
  const std::string window =
      store_->text(store_->lineStart(line) + nominal - kBlankWindow, kBlankWindow);
  for (size_t i = window.size(); i-- > 0;)
    if (isBlank(window[i])) return nominal - kBlankWindow + int64_t(i) + 1;
  return nominal;
}

std::pair<int64_t, int64_t> LineLayouts::segmentBounds(int64_t line, int64_t seg) const {
  const int64_t length = store_->lineLength(line);
  return {boundary(line, seg, length), boundary(line, seg + 1, length)};
}

int64_t LineLayouts::segmentOf(int64_t line, int64_t offset) const {
  const int64_t length = store_->lineLength(line);
  const int64_t count = std::max<int64_t>(1, (length + kSegment - 1) / kSegment);
  offset = std::clamp<int64_t>(offset, 0, length);
  // Boundaries only move back from their nominal place, and by less than a segment.
  const int64_t k = std::min(offset / kSegment, count - 1);
  if (k + 1 < count && offset >= boundary(line, k + 1, length)) return k + 1;
  return k;
}

LineLayouts::Entry& LineLayouts::entry(int64_t line, int64_t seg) {
  auto [it, added] = cache_.try_emplace({line, seg});
  Entry& e = it->second;
  e.used = frame_;
  if (!added) return e;
  const auto [start, end] = segmentBounds(line, seg);
  e.start = start;
  e.end = end;
  e.layout.setText(displayText(store_->text(store_->lineStart(line) + start, end - start)));
  e.layout.setFont(font_);
  e.layout.setCacheEnabled(true);
  QTextOption option;
  option.setWrapMode(wrapWidth_ > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                    : QTextOption::NoWrap);
  option.setTextDirection(Qt::LeftToRight);
  e.layout.setTextOption(option);
  if (preeditPos_ >= 0 && store_->lineOf(preeditPos_) == line) {
    const int64_t offset = preeditPos_ - store_->lineStart(line);
    if (segmentOf(line, offset) == seg) {
      e.preeditAt = int(offset - start);
      e.preeditLength = int(preedit_.size());
      e.layout.setPreeditArea(e.preeditAt, preedit_);
    }
  }
  layOut(e);
  return e;
}

void LineLayouts::layOut(Entry& e) {
  e.layout.beginLayout();
  qreal width = 0;
  for (int i = 0;; ++i) {
    QTextLine row = e.layout.createLine();
    if (!row.isValid()) break;
    // Unwrapped rows ignore the width; it only has to be a valid one.
    row.setLineWidth(wrapWidth_ > 0 ? wrapWidth_ : 1e6);
    row.setPosition(QPointF(0, qreal(i) * rowHeight_));
    width = std::max(width, row.naturalTextWidth());
  }
  e.layout.endLayout();
  e.width = width;
  widest_ = std::max(widest_, width);
}

void LineLayouts::setFormats(Entry& e, const QList<QTextLayout::FormatRange>& formats) {
  if (formats == e.formats) return;
  e.formats = formats;
  e.layout.setFormats(formats);
  layOut(e);
}

LineLayouts::Row LineLayouts::last() {
  Row r;
  r.line = store_->lineCount() - 1;
  r.seg = segmentCount(r.line) - 1;
  r.row = rowCount(r.line, r.seg) - 1;
  return r;
}

LineLayouts::Row LineLayouts::rowOf(int64_t pos) {
  pos = std::clamp<int64_t>(pos, 0, store_->size());
  Row r;
  r.line = store_->lineOf(pos);
  const int64_t offset = std::min(pos - store_->lineStart(r.line), store_->lineLength(r.line));
  r.seg = segmentOf(r.line, offset);
  const Entry& e = entry(r.line, r.seg);
  const QTextLine row = e.layout.lineForTextPosition(layoutIndex(e, offset));
  r.row = row.isValid() ? row.lineNumber() : 0;
  return r;
}

int64_t LineLayouts::rowStart(const Row& r) {
  const Entry& e = entry(r.line, r.seg);
  const QTextLine row = e.layout.lineAt(r.row);
  return store_->lineStart(r.line) + offsetOf(e, row.isValid() ? row.textStart() : 0);
}

int64_t LineLayouts::rowEnd(const Row& r) {
  const Entry& e = entry(r.line, r.seg);
  const QTextLine row = e.layout.lineAt(r.row);
  if (!row.isValid()) return store_->lineStart(r.line) + e.end;
  const int endIndex = row.textStart() + row.textLength();
  int64_t end = offsetOf(e, endIndex);
  const bool wraps = r.row + 1 < e.layout.lineCount() || e.end < store_->lineLength(r.line);
  // On a row that wraps after a blank, the caret stays on the row before the blank.
  if (wraps && end > e.start && isBlank(store_->at(store_->lineStart(r.line) + end - 1))) --end;
  return store_->lineStart(r.line) + end;
}

bool LineLayouts::next(Row& r) {
  if (r.row + 1 < rowCount(r.line, r.seg)) {
    ++r.row;
  } else if (r.seg + 1 < segmentCount(r.line)) {
    r = Row{r.line, r.seg + 1, 0};
  } else if (r.line + 1 < store_->lineCount()) {
    r = Row{r.line + 1, 0, 0};
  } else {
    return false;
  }
  return true;
}

bool LineLayouts::prev(Row& r) {
  if (r.row > 0) {
    --r.row;
  } else if (r.seg > 0) {
    r.seg -= 1;
    r.row = rowCount(r.line, r.seg) - 1;
  } else if (r.line > 0) {
    r.line -= 1;
    r.seg = segmentCount(r.line) - 1;
    r.row = rowCount(r.line, r.seg) - 1;
  } else {
    return false;
  }
  return true;
}

LineLayouts::Row LineLayouts::advance(Row r, int64_t n, int64_t* taken) {
  int64_t steps = 0;
  for (; n > 0 && next(r); --n) ++steps;
  for (; n < 0 && prev(r); ++n) ++steps;
  if (taken) *taken = steps;
  return r;
}

LineLayouts::Row LineLayouts::clamp(Row r) {
  r.line = std::clamp<int64_t>(r.line, 0, store_->lineCount() - 1);
  r.seg = std::clamp<int64_t>(r.seg, 0, segmentCount(r.line) - 1);
  r.row = std::clamp(r.row, 0, rowCount(r.line, r.seg) - 1);
  return r;
}

int LineLayouts::layoutIndex(const Entry& e, int64_t offset) const {
  int index = int(std::clamp<int64_t>(offset, e.start, e.end) - e.start);
  if (e.preeditAt >= 0 && index > e.preeditAt) index += e.preeditLength;
  return index;
}

int64_t LineLayouts::offsetOf(const Entry& e, int index) const {
  if (e.preeditAt >= 0 && index > e.preeditAt)
    index = std::max(e.preeditAt, index - e.preeditLength);
  return e.start + std::clamp<int64_t>(index, 0, e.end - e.start);
}

void LineLayouts::replaced(int64_t firstLine, int64_t lastOldLine, int64_t lastNewLine) {
  auto from = cache_.lower_bound({firstLine, 0});
  auto to = cache_.lower_bound({lastOldLine + 1, 0});
  cache_.erase(from, to);
  const int64_t shift = lastNewLine - lastOldLine;
  if (shift == 0) return;
  std::vector<decltype(cache_)::node_type> moved;
  while (to != cache_.end()) moved.push_back(cache_.extract(to++));
  for (auto& node : moved) {
    node.key().first += shift;
    cache_.insert(std::move(node));
  }
}

void LineLayouts::clear() { cache_.clear(); }

void LineLayouts::newFrame() {
  ++frame_;
  if (cache_.size() <= kMaxEntries) return;
  std::vector<uint64_t> uses;
  uses.reserve(cache_.size());
  for (const auto& [key, e] : cache_) uses.push_back(e.used);
  auto middle = uses.begin() + ptrdiff_t(uses.size() / 2);
  std::nth_element(uses.begin(), middle, uses.end());
  const uint64_t cut = *middle;
  std::erase_if(cache_, [cut](const auto& item) { return item.second.used < cut; });
}
