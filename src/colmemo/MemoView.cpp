#include "MemoView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include <QAccessible>
#include <QApplication>
#include <QDrag>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QTextCharFormat>

#include "StoreText.h"
#include "MemoAccessible.h"

namespace {

// How much of the caret's line an input method sees around the caret: enough for any word or
// sentence, and a line of megabytes is never copied for it.
constexpr int64_t kSurrounding = 1024;
constexpr int kAutoScrollMs = 50;
// The matching tags' background: light, so that the colours of the tags stay readable on it.
const QColor kMarkBackground(255, 236, 160);

// Clipboard data taken from a snapshot of the store and decoded only when someone asks for it,
// so that selecting the whole of a large text costs nothing until it is pasted.
class SelectionMimeData : public QMimeData {
 public:
  SelectionMimeData(TextStore store, int64_t from, int64_t to)
      : store_(std::move(store)), from_(from), to_(to) {}
  QStringList formats() const override {
    return {QStringLiteral("text/plain"), QStringLiteral("text/plain;charset=utf-8")};
  }
  bool hasFormat(const QString& mime) const override { return formats().contains(mime); }

 protected:
  QVariant retrieveData(const QString& mime, QMetaType type) const override {
    if (!hasFormat(mime)) return {};
    if (text_.isNull()) {
      std::string bytes = store_.text(from_, to_ - from_);
      // The platform's clipboard breaks are '\n'.
      size_t kept = 0;
      for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
          bytes[kept++] = bytes[i];
      bytes.resize(kept);
      text_ = MemoView::decode(bytes);
    }
    if (type.id() == QMetaType::QByteArray) return text_.toUtf8();
    return text_;
  }

 private:
  TextStore store_;
  int64_t from_;
  int64_t to_;
  mutable QString text_;
};

}  // namespace

// One user action or call is one change: textChanged is raised once, at the end, and only when
// the text really changed.
class MemoView::EditGroup {
 public:
  explicit EditGroup(MemoView* view) : view_(view) { ++view_->editDepth_; }
  ~EditGroup() {
    if (--view_->editDepth_ == 0 && std::exchange(view_->changed_, false))
      emit view_->textChanged();
  }
  EditGroup(const EditGroup&) = delete;
  EditGroup& operator=(const EditGroup&) = delete;

 private:
  MemoView* view_;
};

MemoView::MemoView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setMouseTracking(true);
  viewport()->setBackgroundRole(QPalette::Base);
  // The margins around the viewport are part of the text area: paint them like it.
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  // The selection stays visible, in the same colours, when the text loses the focus.
  QPalette pal = palette();
  for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
    pal.setBrush(QPalette::Inactive, role, pal.brush(QPalette::Active, role));
  setPalette(pal);

  layouts_.setFont(font());
  updateWrapWidth();

  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd:
        scrollRows(1);
        break;
      case QAbstractSlider::SliderSingleStepSub:
        scrollRows(-1);
        break;
      case QAbstractSlider::SliderPageStepAdd:
        scrollRows(std::max(1, fullRows() - 1));
        break;
      case QAbstractSlider::SliderPageStepSub:
        scrollRows(-std::max(1, fullRows() - 1));
        break;
      default:
        return;
    }
    // The bar applies its own step after this signal: it ends where the rows took the view.
    verticalScrollBar()->setSliderPosition(verticalScrollBar()->value());
  });
  connect(QGuiApplication::styleHints(), &QStyleHints::cursorFlashTimeChanged, this,
          [this] { restartBlink(); });
  MemoAccessible::install();
}

MemoView::~MemoView() = default;


void MemoView::setInsets(int left, int top, int right, int bottom) {
  const QMargins margins(left, top, right, bottom);
  if (margins != viewportMargins()) setViewportMargins(margins);
}

// ---- Changes of the text ----

void MemoView::setStore(const TextStore& store) {
  if (store == store_) return;
  EditGroup group(this);
  const int64_t oldAnchor = anchor_;
  const int64_t oldCaret = caret_;
  const int64_t topPos = layouts_.rowStart(top_);
  const bool accessible = MemoAccessible::listening();
  if (accessible && store_.size() > 0) {
    QAccessibleTextRemoveEvent removed(this, 0, decode(store_.text()));
    MemoAccessible::notify(&removed);
  }
  doc_.setStore(store);
  layouts_.clear();
  layouts_.resetWidest();
  if (!preedit_.isEmpty()) layouts_.setPreedit(validPosition(caret_), preedit_);
  caret_ = validPosition(caret_);
  anchor_ = validPosition(anchor_);
  changed_ = true;
  maxTopValid_ = false;
  top_ = layouts_.rowOf(topPos);
  setTop(top_);
  viewport()->update();
  if (accessible && store_.size() > 0) {
    QAccessibleTextInsertEvent inserted(this, 0, decode(store_.text()));
    MemoAccessible::notify(&inserted);
  }
  afterSelectionChange(oldAnchor, oldCaret);
}

void MemoView::replace(int64_t from, int64_t length, std::string_view crlfBytes) {
  from = std::clamp<int64_t>(from, 0, store_.size());
  length = std::clamp<int64_t>(length, 0, store_.size() - from);
  if (length == int64_t(crlfBytes.size()) && store_.text(from, length) == crlfBytes) return;
  EditGroup group(this);
  const int64_t oldAnchor = anchor_;
  const int64_t oldCaret = caret_;
  const int64_t firstLine = store_.lineOf(from);
  const int64_t lastOldLine = store_.lineOf(from + length);
  // An edit inside one line that keeps its rows repaints that line alone; one that moves rows
  // repaints from there down, and one that adds or removes lines everything.
  updateCaret();
  const bool inLine = firstLine == lastOldLine && crlfBytes.find('\n') == std::string_view::npos;
  const int64_t rowsBefore = inLine ? lineRows(firstLine) : -1;
  const bool accessible = MemoAccessible::listening();
  if (accessible && length > 0) {
    QAccessibleTextRemoveEvent removed(this, int(std::min<int64_t>(from, INT_MAX)),
                                       decode(store_.text(from, length)));
    MemoAccessible::notify(&removed);
  }
  doc_.replace(from, length, crlfBytes);
  const int64_t added = int64_t(crlfBytes.size());
  emit edited(from, length, added);
  const int64_t lastNewLine = store_.lineOf(from + added);
  layouts_.replaced(firstLine, lastOldLine, lastNewLine);

  const auto follow = [&](int64_t p) {
    if (p <= from) return p;
    if (p >= from + length) return p - length + added;
    return from;
  };
  caret_ = follow(caret_);
  anchor_ = follow(anchor_);
  if (!preedit_.isEmpty()) layouts_.setPreedit(caret_, preedit_);

  // The rows above the change stay where they are on screen.
  if (top_.line > lastOldLine)
    top_.line += lastNewLine - lastOldLine;
  else if (top_.line > lastNewLine)
    top_.line = lastNewLine;
  changed_ = true;
  maxTopValid_ = false;
  const int64_t lineTop = rowsFromTop(LineLayouts::Row{firstLine, 0, 0});
  const int h = layouts_.rowHeight();
  if (!inLine) {
    viewport()->update();
  } else if (lineTop <= fullRows() + 1) {
    const int64_t rows = lineRows(firstLine);
    const int64_t bottom =
        rows == rowsBefore && rows > 0 ? (lineTop + rows) * h : viewport()->height();
    const int64_t top = std::max<int64_t>(0, lineTop * h);
    if (bottom > top)
      viewport()->update(QRect(0, int(top), viewport()->width(),
                               int(std::min<int64_t>(bottom, viewport()->height()) - top)));
  }
  setTop(top_);
  if (accessible && added > 0) {
    QAccessibleTextInsertEvent inserted(this, int(std::min<int64_t>(from, INT_MAX)),
                                        decode(crlfBytes));
    MemoAccessible::notify(&inserted);
  }
  afterSelectionChange(oldAnchor, oldCaret);
}

