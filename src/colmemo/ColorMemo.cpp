#include "ColorMemo.h"

#include <algorithm>

#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>

#include "MemoView.h"

TColorMemo::TColorMemo(QWidget* parent) : QWidget(parent), view_(new MemoView(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  setFocusProxy(view_);

  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(17);
  view_->setFont(font);
  view_->setWordWrap(true);

  connect(view_, &MemoView::textChanged, this, [this] {
    modified_ = true;
    emit Change();
  });
  connect(view_, &MemoView::keyTyped, this, &TColorMemo::KeyPress);
  connect(view_, &MemoView::edited, this, &TColorMemo::shiftColours);
  connect(view_, &MemoView::textChanged, this, &TColorMemo::textChanged);
  connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    emit VScroll();
    DrawColors(this, false);
  });
  connect(view_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] {
    emit HScroll();
    DrawColors(this, false);
  });
  connect(view_, &MemoView::mouseReleased, this, [this](QMouseEvent* e) {
    QString src;
    if (e->button() == Qt::LeftButton && hotSpot_.Active &&
        view_->viewport()->cursor().shape() == Qt::PointingHandCursor &&
        overHotSpot(e->position(), &src))
      emit HotSpotClick(src);
  });
  view_->setColourProvider([this](int64_t from, int64_t to) {
    return external_ ? external_(from, to) : shownRuns();
  });
  view_->drawOwnRun = [this](QPainter& painter, const ColourRun& run, const QRectF& rect) {
    if (!onDrawKey_) return;
    QRect r = rect.toRect();
    onDrawKey_(painter, MemoView::decode(view_->store().text(run.start, run.end - run.start)), r,
               clWindowText);
  };
  view_->installEventFilter(this);
  view_->viewport()->installEventFilter(this);
  connect(view_, &MemoView::mouseMoved, this, [this](QMouseEvent* e) {
    if (hotSpot_.Active) {
      const Qt::CursorShape shape =
          overHotSpot(e->position(), nullptr) ? Qt::PointingHandCursor : Qt::IBeamCursor;
      if (view_->viewport()->cursor().shape() != shape) view_->viewport()->setCursor(shape);
    }
    // Handlers read the point in this widget's coordinates, as PositionAt takes it.
    const QPointF local = view_->viewport()->mapTo(this, e->position());
    QMouseEvent mapped(e->type(), local, e->scenePosition(), e->globalPosition(), e->button(),
                       e->buttons(), e->modifiers(), e->pointingDevice());
    emit MouseMove(&mapped);
  });
  connect(view_, &MemoView::undoRequested, this, &TColorMemo::UndoRequested);
  connect(view_, &MemoView::cutRequested, this, &TColorMemo::CutRequested);
  connect(view_, &MemoView::pasteRequested, this, &TColorMemo::PasteRequested);
  connect(view_, &MemoView::selectionChanged, this, &TColorMemo::SelectionChange);
  view_->ownerTakesCommand = [this](MemoView::Command command) {
    switch (command) {
      case MemoView::Command::Undo:
        return isSignalConnected(QMetaMethod::fromSignal(&TColorMemo::UndoRequested));
      case MemoView::Command::Cut:
        return isSignalConnected(QMetaMethod::fromSignal(&TColorMemo::CutRequested));
      case MemoView::Command::Paste:
        return isSignalConnected(QMetaMethod::fromSignal(&TColorMemo::PasteRequested));
    }
    return false;
  };
}

TColorMemo::~TColorMemo() = default;

QStringList TColorMemo::Lines() const {
  const std::unique_ptr<TextLines> lines = view_->store().lines();
  QStringList out;
  out.reserve(qsizetype(lines->count()));
  for (int64_t i = 0; i < lines->count(); ++i) out.append(MemoView::decode(lines->line(i)));
  return out;
}

void TColorMemo::SetLines(const QStringList& lines) { SetText(lines.join(QStringLiteral("\r\n"))); }

qint64 TColorMemo::LineCount() const { return view_->store().lineCount(); }

QString TColorMemo::Line(qint64 index) const {
  const TextStore& store = view_->store();
  if (index < 0 || index >= store.lineCount()) return QString();
  return MemoView::decode(store.text(store.lineStart(index), store.lineLength(index)));
}

