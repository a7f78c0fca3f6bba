#include "ColorMemo.h"

#include <climits>

#include <QMouseEvent>
#include <QTextBlock>
#include <QVBoxLayout>

#include "MemoEdit.h"

TColorMemo::TColorMemo(QWidget* parent) : QWidget(parent), edit_(new MemoEdit(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(edit_);
  setFocusProxy(edit_);

  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(17);
  edit_->setFont(font);
  edit_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  edit_->setTabChangesFocus(true);
  edit_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  edit_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  // The selection stays visible, in the same colours, when the text loses the focus.
  QPalette palette = edit_->palette();
  for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
    palette.setBrush(QPalette::Inactive, role, palette.brush(QPalette::Active, role));
  edit_->setPalette(palette);

  connect(edit_->document(), &QTextDocument::contentsChange, this,
          [this](int, int removed, int added) {
            if (removed == 0 && added == 0) return;
            modified_ = true;
            emit Change();
          });
  connect(edit_, &MemoEdit::keyTyped, this, &TColorMemo::KeyPress);
  connect(edit_, &MemoEdit::mouseMoved, this, [this](QMouseEvent* e) {
    // Handlers read the point in this widget's coordinates, as PositionAt takes it.
    const QPointF local = edit_->viewport()->mapTo(this, e->position());
    QMouseEvent mapped(e->type(), local, e->scenePosition(), e->globalPosition(), e->button(),
                       e->buttons(), e->modifiers(), e->pointingDevice());
    emit MouseMove(&mapped);
  });
}

TColorMemo::~TColorMemo() = default;

QStringList TColorMemo::Lines() const {
  return edit_->document()->toRawText().split(QChar::ParagraphSeparator);
}

void TColorMemo::SetLines(const QStringList& lines) { SetText(lines.join(QStringLiteral("\r\n"))); }

int TColorMemo::LineCount() const { return edit_->document()->blockCount(); }

QString TColorMemo::Line(int index) const {
  const QTextBlock block = edit_->document()->findBlockByNumber(index);
  return block.isValid() ? block.text() : QString();
}

namespace {

// QString::replace grows the string once per break, which takes seconds on large texts.
QString withCrLf(const QString& raw, qsizetype breaks) {
  QString out;
  out.reserve(raw.size() + breaks);
  qsizetype from = 0;
  for (qsizetype at; (at = raw.indexOf(QChar::ParagraphSeparator, from)) >= 0; from = at + 1) {
    out.append(QStringView(raw).sliced(from, at - from));
    out.append(QLatin1String("\r\n"));
  }
  out.append(QStringView(raw).sliced(from));
  return out;
}

}  // namespace

QString TColorMemo::Text() const {
  // The raw text, not toPlainText(), which turns no-break spaces into spaces.
  const QTextDocument* doc = edit_->document();
  return withCrLf(doc->toRawText(), doc->blockCount() - 1);
}

void TColorMemo::SetText(const QString& text) {
  const QString widgetText = MemoEdit::toWidgetText(text);
  edit_->adaptWrapTo(widgetText, true);
  edit_->setPlainText(widgetText);
}

void TColorMemo::Clear() { edit_->clear(); }

int TColorMemo::SelStart() const {
  return edit_->toTextPosition(edit_->textCursor().selectionStart());
}

void TColorMemo::SetSelStart(int pos) {
  QTextCursor cursor = edit_->textCursor();
  cursor.setPosition(edit_->toWidgetPosition(pos, MemoEdit::Round::Down));
  edit_->setTextCursor(cursor);
}

int TColorMemo::SelLength() const {
  const QTextCursor cursor = edit_->textCursor();
  return edit_->toTextPosition(cursor.selectionEnd()) -
         edit_->toTextPosition(cursor.selectionStart());
}

void TColorMemo::SetSelLength(int length) {
  QTextCursor cursor = edit_->textCursor();
  const int start = cursor.selectionStart();
  const int end = length <= 0 ? start
                              : edit_->toWidgetPosition(
                                    edit_->toTextPosition(start) + qMin(length, INT_MAX / 2),
                                    MemoEdit::Round::Up);
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  edit_->setTextCursor(cursor);
}

QString TColorMemo::SelText() const {
  const QString raw = edit_->textCursor().selectedText();
  return withCrLf(raw, raw.count(QChar::ParagraphSeparator));
}

void TColorMemo::SetSelText(const QString& text) {
  edit_->insertAtCaret(MemoEdit::toWidgetText(text));
}

void TColorMemo::SelectAll() { edit_->selectAll(); }

bool TColorMemo::Modified() const { return modified_; }

void TColorMemo::SetModified(bool modified) { modified_ = modified; }

void TColorMemo::CopyToClipboard() { edit_->copy(); }

void TColorMemo::CutToClipboard() { edit_->cut(); }

void TColorMemo::PasteFromClipboard() { edit_->paste(); }

QFont TColorMemo::MemoFont() const { return edit_->font(); }

void TColorMemo::SetMemoFont(const QFont& font) { edit_->setFont(font); }

bool TColorMemo::WordWrap() const { return edit_->lineWrapMode() != QPlainTextEdit::NoWrap; }

void TColorMemo::SetWordWrap(bool wrap) {
  edit_->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void TColorMemo::SetInsets(int left, int top, int right, int bottom) {
  edit_->setInsets(qMax(0, left), qMax(0, top), qMax(0, right), qMax(0, bottom));
}

void TColorMemo::ScrollCaret() { edit_->ensureCursorVisible(); }

int TColorMemo::PositionAt(const QPoint& point) const {
  const QPoint inViewport = edit_->viewport()->mapFrom(this, point);
  return edit_->toTextPosition(edit_->cursorForPosition(inViewport).position());
}

void TColorMemo::FocusText() { edit_->setFocus(Qt::OtherFocusReason); }
