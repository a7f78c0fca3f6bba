#pragma once
// TColorMemo: the source view of a document. It is the only place that knows which text widget
// holds the text; everything else speaks text positions, in which every line break counts two
// characters (CR LF), and lines, which are the text's own lines (never the wrapped rows).
// Characters that Windows-1252 cannot hold (typed, pasted, dropped) become "&#code;".
#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

class QKeyEvent;
class QMouseEvent;
class MemoEdit;

class TColorMemo : public QWidget {
  Q_OBJECT

 public:
  explicit TColorMemo(QWidget* parent = nullptr);
  ~TColorMemo() override;

  // Lines of the text (the empty text is one empty line).
  QStringList Lines() const;
  void SetLines(const QStringList& lines);
  int LineCount() const;
  QString Line(int index) const;

  // The whole text, lines joined by CR LF. SetText accepts any line breaks.
  QString Text() const;
  void SetText(const QString& text);
  void Clear();

  // Selection in text positions. Positions out of range are clamped; one that falls between the
  // CR and the LF of a break goes to the end of its line (a selection's end goes past the break).
  int SelStart() const;
  void SetSelStart(int pos);  // also empties the selection
  int SelLength() const;
  void SetSelLength(int length);  // extends from SelStart
  QString SelText() const;        // with CR LF breaks
  void SetSelText(const QString& text);  // replaces the selection, caret after the new text
  void SelectAll();

  // Set by every change of the text, by the user or by code; cleared only by SetModified(false).
  bool Modified() const;
  void SetModified(bool modified);

  // The clipboard holds plain text with this platform's '\n' breaks; any breaks are accepted.
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();

  QFont MemoFont() const;
  void SetMemoFont(const QFont& font);

  bool WordWrap() const;
  void SetWordWrap(bool wrap);

  // The formatting rectangle: the client area inset by the given margins.
  void SetInsets(int left, int top, int right, int bottom);

  // Scrolls the caret into view.
  void ScrollCaret();

  // Position in text positions of the character under a point of this widget, and its line.
  int PositionAt(const QPoint& point) const;

  // Gives the keyboard focus to the text.
  void FocusText();

 signals:
  // A key that produces text (printable, Enter, Backspace, Escape, Ctrl+letter) is about to be
  // typed (OnKeyPress); Tab is not, it moves the focus. Handlers may set *handled to swallow it.
  // Keys that a window shortcut claims (the menu's Ctrl+C, Ctrl+V...) never reach the text.
  void KeyPress(QKeyEvent* event, bool* handled);
  // The mouse moved over the text (OnMouseMove).
  void MouseMove(QMouseEvent* event);
  // The text changed (by the user or by code).
  void Change();

 private:
  MemoEdit* edit_;
  bool modified_ = false;
};
