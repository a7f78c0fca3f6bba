#pragma once
// MemoView: the text widget behind TColorMemo. Its text is a TextDocument (the store and the
// editing rules, without widgets); the view keeps the caret and the selection, turns input into
// calls of the document's rules, and paints only the rows on screen; wrapping is computed for
// those rows alone. It is the one place where text enters the
// store: characters that Windows-1252 cannot hold become "&#code;" however they arrive (typed,
// pasted, dropped, from an input method, set by code).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QClipboard>
#include <QPointer>

#include "ColourRun.h"
#include "LineLayouts.h"
#include "TextDocument.h"
#include "TextStore.h"

class QDrag;
class QMenu;
class QMimeData;

class MemoView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit MemoView(QWidget* parent = nullptr);
  ~MemoView() override;

  const TextStore& store() const { return doc_.store(); }
  const TextDocument& document() const { return doc_; }
  // The whole text becomes the store's; the caret stays where it was, within the new text.
  void setStore(const TextStore& store);
  // Any text: breaks become CR LF and characters outside Windows-1252 references.
  static std::string toStoreBytes(const QString& text) { return TextDocument::toStoreBytes(text); }
  static QString decode(std::string_view bytes) { return TextDocument::decode(bytes); }
  static std::string withCrLf(std::string bytes) { return TextDocument::withCrLf(std::move(bytes)); }

  // The one way the text changes: replaces [from, from + length) by bytes with CR LF breaks.
  // Positions must be valid ones (see validPosition). A replacement by the same bytes changes
  // nothing and reports nothing.
  void replace(int64_t from, int64_t length, std::string_view crlfBytes);
  // Replaces the selection, the caret ends after the new text.
  void insertBytes(std::string_view crlfBytes);
  void insertText(const QString& text) { insertBytes(toStoreBytes(text)); }

  // A position inside the text, never between the CR and the LF of a break: such a position
  // goes to the end of its line, or past the break when pastBreak is set.
  int64_t validPosition(int64_t pos, bool pastBreak = false) const {
    return doc_.validPosition(pos, pastBreak);
  }
  int64_t caret() const { return caret_; }
  int64_t anchor() const { return anchor_; }
  int64_t selectionStart() const { return std::min(anchor_, caret_); }
  int64_t selectionEnd() const { return std::max(anchor_, caret_); }
  bool hasSelection() const { return anchor_ != caret_; }
  // Both positions are made valid.
  void setSelection(int64_t anchor, int64_t caret);
  void selectAll();
  QString selectedText() const;

  void copy();
  void cut();
  void paste(QClipboard::Mode mode = QClipboard::Clipboard);
  void deleteSelection();

  // Set again at every resize of the document window: unchanged margins cost no relayout.
  void setInsets(int left, int top, int right, int bottom);
  bool wordWrap() const { return wordWrap_; }
  void setWordWrap(bool wrap);
  void setColourProvider(ColourProvider provider);
  // Ranges [first, second) of text positions drawn on a light background over their colours
  // (the matching tags); the selection's colours come over them.
  void setMarks(std::vector<std::pair<int64_t, int64_t>> marks);
  const std::vector<std::pair<int64_t, int64_t>>& marks() const { return marks_; }
  // Draws the one-row runs marked ownerDraws, over the view's plain drawing of their text.
  std::function<void(QPainter& painter, const ColourRun& run, const QRectF& rect)> drawOwnRun;
  // The Tab key types a tab instead of moving the focus.
  bool wantTabs = false;

  // The text positions that the colours cover: from the start of the line `linesAbove` lines
  // above the first one shown (or above the caret's line) to the start of the first row that is
  // not wholly shown, with a pixel to spare. A line of several segments is scanned from the
  // segment shown, so that a line of megabytes costs one screen.
  struct ColourRegion {
    int64_t from = 0;
    int64_t to = 0;
    int64_t firstLine = 0;
    auto operator<=>(const ColourRegion&) const = default;
  };
  ColourRegion colourRegion(int64_t linesAbove, bool caretLineOnly);
  // Repaints the rows holding the positions from..to (end excluded).
  void updateRange(int64_t from, int64_t to) { updateRows(from, std::max(from, to - 1)); }
  // The character under a point of the viewport (not the boundary nearest to it), or -1.
  int64_t characterAt(const QPointF& point);

  // Scrolls so that the row of the caret, or of a position, is wholly shown.
  void ensureCaretVisible() { ensureVisible(caret_); }
  void ensureVisible(int64_t pos);
  // Scrolls by rows, down when n > 0.
  void scrollRows(int64_t n);
  // The first row shown: its text line and its first position.
  int64_t firstVisibleLine() const { return top_.line; }
  int64_t firstVisiblePosition();

  // In viewport coordinates.
  int64_t positionAt(const QPointF& point);
  QRectF positionRect(int64_t pos);
  bool caretShown() const { return caretOn_ && hasFocus(); }
  int rowHeight() const { return layouts_.rowHeight(); }

  // The French context menu; the caller owns it.
  QMenu* createContextMenu();

  // The commands an owner may take over, because it keeps the undo snapshots. Without this
  // function, the owner takes a command when the command's signal has a receiver; a command
  // not taken over is done here (undo is then unavailable).
  enum class Command { Undo, Cut, Paste };
  std::function<bool(Command)> ownerTakesCommand;

 signals:
  // The text changed, once per user action or call, never for a change that left it as it was.
  void textChanged();
  // A key that produces text is about to be typed; *handled = true swallows it.
  void keyTyped(QKeyEvent* event, bool* handled);
  // The mouse moved over the text area; the event is in viewport coordinates.
  void mouseMoved(QMouseEvent* event);
  void mouseReleased(QMouseEvent* event);
  // [from, from + removed) became `added` bytes; emitted at each replacement, before textChanged.
  void edited(int64_t from, int64_t removed, int64_t added);
  // The context menu's commands that the owner takes over (see ownerTakesCommand).
  void undoRequested();
  void cutRequested();
  void pasteRequested();
  void selectionChanged();

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void timerEvent(QTimerEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dragLeaveEvent(QDragLeaveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;
  // Runs a drag of the selection; tests replace it, as no drag runs on a virtual screen.
  virtual Qt::DropAction execDrag(QDrag* drag);

 private:
  class EditGroup;
  friend class MemoAccessible;

  bool ownerTakes(Command command) const;
  bool handleShortcutKey(QKeyEvent* e);
  bool handleMoveKey(QKeyEvent* e);
  void moveCaret(int64_t pos, bool select, bool keepGoal = false);
  int64_t verticalTarget(int64_t rows);
  int64_t nextPosition(int64_t pos) const { return doc_.nextPosition(pos); }
  int64_t previousPosition(int64_t pos) const { return doc_.previousPosition(pos); }
  int64_t nextWord(int64_t pos) const { return doc_.nextWord(pos); }
  int64_t previousWord(int64_t pos) const { return doc_.previousWord(pos); }
  std::pair<int64_t, int64_t> wordAt(int64_t pos) const { return doc_.wordAt(pos); }
  void deleteRange(int64_t from, int64_t to);
  // The deleting keys remove the selection when there is one, else the range they name.
  void deleteSelectionOr(int64_t from, int64_t to);
  void typeText(const QString& text);

  void afterSelectionChange(int64_t oldAnchor, int64_t oldCaret);
  // Rows between the top row and a row, bounded to a little more than a screen either way.
  int64_t rowsFromTop(const LineLayouts::Row& row);
  int64_t lineRows(int64_t line);
  // Repaint the rows holding the positions from..to, or the caret.
  void updateRows(int64_t from, int64_t to);
  void updateCaret();
  void setTop(LineLayouts::Row top);
  LineLayouts::Row maxTop();
  int fullRows() const;
  void updateScrollBars();
  void updateWrapWidth();
  void restartBlink();
  void updatePrimarySelection();
  void autoScroll();
  bool oneRow(const LineLayouts::Entry& e, int64_t lineStart, const ColourRun& run) const;
  QList<QTextLayout::FormatRange> formatsFor(const LineLayouts::Entry& e, int64_t lineStart,
                                             const std::vector<ColourRun>& runs) const;
  QRectF caretRectIn(int64_t pos, bool preeditCaret);
  QMimeData* mimeForSelection() const;
  void startDrag();

  TextDocument doc_;
  // The view reads the text through this; only doc_ changes it.
  const TextStore& store_ = doc_.store();
  LineLayouts layouts_{&store_};
  int64_t caret_ = 0;
  int64_t anchor_ = 0;
  qreal goalX_ = -1;  // the column that vertical moves keep, -1 when none
  bool wordWrap_ = true;
  LineLayouts::Row top_;
  bool maxTopValid_ = false;
  LineLayouts::Row maxTop_;
  int xOffset_ = 0;
  qreal widestInBar_ = 0;
  bool syncingBars_ = false;
  bool ensurePending_ = false;
  ColourProvider provider_;
  std::vector<std::pair<int64_t, int64_t>> marks_;

  int editDepth_ = 0;
  bool changed_ = false;

  bool caretOn_ = false;
  QBasicTimer blink_;
  QBasicTimer scrollTimer_;
  QPointF lastMouse_;
  int wheelRemainder_ = 0;
  bool selecting_ = false;
  bool selectingWords_ = false;
  int64_t wordAnchorStart_ = 0;
  int64_t wordAnchorEnd_ = 0;
  bool dragCandidate_ = false;
  QPointF pressPoint_;
  int64_t dropCaret_ = -1;
  // The range being dragged out of this view, while the drag runs.
  int64_t dragFrom_ = -1;
  int64_t dragTo_ = -1;
  bool droppedHere_ = false;

  QString preedit_;
  int preeditCursor_ = 0;
  QList<QTextLayout::FormatRange> preeditFormats_;
};
