#include "ColorMemo.h"

#include <algorithm>

#include <QMetaMethod>
#include <QMouseEvent>
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
  connect(view_, &MemoView::mouseMoved, this, [this](QMouseEvent* e) {
    // Handlers read the point in this widget's coordinates, as PositionAt takes it.
    const QPointF local = view_->viewport()->mapTo(this, e->position());
    QMouseEvent mapped(e->type(), local, e->scenePosition(), e->globalPosition(), e->button(),
                       e->buttons(), e->modifiers(), e->pointingDevice());
    emit MouseMove(&mapped);
  });
  connect(view_, &MemoView::undoRequested, this, &TColorMemo::UndoRequested);
  connect(view_, &MemoView::cutRequested, this, &TColorMemo::CutRequested);
  connect(view_, &MemoView::pasteRequested, this, &TColorMemo::PasteRequested);
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

void TColorMemo::SetColourProvider(ColourProvider provider) {
  view_->setColourProvider(std::move(provider));
}
