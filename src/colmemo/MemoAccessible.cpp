#include "MemoAccessible.h"

#include <algorithm>

#include <QTextBoundaryFinder>

#include "MemoView.h"

namespace {

// Words and sentences are looked for within this distance of the offset, so that a line of
// megabytes is never read whole for them; a line unit is cut to it as well.
constexpr int64_t kWindow = 65536;

QAccessibleInterface* factory(const QString& className, QObject* object) {
  if (className == QLatin1String("MemoView") && object && object->isWidgetType())
    return new MemoAccessible(static_cast<MemoView*>(object));
  return nullptr;
}

int toInt(int64_t v) { return int(std::min<int64_t>(v, INT_MAX)); }

std::function<void(QAccessibleEvent*)>& listener() {
  static std::function<void(QAccessibleEvent*)> f;
  return f;
}

}  // namespace

MemoAccessible::MemoAccessible(MemoView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

void MemoAccessible::install() {
  static const bool installed = [] {
    QAccessible::installFactory(factory);
    return true;
  }();
  Q_UNUSED(installed);
}

void MemoAccessible::setListener(std::function<void(QAccessibleEvent*)> f) {
  listener() = std::move(f);
}

bool MemoAccessible::listening() { return QAccessible::isActive() || bool(listener()); }

void MemoAccessible::notify(QAccessibleEvent* event) {
  if (listener()) listener()(event);
  QAccessible::updateAccessibility(event);
}

MemoView* MemoAccessible::view() const { return static_cast<MemoView*>(widget()); }

void* MemoAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  if (type == QAccessible::EditableTextInterface)
    return static_cast<QAccessibleEditableTextInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QAccessible::State MemoAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.editable = true;
  s.multiLine = true;
  s.selectableText = true;
  return s;
}

QString MemoAccessible::text(QAccessible::Text t) const {
  if (t == QAccessible::Value) return MemoView::decode(view()->store().text());
  return QAccessibleWidget::text(t);
}

void MemoAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = 0;
  if (selectionIndex != 0 || !view()->hasSelection()) return;
  *startOffset = toInt(view()->selectionStart());
  *endOffset = toInt(view()->selectionEnd());
}

int MemoAccessible::selectionCount() const { return view()->hasSelection() ? 1 : 0; }

void MemoAccessible::addSelection(int startOffset, int endOffset) {
  setSelection(0, startOffset, endOffset);
}

void MemoAccessible::removeSelection(int selectionIndex) {
  if (selectionIndex == 0) view()->setSelection(view()->caret(), view()->caret());
}

void MemoAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
  if (selectionIndex == 0) view()->setSelection(startOffset, endOffset);
}

int MemoAccessible::cursorPosition() const { return toInt(view()->caret()); }

void MemoAccessible::setCursorPosition(int position) {
  view()->setSelection(position, position);
  view()->ensureCaretVisible();
}

QString MemoAccessible::text(int startOffset, int endOffset) const {
  const int64_t from = std::max(0, startOffset);
  return MemoView::decode(view()->store().text(from, int64_t(endOffset) - from));
}

int MemoAccessible::characterCount() const { return toInt(view()->store().size()); }

std::pair<int64_t, int64_t> MemoAccessible::unitAt(int64_t offset,
                                                   QAccessible::TextBoundaryType type) const {
  const TextStore& store = view()->store();
  offset = std::clamp<int64_t>(offset, 0, store.size());
  if (type == QAccessible::NoBoundary) return {0, store.size()};
  if (type == QAccessible::CharBoundary) return {offset, std::min(offset + 1, store.size())};
  const int64_t line = store.lineOf(offset);
  const int64_t lineStart = store.lineStart(line);
  const int64_t lineEnd = lineStart + store.lineLength(line);
  const int64_t from = std::max(lineStart, offset - kWindow);
  const int64_t to = std::min(lineEnd, offset + kWindow);
  if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary) {
    // A line with its break, as screen readers expect.
    return {from, to == lineEnd && line + 1 < store.lineCount() ? to + 2 : to};
  }
  const QString window = MemoView::decode(store.text(from, to - from));
  QTextBoundaryFinder finder(
      type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word : QTextBoundaryFinder::Sentence,
      window);
  finder.setPosition(int(std::min(offset, to) - from));
  int start = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
  if (start < 0) start = 0;
  finder.setPosition(start);
  int end = finder.toNextBoundary();
  if (end < 0) end = int(window.size());
  return {from + start, from + end};
}

QString MemoAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                     int* startOffset, int* endOffset) const {
  const auto [from, to] = unitAt(offset, boundaryType);
  *startOffset = toInt(from);
  *endOffset = toInt(to);
  return MemoView::decode(view()->store().text(from, to - from));
}

QString MemoAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int* startOffset, int* endOffset) const {
  const auto [from, to] = unitAt(offset, boundaryType);
  if (from <= 0) {
    *startOffset = *endOffset = 0;
    return {};
  }
  return textAtOffset(toInt(from - 1), boundaryType, startOffset, endOffset);
}

QString MemoAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
  const auto [from, to] = unitAt(offset, boundaryType);
  if (to >= view()->store().size()) {
    *startOffset = *endOffset = toInt(view()->store().size());
    return {};
  }
  return textAtOffset(toInt(to), boundaryType, startOffset, endOffset);
}

QRect MemoAccessible::characterRect(int offset) const {
  MemoView* v = view();
  const QRectF at = v->positionRect(offset);
  const QRectF next = v->positionRect(std::min<int64_t>(offset + 1, v->store().size()));
  QRectF r = at;
  if (next.top() == at.top() && next.left() > at.left()) r.setRight(next.left());
  return QRect(v->viewport()->mapToGlobal(r.topLeft().toPoint()), r.size().toSize());
}

int MemoAccessible::offsetAtPoint(const QPoint& point) const {
  MemoView* v = view();
  const QPoint local = v->viewport()->mapFromGlobal(point);
  if (!v->viewport()->rect().contains(local)) return -1;
  return toInt(v->positionAt(local));
}

void MemoAccessible::scrollToSubstring(int startIndex, int endIndex) {
  view()->ensureVisible(std::max(0, endIndex));
  view()->ensureVisible(std::max(0, startIndex));
}

QString MemoAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
  // Plain text: one run without attributes.
  *startOffset = 0;
  *endOffset = characterCount();
  Q_UNUSED(offset);
  return {};
}

void MemoAccessible::deleteText(int startOffset, int endOffset) {
  replaceText(startOffset, endOffset, QString());
}

void MemoAccessible::insertText(int offset, const QString& text) {
  replaceText(offset, offset, text);
}

void MemoAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
  MemoView* v = view();
  v->setSelection(startOffset, endOffset);
  v->insertText(text);
}