void MemoView::insertBytes(std::string_view crlfBytes) {
  EditGroup group(this);
  const int64_t from = selectionStart();
  replace(from, selectionEnd() - from, crlfBytes);
  const int64_t end = from + int64_t(crlfBytes.size());
  setSelection(end, end);
}

void MemoView::deleteSelectionOr(int64_t from, int64_t to) {
  if (hasSelection())
    deleteSelection();
  else
    deleteRange(from, to);
}

void MemoView::deleteRange(int64_t from, int64_t to) {
  if (to <= from) return;
  EditGroup group(this);
  replace(from, to - from, {});
  setSelection(from, from);
  ensureCaretVisible();
}

void MemoView::deleteSelection() { deleteRange(selectionStart(), selectionEnd()); }

void MemoView::typeText(const QString& text) {
  EditGroup group(this);
  insertText(text);
  goalX_ = -1;
  ensureCaretVisible();
}

// ---- Caret and selection ----

void MemoView::setSelection(int64_t anchor, int64_t caret) {
  goalX_ = -1;
  const int64_t oldAnchor = anchor_;
  const int64_t oldCaret = caret_;
  caret_ = validPosition(caret, caret > anchor);
  anchor_ = validPosition(anchor, anchor > caret);
  afterSelectionChange(oldAnchor, oldCaret);
}

void MemoView::selectAll() {
  setSelection(0, store_.size());
  updatePrimarySelection();
}

QString MemoView::selectedText() const {
  return decode(store_.text(selectionStart(), selectionEnd() - selectionStart()));
}

void MemoView::afterSelectionChange(int64_t oldAnchor, int64_t oldCaret) {
  if (oldAnchor == anchor_ && oldCaret == caret_) return;
  if (!preedit_.isEmpty()) {
    layouts_.setPreedit(caret_, preedit_);
    viewport()->update();
  }
  // Only the rows whose look changed: the carets' rows and the ends that the selection moved.
  const auto [oldStart, oldEnd] = std::minmax(oldAnchor, oldCaret);
  updateRows(oldCaret, oldCaret);
  updateRows(caret_, caret_);
  if (oldStart != oldEnd || hasSelection()) {
    updateRows(oldStart, selectionStart());
    updateRows(oldEnd, selectionEnd());
  }
  restartBlink();
  if (MemoAccessible::listening()) {
    if (oldCaret != caret_) {
      QAccessibleTextCursorEvent moved(this, int(std::min<int64_t>(caret_, INT_MAX)));
      MemoAccessible::notify(&moved);
    }
    const bool selected = oldAnchor != oldCaret || anchor_ != caret_;
    if (selected && std::minmax(oldAnchor, oldCaret) != std::minmax(anchor_, caret_)) {
      QAccessibleTextSelectionEvent selected(this,
                                             int(std::min<int64_t>(selectionStart(), INT_MAX)),
                                             int(std::min<int64_t>(selectionEnd(), INT_MAX)));
      selected.setCursorPosition(int(std::min<int64_t>(caret_, INT_MAX)));
      MemoAccessible::notify(&selected);
    }
  }
  updateMicroFocus();
  emit selectionChanged();
}

void MemoView::moveCaret(int64_t pos, bool select, bool keepGoal) {
  const qreal goal = goalX_;
  setSelection(select ? anchor_ : pos, pos);
  if (keepGoal) goalX_ = goal;
  ensureCaretVisible();
  if (select) updatePrimarySelection();
}

QMimeData* MemoView::mimeForSelection() const {
  return new SelectionMimeData(store_, selectionStart(), selectionEnd());
}

void MemoView::updatePrimarySelection() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (hasSelection() && clipboard->supportsSelection())
    clipboard->setMimeData(mimeForSelection(), QClipboard::Selection);
}

void MemoView::copy() {
  if (hasSelection()) QGuiApplication::clipboard()->setMimeData(mimeForSelection());
}

void MemoView::cut() {
  if (!hasSelection()) return;
  copy();
  deleteSelection();
}

void MemoView::paste(QClipboard::Mode mode) {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
  if (!data || !data->hasText()) return;
  const QString text = data->text();
  if (text.isEmpty()) return;
  typeText(text);
}

// ---- Scrolling ----

int MemoView::fullRows() const { return std::max(1, viewport()->height() / layouts_.rowHeight()); }

LineLayouts::Row MemoView::maxTop() {
  if (!maxTopValid_) {
    maxTop_ = layouts_.advance(layouts_.last(), -(fullRows() - 1));
    maxTopValid_ = true;
  }
  return maxTop_;
}

void MemoView::setTop(LineLayouts::Row top) {
  top = std::min(layouts_.clamp(top), maxTop());
  if (top != top_) viewport()->update();
  top_ = top;
  updateScrollBars();
}

void MemoView::scrollRows(int64_t n) {
  if (n == 0) return;
  setTop(layouts_.advance(top_, n));
}

int64_t MemoView::firstVisiblePosition() { return layouts_.rowStart(top_); }