QString TColorMemo::Text() const { return MemoView::decode(view_->store().text()); }

void TColorMemo::SetText(const QString& text) { SetBytes(MemoView::toStoreBytes(text)); }

void TColorMemo::Clear() { SetText(QString()); }

std::string TColorMemo::Bytes() const { return view_->store().text(); }

void TColorMemo::SetBytes(std::string bytes) {
  view_->setStore(TextStore(MemoView::withCrLf(std::move(bytes))));
  // A new text is seen from its start.
  view_->setSelection(0, 0);
  view_->ensureCaretVisible();
}

TextStore TColorMemo::Store() const { return view_->store(); }

void TColorMemo::SetStore(const TextStore& store) { view_->setStore(store); }

std::unique_ptr<TextLines> TColorMemo::LinesView() const { return view_->store().lines(); }

qint64 TColorMemo::LineOfPosition(qint64 pos) const {
  const TextStore& store = view_->store();
  return store.lineOf(std::clamp<qint64>(pos, 0, store.size()));
}

qint64 TColorMemo::LineStart(qint64 line) const { return view_->store().lineStart(line); }

qint64 TColorMemo::SelStart() const { return view_->selectionStart(); }

void TColorMemo::SetSelStart(qint64 pos) {
  const qint64 p = view_->validPosition(pos);
  view_->setSelection(p, p);
  view_->ensureCaretVisible();
}

qint64 TColorMemo::SelLength() const { return view_->selectionEnd() - view_->selectionStart(); }

void TColorMemo::SetSelLength(qint64 length) {
  const qint64 start = view_->selectionStart();
  const qint64 end =
      length <= 0
          ? start
          : view_->validPosition(start + std::min<qint64>(length, view_->store().size()), true);
  view_->setSelection(start, end);
  view_->ensureCaretVisible();
}

QString TColorMemo::SelText() const { return view_->selectedText(); }

void TColorMemo::SetSelText(const QString& text) {
  view_->insertText(text);
  view_->ensureCaretVisible();
}

void TColorMemo::SelectAll() { view_->selectAll(); }

bool TColorMemo::Modified() const { return modified_; }

void TColorMemo::SetModified(bool modified) { modified_ = modified; }

void TColorMemo::CopyToClipboard() { view_->copy(); }

void TColorMemo::CutToClipboard() { view_->cut(); }

void TColorMemo::PasteFromClipboard() { view_->paste(); }

QFont TColorMemo::MemoFont() const { return view_->font(); }

void TColorMemo::SetMemoFont(const QFont& font) { view_->setFont(font); }

bool TColorMemo::WordWrap() const { return view_->wordWrap(); }

void TColorMemo::SetWordWrap(bool wrap) { view_->setWordWrap(wrap); }

void TColorMemo::SetInsets(int left, int top, int right, int bottom) {
  view_->setInsets(std::max(0, left), std::max(0, top), std::max(0, right), std::max(0, bottom));
}

void TColorMemo::ScrollCaret() { view_->ensureCaretVisible(); }

qint64 TColorMemo::PositionAt(const QPoint& point) const {
  return view_->positionAt(view_->viewport()->mapFrom(this, QPointF(point)));
}

void TColorMemo::FocusText() { view_->setFocus(Qt::OtherFocusReason); }

void TColorMemo::SetMarks(std::vector<std::pair<qint64, qint64>> marks) {
  std::vector<std::pair<int64_t, int64_t>> m(marks.begin(), marks.end());
  view_->setMarks(std::move(m));
}

std::vector<std::pair<qint64, qint64>> TColorMemo::Marks() const {
  const auto& m = view_->marks();
  return {m.begin(), m.end()};
}

void TColorMemo::SetColourProvider(ColourProvider provider) {
  external_ = std::move(provider);
  view_->viewport()->update();
}

// ---- Colouring by rules ----

