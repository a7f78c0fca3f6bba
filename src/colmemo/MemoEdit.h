#pragma once
// MemoEdit: the text widget behind TColorMemo, private to it (nothing outside src/colmemo
// includes this header). It is the one place that converts between its own positions, in which
// a line break counts one character, and text positions, in which it counts two (CR LF), and the
// one place where text enters the widget, so that characters Windows-1252 cannot hold become
// "&#code;" whichever way they arrive (typed, pasted, dropped, set by code).
#include <QPlainTextEdit>

class QMimeData;

class MemoEdit : public QPlainTextEdit {
  Q_OBJECT

 public:
  // Where a text position that falls between the CR and the LF of a break goes: to the end of
  // its line, or past the break.
  enum class Round { Down, Up };

  explicit MemoEdit(QWidget* parent);

  int toTextPosition(int widgetPos) const;
  int toWidgetPosition(int textPos, Round round) const;

  // The text as the widget holds it: every CR, LF, CR LF and LF CR becomes one '\n', and every
  // character that Windows-1252 cannot hold becomes its numeric character reference.
  static QString toWidgetText(const QString& text);

  // Replaces the selection with widget text as one edit; the caret ends after it.
  void insertAtCaret(const QString& widgetText);

  // Chooses how long lines wrap for text about to enter the widget. Breaking at word
  // boundaries costs the square of a word's length, so a text holding a very long run without
  // a blank (encoded data, a minified file) wraps anywhere instead: a 1 MB line then shows in
  // about a second rather than a minute.
  void adaptWrapTo(const QString& widgetText, bool replacesAll);

  // Set again at every resize of the document window: unchanged margins cost no relayout.
  void setInsets(int left, int top, int right, int bottom) {
    const QMargins margins(left, top, right, bottom);
    if (margins != viewportMargins()) setViewportMargins(margins);
  }

 signals:
  // A key that produces text is about to be typed; *handled = true swallows it.
  void keyTyped(QKeyEvent* event, bool* handled);
  // The mouse moved over the text area; the event is in viewport coordinates.
  void mouseMoved(QMouseEvent* event);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  bool canInsertFromMimeData(const QMimeData* source) const override;
  void insertFromMimeData(const QMimeData* source) override;
  QMimeData* createMimeDataFromSelection() const override;
};