void MemoView::updateScrollBars() {
  syncingBars_ = true;
  // The vertical bar counts positions, scaled down to fit an int for texts over 2 GB.
  const int64_t scale = store_.size() / INT_MAX + 1;
  QScrollBar* bar = verticalScrollBar();
  const int64_t topPos = layouts_.rowStart(top_);
  const int64_t lastTop = layouts_.rowStart(maxTop());
  bar->setRange(0, int(lastTop / scale));
  const int64_t screenEnd = layouts_.rowStart(layouts_.advance(top_, fullRows()));
  bar->setPageStep(int(std::max<int64_t>(1, (screenEnd - topPos) / scale)));
  if (!bar->isSliderDown()) bar->setValue(int(topPos / scale));

  QScrollBar* hbar = horizontalScrollBar();
  if (wordWrap_) {
    hbar->setRange(0, 0);
  } else {
    const int caretWidth = style()->pixelMetric(QStyle::PM_TextCursorWidth);
    widestInBar_ = layouts_.widest();
    const int widest = int(std::ceil(widestInBar_)) + caretWidth;
    hbar->setRange(0, std::max({0, widest - viewport()->width(), xOffset_}));
    hbar->setPageStep(std::max(1, viewport()->width()));
    hbar->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
    hbar->setValue(xOffset_);
  }
  syncingBars_ = false;
}

void MemoView::scrollContentsBy(int dx, int dy) {
  if (syncingBars_) return;
  if (dx != 0) {
    xOffset_ = horizontalScrollBar()->value();
    viewport()->update();
  }
  if (dy != 0) {
    const int64_t scale = store_.size() / INT_MAX + 1;
    const int value = verticalScrollBar()->value();
    if (value == int(layouts_.rowStart(top_) / scale)) return;
    // A drag of the bar lands on the row holding that position: one screen laid out, at most.
    top_ = std::min(layouts_.rowOf(int64_t(value) * scale), maxTop());
    updateScrollBars();
    viewport()->update();
  }
}

void MemoView::ensureVisible(int64_t pos) {
  pos = validPosition(pos);
  if (!isVisible() && pos == caret_) ensurePending_ = true;
  const LineLayouts::Row caretRow = layouts_.rowOf(pos);
  if (caretRow < top_) {
    setTop(caretRow);
  } else {
    LineLayouts::Row r = top_;
    bool shown = false;
    for (int i = 0; i < fullRows(); ++i) {
      if (r == caretRow) {
        shown = true;
        break;
      }
      if (!layouts_.next(r)) break;
    }
    if (!shown) setTop(layouts_.advance(caretRow, -(fullRows() - 1)));
  }
  if (!wordWrap_) {
    const QRectF caret = caretRectIn(pos, pos == caret_);
    const int width = viewport()->width();
    const int x = int(caret.left()) + xOffset_;
    if (x < xOffset_)
      xOffset_ = std::max(0, x - width / 4);
    else if (x + int(caret.width()) > xOffset_ + width)
      xOffset_ = x + int(caret.width()) - width + width / 4;
    updateScrollBars();
    viewport()->update();
  }
}

void MemoView::updateWrapWidth() {
  const int caretWidth = style()->pixelMetric(QStyle::PM_TextCursorWidth);
  const qreal width = wordWrap_ ? std::max(1, viewport()->width() - caretWidth) : 0;
  if (width == layouts_.wrapWidth()) return;
  // The first position shown stays the first shown.
  const int64_t topPos = layouts_.rowStart(top_);
  layouts_.setWrapWidth(width);
  top_ = layouts_.rowOf(topPos);
  maxTopValid_ = false;
  viewport()->update();
}

void MemoView::setWordWrap(bool wrap) {
  if (wrap == wordWrap_) return;
  wordWrap_ = wrap;
  xOffset_ = 0;
  layouts_.resetWidest();
  updateWrapWidth();
  setTop(top_);
  viewport()->update();
}

void MemoView::setColourProvider(ColourProvider provider) {
  provider_ = std::move(provider);
  viewport()->update();
}

void MemoView::setMarks(std::vector<std::pair<int64_t, int64_t>> marks) {
  if (marks == marks_) return;
  marks_ = std::move(marks);
  viewport()->update();
}

// ---- Geometry ----

int64_t MemoView::rowsFromTop(const LineLayouts::Row& row) {
  // Rows off screen are not walked to: they are somewhere above or below.
  const int64_t limit = fullRows() + 2;
  int64_t n = 0;
  if (row < top_) {
    LineLayouts::Row r = row;
    for (; r != top_ && n < limit; ++n) layouts_.next(r);
    return -n;
  }
  LineLayouts::Row r = top_;
  for (; r != row && n < limit; ++n) layouts_.next(r);
  return n;
}

int64_t MemoView::lineRows(int64_t line) {
  // Long lines are counted as changing: their rows are not all laid out.
  return layouts_.segmentCount(line) == 1 ? layouts_.rowCount(line, 0) : -1;
}

void MemoView::updateRows(int64_t from, int64_t to) {
  if (from > to) std::swap(from, to);
  const int h = layouts_.rowHeight();
  const int64_t first = rowsFromTop(layouts_.rowOf(from));
  const int64_t last = from == to ? first : rowsFromTop(layouts_.rowOf(to));
  const int64_t height = viewport()->height();
  const int64_t top = std::clamp<int64_t>(first * h, 0, height);
  const int64_t bottom = std::clamp<int64_t>((last + 1) * h, 0, height);
  if (bottom > top) viewport()->update(QRect(0, int(top), viewport()->width(), int(bottom - top)));
}

void MemoView::updateCaret() {
  viewport()->update(caretRectIn(caret_, true).toAlignedRect().adjusted(-1, 0, 1, 0));
}

QRectF MemoView::caretRectIn(int64_t pos, bool preeditCaret) {
  const int h = layouts_.rowHeight();
  const LineLayouts::Row row = layouts_.rowOf(pos);
  const int64_t y = rowsFromTop(row);
  const LineLayouts::Entry& e = layouts_.entry(row.line, row.seg);
  const int64_t offset = std::min(pos - store_.lineStart(row.line), store_.lineLength(row.line));
  int index = layouts_.layoutIndex(e, offset);
  if (preeditCaret && !preedit_.isEmpty() && pos == caret_ && e.preeditAt >= 0)
    index = e.preeditAt + preeditCursor_;
  const QTextLine line = e.layout.lineAt(row.row);
  const qreal x = line.isValid() ? line.cursorToX(index) : 0;
  const int caretWidth = std::max(1, style()->pixelMetric(QStyle::PM_TextCursorWidth));
  return QRectF(x - xOffset_, qreal(y) * h, caretWidth, h);
}

QRectF MemoView::positionRect(int64_t pos) { return caretRectIn(validPosition(pos), false); }