namespace {

QColor qColour(TColor c, const QPalette& palette) {
  if (c & 0x80000000u) {
    switch (c & 0xFF) {
      case 5: return palette.color(QPalette::Base);
      case 13: return palette.color(QPalette::Highlight);
      case 14: return palette.color(QPalette::HighlightedText);
      case 15: return palette.color(QPalette::Button);
      case 18: return palette.color(QPalette::ButtonText);
      default: return palette.color(QPalette::Text);
    }
  }
  return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

}  // namespace

void TColorMemo::SetColorRules(const TDrawRules& rules) {
  rules_.Assign(rules);
  DrawColors(this, false);
}

void TColorMemo::SetHotSpot(const THotSpot& hotSpot) {
  hotSpot_ = hotSpot;
  if (!hotSpot_.Active) view_->viewport()->setCursor(Qt::IBeamCursor);
  DrawColors(this, false);
}

void TColorMemo::SetColorLimMax(int n) {
  if (n == engine_.ColorLimMax()) return;
  engine_.SetColorLimMax(n);
  DrawColors(this, false);
}

void TColorMemo::SetRedrawAlways(bool redrawAlways) {
  redrawAlways_ = redrawAlways;
  DrawColors(this, false);
}

bool TColorMemo::WantTabs() const { return view_->wantTabs; }

void TColorMemo::SetWantTabs(bool wantTabs) {
  view_->wantTabs = wantTabs;
  DrawColors(this, false);
}

void TColorMemo::SetOnDraw(TDrawEvent onDraw) {
  onDraw_ = std::move(onDraw);
  DrawColors(this, false);
}

void TColorMemo::SetOnDrawKey(TKeyDrawEvent onDrawKey) {
  onDrawKey_ = std::move(onDrawKey);
  DrawColors(this, false);
}

bool TColorMemo::colouringOn() const {
  return !external_ && isEnabled() && isVisible() && parentWidget() &&
         (rules_.Count() > 0 || hotSpot_.Active);
}

int64_t TColorMemo::linesAbove() const {
  return rules_.Count() > 0 ? std::max<int64_t>(0, int64_t(rules_[0].KeyMaxHeight) - 1) : 0;
}

std::vector<ColourRun> TColorMemo::colourRuns(const MemoView::ColourRegion& region) {
  const TextStore& store = view_->store();
  // The character before the region too: a keyword's word test reads it.
  const int64_t base = region.from > 0 ? region.from - 1 : 0;
  regionText_ = store.text(base, region.to - base);
  PaintSettings s;
  s.hotSpotActive = hotSpot_.Active;
  s.hotSpotBegin = hotSpot_.BeginChar;
  s.hotSpotEnd = hotSpot_.EndChar;
  s.hotSpotColor = hotSpot_.Color;
  s.hotSpotMarkerColor = hotSpot_.MarkerColor;
  s.wantTabs = view_->wantTabs;
  s.redrawAlways = redrawAlways_;
  s.caret = view_->caret();
  s.caretLineStart = store.lineStart(store.lineOf(s.caret));
  s.selStart = SelStart();
  s.selLength = SelLength();
  s.onDraw = onDraw_;
  engine_.Paint(rules_, RegionText{regionText_, base}, region.from, region.to, s);

  std::vector<ColourRun> runs;
  const QPalette& palette = view_->palette();
  for (const TKeyDescr& d : engine_.Runs()) {
    // The selection and tabs keep the view's own look.
    if (d.ZOrder == kZSelection || d.ZOrder == kZTab) continue;
    ColourRun run;
    run.start = d.StartPos;
    run.end = d.EndPos + 1;
    run.foreground = qColour(d.Color, palette);
    if (d.ZOrder == kZHotSpotMarker) run.background = run.foreground;
    if (d.ZOrder == kZHotSpotText) run.underline = hotSpot_.Underlined;
    run.ownerDraws = d.IsKey && onDrawKey_;
    runs.push_back(run);
  }
  return runs;
}

std::vector<ColourRun> TColorMemo::shownRuns() {
  if (!colouringOn()) return {};
  const MemoView::ColourRegion region = view_->colourRegion(linesAbove(), false);
  const int64_t selLength = SelLength();
  const int64_t selStart = selLength > 0 ? SelStart() : 0;
  const int64_t caret = redrawAlways_ ? view_->caret() : -1;
  if (!coloured_.valid || coloured_.region != region || coloured_.selStart != selStart ||
      coloured_.selLength != selLength || coloured_.caret != caret) {
    runs_ = colourRuns(region);
    coloured_ = Coloured{true, region, selStart, selLength, caret};
  }
  return runs_;
}

void TColorMemo::DrawColors(QObject*, bool caretLineOnly) {
  if (!colouringOn()) {
    coloured_.valid = false;
    return;
  }
  if (!caretLineOnly || !coloured_.valid) {
    coloured_.valid = false;
    view_->viewport()->update();
    return;
  }
  const TextStore& store = view_->store();
  const MemoView::ColourRegion region = view_->colourRegion(linesAbove(), true);
  const int64_t lineEnd =
      store.lineStart(region.firstLine) + store.lineLength(region.firstLine);
  // The caret's line takes its new colours; the other lines keep theirs.
  std::vector<ColourRun> kept;
  for (const ColourRun& r : runs_) {
    if (r.start < region.from) kept.push_back(r), kept.back().end = std::min(r.end, region.from);
    if (r.end > lineEnd) kept.push_back(r), kept.back().start = std::max(r.start, lineEnd);
  }
  for (const ColourRun& r : colourRuns(region)) kept.push_back(r);
  std::stable_sort(kept.begin(), kept.end(),
                   [](const ColourRun& a, const ColourRun& b) { return a.start < b.start; });
  runs_ = std::move(kept);
  view_->updateRange(region.from, lineEnd);
}

void TColorMemo::shiftColours(int64_t from, int64_t removed, int64_t added) {
  if (!coloured_.valid) return;
  const auto shift = [&](int64_t p) {
    if (p >= from + removed) return p + added - removed;
    return std::min(p, from);
  };
  std::erase_if(runs_, [&](ColourRun& r) {
    r.start = shift(r.start);
    r.end = shift(r.end);
    return r.end <= r.start;
  });
  coloured_.region.from = shift(coloured_.region.from);
  coloured_.region.to = shift(coloured_.region.to);
}

void TColorMemo::textChanged() {
  const TextStore& store = view_->store();
  const int64_t lines = store.lineCount();
  const int64_t length = store.size();
  // One character more on as many lines: only the caret's line can have changed its colours.
  const bool oneTyped = !redrawAlways_ && lines == seenLines_ && length == seenLength_ + 1;
  seenLines_ = lines;
  seenLength_ = length;
  DrawColors(this, oneTyped);
}

bool TColorMemo::eventFilter(QObject* watched, QEvent* event) {
  const auto plain = [](Qt::KeyboardModifiers m) {
    return !(m & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
  };
  if (watched == view_ && event->type() == QEvent::KeyRelease) {
    const auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Shift && plain(k->modifiers())) DrawColors(this, false);
  } else if (watched == view_->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                              event->type() == QEvent::MouseButtonRelease)) {
    const auto* m = static_cast<QMouseEvent*>(event);
    if (m->button() == Qt::LeftButton) DrawColors(this, false);
  }
  return QWidget::eventFilter(watched, event);
}

bool TColorMemo::overHotSpot(const QPointF& point, QString* src) const {
  const int64_t at = view_->characterAt(point);
  if (at < 0) return false;
  const TextStore& store = view_->store();
  const int64_t line = store.lineOf(at);
  const int64_t start = store.lineStart(line);
  const std::string text = store.text(start, store.lineLength(line));
  const size_t offset = size_t(std::min<int64_t>(at - start, int64_t(text.size())));
  const size_t pe = text.find(hotSpot_.EndChar, offset);
  const size_t pb = text.find(hotSpot_.BeginChar, offset);
  const bool over = pe != std::string::npos &&
                    (pb == std::string::npos || pb > pe || hotSpot_.BeginChar == hotSpot_.EndChar);
  if (over && src) {
    const size_t lastBegin = offset == 0 ? std::string::npos : text.rfind(hotSpot_.BeginChar, offset - 1);
    const size_t headFrom = lastBegin == std::string::npos ? 0 : lastBegin + 1;
    *src = MemoView::decode(std::string_view(text).substr(headFrom, pe - headFrom));
  }
  return over;
}
