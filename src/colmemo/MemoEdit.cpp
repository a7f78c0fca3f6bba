#include "MemoEdit.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>

#include "Cp1252.h"

MemoEdit::MemoEdit(QWidget* parent) : QPlainTextEdit(parent) {
  // The document window keeps its own undo snapshots; a second, hidden history in the widget
  // would only cost memory on large documents.
  setUndoRedoEnabled(false);
  document()->setDocumentMargin(0);
  // The margins around the viewport are part of the text area: paint them like it.
  setBackgroundRole(QPalette::Base);
  setAutoFillBackground(true);
  viewport()->setMouseTracking(true);
}

int MemoEdit::toTextPosition(int widgetPos) const {
  const QTextDocument* doc = document();
  widgetPos = qBound(0, widgetPos, doc->characterCount() - 1);
  return widgetPos + doc->findBlock(widgetPos).blockNumber();
}

int MemoEdit::toWidgetPosition(int textPos, Round round) const {
  if (textPos <= 0) return 0;
  const QTextDocument* doc = document();
  // The text position of line n's first character is its widget position plus n: find the last
  // line that starts at or before textPos.
  int lo = 0;
  int hi = doc->blockCount() - 1;
  while (lo < hi) {
    const int mid = lo + (hi - lo + 1) / 2;
    if (doc->findBlockByNumber(mid).position() + mid <= textPos)
      lo = mid;
    else
      hi = mid - 1;
  }
  const QTextBlock block = doc->findBlockByNumber(lo);
  const int offset = textPos - (block.position() + lo);
  const int length = block.length() - 1;
  if (offset <= length) return block.position() + offset;
  const QTextBlock next = block.next();
  if (!next.isValid()) return block.position() + length;  // beyond the end of the text
  return round == Round::Up ? next.position() : block.position() + length;
}

namespace {

bool needsReference(const QString& text) {
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    // Most characters of a document are ASCII or Latin-1, which the set holds as they are.
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) continue;
    if (c.isSurrogate() || !cp1252::representable(u)) return true;
  }
  return false;
}

}  // namespace

QString MemoEdit::toWidgetText(const QString& text) {
  QString lf;
  if (!text.contains(u'\r')) {
    lf = text;
  } else {
    // Copied a line at a time: appending character by character costs a second on 50 MB.
    lf.reserve(text.size());
    const QStringView in(text);
    qsizetype from = 0;
    for (qsizetype i = 0; i < in.size(); ++i) {
      const QChar c = in[i];
      if (c != u'\r' && c != u'\n') continue;
      lf.append(in.sliced(from, i - from));
      lf.append(u'\n');
      const QChar pair = (c == u'\r') ? u'\n' : u'\r';
      if (i + 1 < in.size() && in[i + 1] == pair) ++i;
      from = i + 1;
    }
    lf.append(in.sliced(from));
  }
  return needsReference(lf) ? cp1252::referenceUnrepresentable(lf) : lf;
}

void MemoEdit::adaptWrapTo(const QString& widgetText, bool replacesAll) {
  constexpr qsizetype kLongestWord = 1000;
  qsizetype run = 0;
  bool longRun = false;
  for (const QChar c : widgetText) {
    run = c.isSpace() ? 0 : run + 1;
    if (run > kLongestWord) {
      longRun = true;
      break;
    }
  }
  if (longRun)
    setWordWrapMode(QTextOption::WrapAnywhere);
  else if (replacesAll)
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void MemoEdit::insertAtCaret(const QString& widgetText) {
  adaptWrapTo(widgetText, false);
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  cursor.insertText(widgetText);
  cursor.endEditBlock();
  setTextCursor(cursor);
}

bool MemoEdit::event(QEvent* e) {
  // The editing keys (Ctrl+C, Ctrl+V, Ctrl+Z...) belong to the window's menu commands first,
  // which take their undo snapshot; the widget acts on a key only when no command claims it.
  if (e->type() == QEvent::ShortcutOverride) {
    e->ignore();
    return false;
  }
  return QPlainTextEdit::event(e);
}

void MemoEdit::keyPressEvent(QKeyEvent* e) {
  const QString typed = e->text();
  const bool tab = e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab;
  if (!typed.isEmpty() && !tab) {
    bool handled = false;
    emit keyTyped(e, &handled);
    if (handled) {
      e->accept();
      return;
    }
    // Control characters are not typed at all; everything else the widget would insert.
    if (typed.at(0).category() != QChar::Other_Control) {
      const QString referenced = cp1252::referenceUnrepresentable(typed);
      if (referenced != typed) {
        insertAtCaret(referenced);
        ensureCursorVisible();
        e->accept();
        return;
      }
    }
  }
  QPlainTextEdit::keyPressEvent(e);
}

void MemoEdit::inputMethodEvent(QInputMethodEvent* e) {
  const QString commit = e->commitString();
  const QString referenced = cp1252::referenceUnrepresentable(commit);
  if (referenced == commit) {
    QPlainTextEdit::inputMethodEvent(e);
    return;
  }
  QInputMethodEvent copy(e->preeditString(), e->attributes());
  copy.setCommitString(referenced, e->replacementStart(), e->replacementLength());
  QPlainTextEdit::inputMethodEvent(&copy);
  e->setAccepted(copy.isAccepted());
}

void MemoEdit::mouseMoveEvent(QMouseEvent* e) {
  QPlainTextEdit::mouseMoveEvent(e);
  emit mouseMoved(e);
}

void MemoEdit::contextMenuEvent(QContextMenuEvent* e) {
  QMenu* menu = createStandardContextMenu(e->pos());
  // The submenu of Unicode control characters would insert characters behind the conversion's
  // back; none of them has a place in a Windows-1252 document.
  for (QAction* action : menu->actions())
    if (action->menu()) menu->removeAction(action);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(e->globalPos());
}

bool MemoEdit::canInsertFromMimeData(const QMimeData* source) const {
  return source && source->hasText();
}

void MemoEdit::insertFromMimeData(const QMimeData* source) {
  if (!canInsertFromMimeData(source)) return;
  insertAtCaret(toWidgetText(source->text()));
  ensureCursorVisible();
}

QMimeData* MemoEdit::createMimeDataFromSelection() const {
  // The widget's own copy turns no-break spaces into spaces; the selection's raw characters
  // keep them. Lines are joined by '\n', the line break of this platform's clipboard.
  auto* data = new QMimeData;
  QString text = textCursor().selectedText();
  text.replace(QChar::ParagraphSeparator, u'\n');
  data->setText(text);
  return data;
}