int64_t MemoView::positionAt(const QPointF& point) {
  const int h = layouts_.rowHeight();
  const int64_t rows = int64_t(std::floor(point.y() / h));
  const LineLayouts::Row r = layouts_.advance(top_, rows);
  const LineLayouts::Entry& e = layouts_.entry(r.line, r.seg);
  const QTextLine line = e.layout.lineAt(r.row);
  const int index = line.xToCursor(point.x() + xOffset_, QTextLine::CursorBetweenCharacters);
  const int64_t pos = store_.lineStart(r.line) + layouts_.offsetOf(e, index);
  // Right of a row that wraps, the caret stays on that row.
  return std::clamp(pos, layouts_.rowStart(r), layouts_.rowEnd(r));
}

int64_t MemoView::characterAt(const QPointF& point) {
  const int h = layouts_.rowHeight();
  if (point.y() < 0 || point.y() >= viewport()->height()) return -1;
  const LineLayouts::Row r = layouts_.advance(top_, int64_t(std::floor(point.y() / h)));
  const LineLayouts::Entry& e = layouts_.entry(r.line, r.seg);
  const QTextLine line = e.layout.lineAt(r.row);
  const int index = line.xToCursor(point.x() + xOffset_, QTextLine::CursorOnCharacter);
  const int64_t pos = store_.lineStart(r.line) + layouts_.offsetOf(e, index);
  return std::clamp(pos, layouts_.rowStart(r), layouts_.rowEnd(r));
}

MemoView::ColourRegion MemoView::colourRegion(int64_t linesAbove, bool caretLineOnly) {
  ColourRegion region;
  LineLayouts::Row first = layouts_.clamp(top_);
  int64_t y = 0;
  if (caretLineOnly) {
    const int64_t line = store_.lineOf(caret_);
    first = LineLayouts::Row{line, layouts_.segmentOf(line, caret_ - store_.lineStart(line)), 0};
    y = rowsFromTop(first);
  }
  const int64_t f = first.line;
  region.firstLine = f;
  region.from = linesAbove > 0 && f > 0
                    ? store_.lineStart(std::max<int64_t>(0, f - linesAbove))
                    : store_.lineStart(f) + layouts_.segmentBounds(f, first.seg).first;
  const int64_t h = layouts_.rowHeight();
  const int64_t height = viewport()->height();
  for (LineLayouts::Row r = first;; ++y) {
    if (y < 0 || (y + 1) * h >= height) {
      region.to = std::max(region.from, layouts_.rowStart(r));
      return region;
    }
    const LineLayouts::Row here = r;
    if (!layouts_.next(r) || (caretLineOnly && r.line != here.line)) break;
  }
  region.to = caretLineOnly ? store_.lineStart(f) + store_.lineLength(f) : store_.size();
  return region;
}

// ---- Painting ----

bool MemoView::oneRow(const LineLayouts::Entry& e, int64_t lineStart, const ColourRun& run) const {
  if (run.start < lineStart + e.start || run.end > lineStart + e.end || run.end <= run.start)
    return false;
  const int a = layouts_.layoutIndex(e, run.start - lineStart);
  const int b = layouts_.layoutIndex(e, run.end - 1 - lineStart);
  return e.layout.lineForTextPosition(a).lineNumber() == e.layout.lineForTextPosition(b).lineNumber();
}

QList<QTextLayout::FormatRange> MemoView::formatsFor(const LineLayouts::Entry& e, int64_t lineStart,
                                                     const std::vector<ColourRun>& runs) const {
  const int64_t from = lineStart + e.start;
  const int64_t to = lineStart + e.end;
  const int64_t length = to - from;
  // Which run colours each character (the last given wins) and whether it is selected; the
  // selection's colours come over the run's.
  std::vector<int> who(size_t(length), -1);
  for (size_t i = 0; i < runs.size(); ++i) {
    const int64_t a = std::max(runs[i].start, from);
    const int64_t b = std::min(runs[i].end, to);
    // A run that its owner draws keeps the plain look under the owner's drawing.
    if (runs[i].ownerDraws && drawOwnRun && oneRow(e, lineStart, runs[i])) continue;
    for (int64_t p = a; p < b; ++p) who[size_t(p - from)] = int(i);
  }
  const int64_t selFrom = std::clamp(selectionStart(), from, to) - from;
  const int64_t selTo = std::clamp(selectionEnd(), from, to) - from;
  const QColor highlight = palette().color(QPalette::Active, QPalette::Highlight);
  const QColor highlighted = palette().color(QPalette::Active, QPalette::HighlightedText);
  const auto marked = [&](int64_t p) {
    for (const auto& m : marks_)
      if (from + p >= m.first && from + p < m.second) return true;
    return false;
  };

  QList<QTextLayout::FormatRange> formats;
  const auto addRange = [&](int64_t a, int64_t b, int run, bool selected, bool mark) {
    if (run < 0 && !selected && !mark) return;
    QTextCharFormat format;
    if (run >= 0) {
      const ColourRun& r = runs[size_t(run)];
      if (r.foreground.isValid()) format.setForeground(r.foreground);
      if (r.background.isValid()) format.setBackground(r.background);
      if (r.underline) format.setFontUnderline(true);
    }
    if (mark) format.setBackground(kMarkBackground);
    if (selected) {
      format.setForeground(highlighted);
      format.setBackground(highlight);
    }
    // Layout indices: the preedit text sits inside the segment's layout.
    int ia = layouts_.layoutIndex(e, e.start + a);
    const int ib = layouts_.layoutIndex(e, e.start + b);
    if (e.preeditAt >= 0 && a < e.preeditAt && b > e.preeditAt) {
      formats.append({ia, e.preeditAt - ia, format});
      ia = e.preeditAt + e.preeditLength;
    }
    formats.append({ia, ib - ia, format});
  };
  int64_t a = 0;
  for (int64_t p = 1; p <= length; ++p) {
    const bool boundary = p == length || who[size_t(p)] != who[size_t(a)] ||
                          (p >= selFrom && p < selTo) != (a >= selFrom && a < selTo) ||
                          (!marks_.empty() && marked(p) != marked(a));
    if (!boundary) continue;
    addRange(a, p, who[size_t(a)], a >= selFrom && a < selTo, !marks_.empty() && marked(a));
    a = p;
  }
  if (e.preeditAt >= 0) {
    for (const QTextLayout::FormatRange& f : preeditFormats_)
      formats.append({e.preeditAt + f.start, f.length, f.format});
  }
  return formats;
}

void MemoView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  layouts_.newFrame();
  const int h = layouts_.rowHeight();
  const int height = viewport()->height();

  struct Shown {
    int64_t line, seg;
    int firstRow;
    int y;
  };
  std::vector<Shown> shown;
  LineLayouts::Row r = layouts_.clamp(top_);
  for (int y = 0;;) {
    const int rows = layouts_.rowCount(r.line, r.seg);
    shown.push_back({r.line, r.seg, r.row, y});
    y += (rows - r.row) * h;
    if (y >= height) break;
    LineLayouts::Row next{r.line, r.seg, rows - 1};
    if (!layouts_.next(next)) break;
    r = next;
  }

  // Only the segments with rows in the damaged area are drawn, and coloured.
  const QRect dirty = event->rect();
  std::erase_if(shown, [&](const Shown& s) {
    const int rows = layouts_.rowCount(s.line, s.seg) - s.firstRow;
    return s.y + rows * h <= dirty.top() || s.y > dirty.bottom();
  });
  std::vector<ColourRun> runs;
  if (provider_ && !shown.empty()) {
    const LineLayouts::Entry& first = layouts_.entry(shown.front().line, shown.front().seg);
    const QTextLine firstRow = first.layout.lineAt(shown.front().firstRow);
    const int64_t from = store_.lineStart(shown.front().line) +
                         layouts_.offsetOf(first, firstRow.isValid() ? firstRow.textStart() : 0);
    const LineLayouts::Entry& last = layouts_.entry(shown.back().line, shown.back().seg);
    runs = provider_(from, store_.lineStart(shown.back().line) + last.end);
  }

  painter.setPen(palette().color(QPalette::Text));
  const QRectF clip(dirty);
  const int64_t lastLine = store_.lineCount() - 1;
  const QColor highlight = palette().color(QPalette::Active, QPalette::Highlight);
  for (const Shown& s : shown) {
    LineLayouts::Entry& e = layouts_.entry(s.line, s.seg);
    const int64_t lineStart = store_.lineStart(s.line);
    layouts_.setFormats(e, formatsFor(e, lineStart, runs));
    const QPointF origin(-xOffset_, s.y - s.firstRow * h);
    e.layout.draw(&painter, origin, {}, clip);
    if (drawOwnRun) {
      for (const ColourRun& run : runs) {
        if (!run.ownerDraws || !oneRow(e, lineStart, run)) continue;
        const QTextLine row = e.layout.lineForTextPosition(layouts_.layoutIndex(e, run.start - lineStart));
        const qreal x0 = row.cursorToX(layouts_.layoutIndex(e, run.start - lineStart));
        const qreal x1 = row.cursorToX(layouts_.layoutIndex(e, run.end - lineStart));
        const QRectF rect(origin.x() + x0, origin.y() + row.y(), x1 - x0, h);
        painter.save();
        painter.setFont(font());
        painter.setPen(run.foreground.isValid() ? run.foreground : palette().color(QPalette::Text));
        drawOwnRun(painter, run, rect);
        painter.restore();
      }
    }
    // A selected line break shows as a blank after the line's last character.
    const int64_t breakAt = lineStart + store_.lineLength(s.line);
    if (s.line < lastLine && lineStart + e.end == breakAt && selectionStart() <= breakAt &&
        selectionEnd() >= breakAt + 2) {
      const QTextLine lastRow = e.layout.lineAt(e.layout.lineCount() - 1);
      const qreal x = origin.x() + lastRow.cursorToX(lastRow.textStart() + lastRow.textLength());
      painter.fillRect(
          QRectF(x, origin.y() + lastRow.y(), fontMetrics().horizontalAdvance(u' '), h), highlight);
    }
  }

  if (hasFocus() && caretOn_)
    painter.fillRect(caretRectIn(caret_, true), palette().color(QPalette::Text));
  if (dropCaret_ >= 0)
    painter.fillRect(caretRectIn(dropCaret_, false), palette().color(QPalette::Text));
  // Rows seen for the first time may be wider than any before: the bar follows after the paint.
  if (!wordWrap_ && layouts_.widest() > widestInBar_)
    QMetaObject::invokeMethod(
        this, [this] { updateScrollBars(); }, Qt::QueuedConnection);
}

// ---- Events ----

bool MemoView::event(QEvent* e) {
  // The editing keys (Ctrl+C, Ctrl+V, Ctrl+Z...) belong to the window's menu commands first,
  // which take their undo snapshot; the view acts on a key only when no command claims it.
  if (e->type() == QEvent::ShortcutOverride) {
    e->ignore();
    return false;
  }
  return QAbstractScrollArea::event(e);
}

bool MemoView::handleShortcutKey(QKeyEvent* e) {
  EditGroup group(this);
  if (e->matches(QKeySequence::Copy)) {
    copy();
  } else if (e->matches(QKeySequence::Cut)) {
    cut();
  } else if (e->matches(QKeySequence::Paste)) {
    paste();
  } else if (e->matches(QKeySequence::SelectAll)) {
    selectAll();
  } else if (e->matches(QKeySequence::Undo)) {
    if (ownerTakes(Command::Undo)) emit undoRequested();
  } else if (e->matches(QKeySequence::Redo)) {
    // No history of its own: the window's command holds the redo snapshot.
  } else if (e->matches(QKeySequence::InsertParagraphSeparator) ||
             e->matches(QKeySequence::InsertLineSeparator)) {
    typeText(QStringLiteral("\r\n"));
  } else if (e->matches(QKeySequence::DeleteStartOfWord)) {
    deleteSelectionOr(previousWord(caret_), caret_);
  } else if (e->matches(QKeySequence::DeleteEndOfWord)) {
    deleteSelectionOr(caret_, nextWord(caret_));
  } else if (e->matches(QKeySequence::DeleteEndOfLine)) {
    const int64_t end =
        store_.lineStart(store_.lineOf(caret_)) + store_.lineLength(store_.lineOf(caret_));
    deleteRange(caret_, end > caret_ ? end : nextPosition(caret_));
  } else if (e->key() == Qt::Key_Backspace && !(e->modifiers() & Qt::ControlModifier)) {
    deleteSelectionOr(previousPosition(caret_), caret_);
  } else if (e->matches(QKeySequence::Delete)) {
    deleteSelectionOr(caret_, nextPosition(caret_));
  } else {
    return false;
  }
  goalX_ = -1;
  return true;
}

int64_t MemoView::verticalTarget(int64_t rows) {
  const LineLayouts::Row from = layouts_.rowOf(caret_);
  if (goalX_ < 0) goalX_ = caretRectIn(caret_, false).left() + xOffset_;
  int64_t taken = 0;
  const LineLayouts::Row to = layouts_.advance(from, rows, &taken);
  if (taken == 0) return rows > 0 ? store_.size() : 0;
  const LineLayouts::Entry& e = layouts_.entry(to.line, to.seg);
  const int index = e.layout.lineAt(to.row).xToCursor(goalX_);
  const int64_t pos = store_.lineStart(to.line) + layouts_.offsetOf(e, index);
  return std::clamp(pos, layouts_.rowStart(to), layouts_.rowEnd(to));
}

bool MemoView::handleMoveKey(QKeyEvent* e) {
  using K = QKeySequence::StandardKey;
  enum class Move {
    Right,
    Left,
    NextWord,
    PreviousWord,
    Down,
    Up,
    PageDown,
    PageUp,
    Home,
    End,
    Start,
    Finish
  };
  static const std::pair<K, Move> keys[] = {
      {K::MoveToNextChar, Move::Right},
      {K::SelectNextChar, Move::Right},
      {K::MoveToPreviousChar, Move::Left},
      {K::SelectPreviousChar, Move::Left},
      {K::MoveToNextWord, Move::NextWord},
      {K::SelectNextWord, Move::NextWord},
      {K::MoveToPreviousWord, Move::PreviousWord},
      {K::SelectPreviousWord, Move::PreviousWord},
      {K::MoveToNextLine, Move::Down},
      {K::SelectNextLine, Move::Down},
      {K::MoveToPreviousLine, Move::Up},
      {K::SelectPreviousLine, Move::Up},
      {K::MoveToNextPage, Move::PageDown},
      {K::SelectNextPage, Move::PageDown},
      {K::MoveToPreviousPage, Move::PageUp},
      {K::SelectPreviousPage, Move::PageUp},
      {K::MoveToStartOfLine, Move::Home},
      {K::SelectStartOfLine, Move::Home},
      {K::MoveToEndOfLine, Move::End},
      {K::SelectEndOfLine, Move::End},
      {K::MoveToStartOfDocument, Move::Start},
      {K::SelectStartOfDocument, Move::Start},
      {K::MoveToEndOfDocument, Move::Finish},
      {K::SelectEndOfDocument, Move::Finish},
  };
  // Ctrl+Up and Ctrl+Down scroll without moving the caret.
  if ((e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) &&
      e->modifiers() == Qt::ControlModifier) {
    scrollRows(e->key() == Qt::Key_Up ? -1 : 1);
    return true;
  }
  for (size_t i = 0; i < std::size(keys); ++i) {
    if (!e->matches(keys[i].first)) continue;
    const bool select = i % 2 == 1;
    const int64_t p = caret_;
    switch (keys[i].second) {
      case Move::Right:
        if (!select && hasSelection()) return moveCaret(selectionEnd(), false), true;
        moveCaret(nextPosition(p), select);
        break;
      case Move::Left:
        if (!select && hasSelection()) return moveCaret(selectionStart(), false), true;
        moveCaret(previousPosition(p), select);
        break;
      case Move::NextWord:
        moveCaret(nextWord(p), select);
        break;
      case Move::PreviousWord:
        moveCaret(previousWord(p), select);
        break;
      case Move::Down:
        moveCaret(verticalTarget(1), select, true);
        break;
      case Move::Up:
        moveCaret(verticalTarget(-1), select, true);
        break;
      case Move::PageDown:
      case Move::PageUp: {
        const int64_t rows =
            (keys[i].second == Move::PageDown ? 1 : -1) * std::max(1, fullRows() - 1);
        const int64_t target = verticalTarget(rows);
        scrollRows(rows);
        moveCaret(target, select, true);
        break;
      }
      case Move::Home:
        moveCaret(layouts_.rowStart(layouts_.rowOf(p)), select);
        break;
      case Move::End:
        moveCaret(layouts_.rowEnd(layouts_.rowOf(p)), select);
        break;
      case Move::Start:
        moveCaret(0, select);
        break;
      case Move::Finish:
        moveCaret(store_.size(), select);
        break;
    }
    return true;
  }
  return false;
}

void MemoView::keyPressEvent(QKeyEvent* e) {
  const QString typed = e->text();
  if (e->key() == Qt::Key_Tab && wantTabs && !(e->modifiers() & ~Qt::KeypadModifier)) {
    typeText(QStringLiteral("\t"));
    e->accept();
    return;
  }
  if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab) {
    e->ignore();
    return;
  }
  // A moving key without modifiers first leaves the selection at its end, then moves from there.
  if (hasSelection() && e->key() >= Qt::Key_Home && e->key() <= Qt::Key_PageDown &&
      !(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
    const int64_t end = selectionEnd();
    setSelection(end, end);
  }
  if (!typed.isEmpty()) {
    bool handled = false;
    emit keyTyped(e, &handled);
    if (handled) {
      e->accept();
      return;
    }
  }
  if (handleShortcutKey(e) || handleMoveKey(e)) {
    e->accept();
    return;
  }
  // Control characters are never typed; Ctrl+letter is a command, not a letter.
  if (!typed.isEmpty() && typed.at(0).category() != QChar::Other_Control &&
      !(e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
    typeText(typed);
    e->accept();
    return;
  }
  e->ignore();
}

void MemoView::inputMethodEvent(QInputMethodEvent* e) {
  EditGroup group(this);
  if (e->replacementLength() > 0 || e->replacementStart() != 0) {
    const int64_t from = validPosition(caret_ + e->replacementStart());
    setSelection(from, validPosition(from + e->replacementLength(), true));
  }
  // Dead keys and composed characters arrive here rather than as keys: each committed character
  // is announced like a typed one, so the typing aids see accents typed either way.
  const QString commit = e->commitString();
  for (qsizetype i = 0; i < commit.size();) {
    const qsizetype n = commit.at(i).isHighSurrogate() && i + 1 < commit.size() ? 2 : 1;
    const QString c = commit.mid(i, n);
    i += n;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, c);
    bool handled = false;
    emit keyTyped(&key, &handled);
    if (!handled) typeText(c);
  }
  if (commit.isEmpty() && (e->replacementLength() > 0)) deleteSelection();

  preedit_ = e->preeditString();
  preeditCursor_ = int(preedit_.size());
  preeditFormats_.clear();
  for (const QInputMethodEvent::Attribute& a : e->attributes()) {
    if (a.type == QInputMethodEvent::Cursor) {
      preeditCursor_ = std::clamp(a.start, 0, int(preedit_.size()));
    } else if (a.type == QInputMethodEvent::TextFormat) {
      const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
      if (format.isValid() && a.length > 0) preeditFormats_.append({a.start, a.length, format});
    }
  }
  layouts_.setPreedit(caret_, preedit_);
  if (!preedit_.isEmpty()) ensureCaretVisible();
  viewport()->update();
  updateMicroFocus();
  e->accept();
}

QVariant MemoView::inputMethodQuery(Qt::InputMethodQuery query) const {
  auto* self = const_cast<MemoView*>(this);
  const int64_t line = store_.lineOf(caret_);
  const int64_t lineStart = store_.lineStart(line);
  const int64_t lineEnd = lineStart + store_.lineLength(line);
  const int64_t from = std::max(lineStart, caret_ - kSurrounding);
  const int64_t to = std::min(lineEnd, caret_ + kSurrounding);
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return self->caretRectIn(caret_, true).translated(viewport()->pos()).toRect();
    case Qt::ImAnchorRectangle:
      return self->caretRectIn(anchor_, false).translated(viewport()->pos()).toRect();
    case Qt::ImFont:
      return font();
    case Qt::ImCursorPosition:
      return int(caret_ - from);
    case Qt::ImAnchorPosition:
      return int(std::clamp(anchor_, from, to) - from);
    case Qt::ImSurroundingText:
      return decode(store_.text(from, to - from));
    case Qt::ImTextBeforeCursor:
      return decode(store_.text(from, caret_ - from));
    case Qt::ImTextAfterCursor:
      return decode(store_.text(caret_, to - caret_));
    case Qt::ImCurrentSelection:
      return decode(store_.text(selectionStart(),
                                std::min(selectionEnd() - selectionStart(), kSurrounding * 64)));
    case Qt::ImAbsolutePosition:
      return qint64(caret_);
    case Qt::ImHints:
      return QVariant(int(inputMethodHints() | Qt::ImhMultiLine));
    case Qt::ImReadOnly:
      return false;
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

void MemoView::mousePressEvent(QMouseEvent* e) {
  lastMouse_ = e->position();
  if (e->button() != Qt::LeftButton) return;
  const int64_t pos = positionAt(e->position());
  goalX_ = -1;
  if (e->modifiers() & Qt::ShiftModifier) {
    setSelection(anchor_, pos);
    selecting_ = true;
  } else if (hasSelection() && pos >= selectionStart() && pos <= selectionEnd() &&
             positionRect(pos).isValid()) {
    // Pressing on the selection may start a drag of it; a click without a drag places the caret.
    dragCandidate_ = true;
    pressPoint_ = e->position();
  } else {
    setSelection(pos, pos);
    selecting_ = true;
  }
  selectingWords_ = false;
  ensureCaretVisible();
}

void MemoView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const auto [from, to] = wordAt(positionAt(e->position()));
  setSelection(from, to);
  wordAnchorStart_ = from;
  wordAnchorEnd_ = to;
  selecting_ = true;
  selectingWords_ = true;
  dragCandidate_ = false;
  updatePrimarySelection();
}

void MemoView::mouseMoveEvent(QMouseEvent* e) {
  lastMouse_ = e->position();
  if (e->buttons() & Qt::LeftButton) {
    if (dragCandidate_) {
      if ((e->position() - pressPoint_).manhattanLength() >= QApplication::startDragDistance()) {
        dragCandidate_ = false;
        startDrag();
      }
    } else if (selecting_) {
      const QRectF area(viewport()->rect());
      if (area.contains(e->position())) {
        scrollTimer_.stop();
      } else if (!scrollTimer_.isActive()) {
        scrollTimer_.start(kAutoScrollMs, this);
      }
      autoScroll();
    }
  }
  emit mouseMoved(e);
}

void MemoView::autoScroll() {
  const QRectF area(viewport()->rect());
  const int h = layouts_.rowHeight();
  if (scrollTimer_.isActive()) {
    // Faster the further the pointer is from the text.
    if (lastMouse_.y() < 0) scrollRows(-1 - int64_t(-lastMouse_.y()) / (2 * h));
    if (lastMouse_.y() >= area.height())
      scrollRows(1 + int64_t(lastMouse_.y() - area.height()) / (2 * h));
    if (!wordWrap_ && (lastMouse_.x() < 0 || lastMouse_.x() >= area.width())) {
      const int step = horizontalScrollBar()->singleStep();
      horizontalScrollBar()->setValue(xOffset_ + (lastMouse_.x() < 0 ? -step : step));
    }
  }
  const QPointF inside(std::clamp(lastMouse_.x(), 0.0, std::max(0.0, area.width() - 1)),
                       std::clamp(lastMouse_.y(), 0.0, std::max(0.0, area.height() - 1)));
  int64_t pos = positionAt(inside);
  if (selectingWords_) {
    const auto [from, to] = wordAt(pos);
    if (pos < wordAnchorStart_)
      setSelection(wordAnchorEnd_, from);
    else
      setSelection(wordAnchorStart_, std::max(to, wordAnchorEnd_));
  } else {
    setSelection(anchor_, pos);
  }
}

void MemoView::mouseReleaseEvent(QMouseEvent* e) {
  scrollTimer_.stop();
  emit mouseReleased(e);
  if (e->button() == Qt::LeftButton) {
    if (dragCandidate_) {
      dragCandidate_ = false;
      const int64_t pos = positionAt(e->position());
      setSelection(pos, pos);
    }
    if (selecting_) updatePrimarySelection();
    selecting_ = false;
    selectingWords_ = false;
  } else if (e->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
    // The X11 way: the middle button pastes the primary selection where it is clicked.
    const int64_t pos = positionAt(e->position());
    EditGroup group(this);
    setSelection(pos, pos);
    paste(QClipboard::Selection);
  }
}

void MemoView::wheelEvent(QWheelEvent* e) {
  const QPoint delta = e->angleDelta();
  if (std::abs(delta.x()) > std::abs(delta.y()) || (e->modifiers() & Qt::AltModifier)) {
    if (!wordWrap_) {
      const int d = delta.x() != 0 ? delta.x() : delta.y();
      horizontalScrollBar()->setValue(xOffset_ - d * horizontalScrollBar()->singleStep() / 40);
    }
    e->accept();
    return;
  }
  wheelRemainder_ += delta.y();
  const int notches = wheelRemainder_ / 120;
  wheelRemainder_ -= notches * 120;
  scrollRows(-int64_t(notches) * QApplication::wheelScrollLines());
  e->accept();
}

void MemoView::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  updateWrapWidth();
  maxTopValid_ = false;
  setTop(top_);
  if (ensurePending_ && isVisible()) {
    ensurePending_ = false;
    ensureCaretVisible();
  }
}

void MemoView::showEvent(QShowEvent* e) {
  QAbstractScrollArea::showEvent(e);
  if (ensurePending_) {
    ensurePending_ = false;
    ensureCaretVisible();
  }
}

void MemoView::changeEvent(QEvent* e) {
  QAbstractScrollArea::changeEvent(e);
  if (e->type() == QEvent::FontChange) {
    const int64_t topPos = layouts_.rowStart(top_);
    layouts_.setFont(font());
    layouts_.resetWidest();
    top_ = layouts_.rowOf(topPos);
    maxTopValid_ = false;
    setTop(top_);
    viewport()->update();
  } else if (e->type() == QEvent::PaletteChange) {
    viewport()->update();
  }
}

void MemoView::restartBlink() {
  caretOn_ = true;
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (hasFocus() && flash > 0)
    blink_.start(flash / 2, this);
  else
    blink_.stop();
  updateCaret();
}

void MemoView::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  restartBlink();
}

void MemoView::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  blink_.stop();
  caretOn_ = false;
  updateCaret();
}

void MemoView::timerEvent(QTimerEvent* e) {
  if (e->timerId() == blink_.timerId()) {
    caretOn_ = !caretOn_;
    updateCaret();
  } else if (e->timerId() == scrollTimer_.timerId()) {
    autoScroll();
  } else {
    QAbstractScrollArea::timerEvent(e);
  }
}

bool MemoView::ownerTakes(Command command) const {
  if (ownerTakesCommand) return ownerTakesCommand(command);
  switch (command) {
    case Command::Undo:
      return isSignalConnected(QMetaMethod::fromSignal(&MemoView::undoRequested));
    case Command::Cut:
      return isSignalConnected(QMetaMethod::fromSignal(&MemoView::cutRequested));
    case Command::Paste:
      return isSignalConnected(QMetaMethod::fromSignal(&MemoView::pasteRequested));
  }
  return false;
}

QMenu* MemoView::createContextMenu() {
  auto* menu = new QMenu(this);
  const auto add = [menu](const QString& text, QKeySequence::StandardKey key, bool enabled,
                          auto&& act) {
    QAction* action = menu->addAction(text);
    action->setShortcut(key);
    action->setShortcutVisibleInContextMenu(true);
    action->setEnabled(enabled);
    QObject::connect(action, &QAction::triggered, menu, act);
  };
  const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
  const bool canPaste = clip && clip->hasText();
  add(QStringLiteral("&Annuler"), QKeySequence::Undo, ownerTakes(Command::Undo),
      [this] { emit undoRequested(); });
  menu->addSeparator();
  add(QStringLiteral("Co&uper"), QKeySequence::Cut, hasSelection(), [this] {
    if (ownerTakes(Command::Cut))
      emit cutRequested();
    else
      cut();
  });
  add(QStringLiteral("&Copier"), QKeySequence::Copy, hasSelection(), [this] { copy(); });
  add(QStringLiteral("Co&ller"), QKeySequence::Paste, canPaste, [this] {
    if (ownerTakes(Command::Paste))
      emit pasteRequested();
    else
      paste();
  });
  add(QStringLiteral("&Supprimer"), QKeySequence::Delete, hasSelection(),
      [this] { deleteSelection(); });
  menu->addSeparator();
  add(QStringLiteral("&Tout sélectionner"), QKeySequence::SelectAll, store_.size() > 0,
      [this] { selectAll(); });
  return menu;
}

void MemoView::contextMenuEvent(QContextMenuEvent* e) {
  QMenu* menu = createContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(e->globalPos());
}

// ---- Drag and drop ----

Qt::DropAction MemoView::execDrag(QDrag* drag) {
  return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

void MemoView::startDrag() {
  auto* drag = new QDrag(this);
  drag->setMimeData(mimeForSelection());
  dragFrom_ = selectionStart();
  dragTo_ = selectionEnd();
  droppedHere_ = false;
  const Qt::DropAction action = execDrag(drag);
  // Moved to another program: the text leaves this one.
  if (action == Qt::MoveAction && !droppedHere_) deleteRange(dragFrom_, dragTo_);
  dragFrom_ = dragTo_ = -1;
  selecting_ = false;
}

void MemoView::dragEnterEvent(QDragEnterEvent* e) {
  if (!e->mimeData() || !e->mimeData()->hasText()) {
    e->ignore();
    return;
  }
  dragMoveEvent(e);
}

void MemoView::dragMoveEvent(QDragMoveEvent* e) {
  if (!e->mimeData() || !e->mimeData()->hasText()) {
    e->ignore();
    return;
  }
  const QPointF point = e->position();
  const int h = layouts_.rowHeight();
  // Near the top or bottom edge the text scrolls, so a drop can reach any line.
  if (point.y() < h / 2) scrollRows(-1);
  if (point.y() > viewport()->height() - h / 2) scrollRows(1);
  dropCaret_ = positionAt(point);
  viewport()->update();
  if (dragFrom_ >= 0 && dropCaret_ > dragFrom_ && dropCaret_ < dragTo_) {
    e->ignore();
    return;
  }
  if (dragFrom_ >= 0 && (e->possibleActions() & Qt::MoveAction) &&
      !(e->modifiers() & Qt::ControlModifier)) {
    e->setDropAction(Qt::MoveAction);
    e->accept();
  } else {
    e->acceptProposedAction();
  }
}

void MemoView::dragLeaveEvent(QDragLeaveEvent*) {
  dropCaret_ = -1;
  viewport()->update();
}

void MemoView::dropEvent(QDropEvent* e) {
  dropCaret_ = -1;
  viewport()->update();
  if (!e->mimeData() || !e->mimeData()->hasText()) {
    e->ignore();
    return;
  }
  int64_t pos = positionAt(e->position());
  const bool move = dragFrom_ >= 0 && e->dropAction() == Qt::MoveAction;
  if (dragFrom_ >= 0 && pos >= dragFrom_ && pos <= dragTo_) {
    // Dropped onto itself: nothing moves.
    droppedHere_ = true;
    e->accept();
    return;
  }
  const std::string bytes = toStoreBytes(e->mimeData()->text());
  EditGroup group(this);
  if (move) {
    replace(dragFrom_, dragTo_ - dragFrom_, {});
    if (pos > dragFrom_) pos -= dragTo_ - dragFrom_;
    droppedHere_ = true;
  }
  replace(pos, 0, bytes);
  setSelection(pos, pos + int64_t(bytes.size()));
  ensureCaretVisible();
  setFocus(Qt::MouseFocusReason);
  e->accept();
}
