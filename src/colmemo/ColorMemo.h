#pragma once
// TColorMemo: the source view of a document. It is the only place that knows how the text is
// held and drawn; everything else speaks text positions, in which every line break counts two
// characters (CR LF), and lines, which are the text's own lines (never the wrapped rows).
// Characters that Windows-1252 cannot hold (typed, pasted, dropped) become "&#code;".
#include <functional>
#include <memory>
#include <string>

#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "ColorRules.h"
#include "MemoView.h"
#include "ColourRun.h"
#include "TextStore.h"

class QKeyEvent;
class QPainter;
class QMouseEvent;

// Stretches of text between two marker characters, drawn as links and clickable.
struct THotSpot {
  char BeginChar = '\x1e';  // '\0' turns hot spots off
  char EndChar = '\x1f';
  TColor Color = clBlue;
  TColor MarkerColor = clWindow;  // the markers are drawn as blocks of this colour
  bool Active = false;
  bool Underlined = true;
};

// Draws a keyword run of one row in place of the memo: the surface (its pen already in the
// run's colour), the keyword, its rectangle and the memo's font colour.
using TKeyDrawEvent =
    std::function<void(QPainter& canvas, const QString& pKey, QRect& rect, TColor kColor)>;

class TColorMemo : public QWidget {
  Q_OBJECT

 public:
  explicit TColorMemo(QWidget* parent = nullptr);
  ~TColorMemo() override;

  // Lines of the text (the empty text is one empty line).
  QStringList Lines() const;
  void SetLines(const QStringList& lines);
  qint64 LineCount() const;
  QString Line(qint64 index) const;

  // The whole text, lines joined by CR LF. SetText accepts any line breaks.
  QString Text() const;
  void SetText(const QString& text);
  void Clear();

  // The text as it is saved (Windows-1252, CR LF), and loading from such bytes without any
  // QString on the way; breaks of any kind become CR LF. Like SetText, the caret goes to 0.
  std::string Bytes() const;
  void SetBytes(std::string bytes);
  // A snapshot of the text, cheap to take and to give back (undo, redo): SetStore makes the
  // snapshot's text the memo's, a change when it differs.
  TextStore Store() const;
  void SetStore(const TextStore& store);
  // The lines as they are now, for the scans; later edits do not disturb the view.
  std::unique_ptr<TextLines> LinesView() const;
  // The line holding a text position (a break belongs to the line it ends), and a line's
  // first position; both clamp out-of-range arguments.
  qint64 LineOfPosition(qint64 pos) const;
  qint64 LineStart(qint64 line) const;

  // Selection in text positions. Positions out of range are clamped; one that falls between the
  // CR and the LF of a break goes to the end of its line (a selection's end goes past the break).
  qint64 SelStart() const;
  void SetSelStart(qint64 pos);  // also empties the selection
  qint64 SelLength() const;
  void SetSelLength(qint64 length);      // extends from SelStart
  QString SelText() const;               // with CR LF breaks
  void SetSelText(const QString& text);  // replaces the selection, caret after the new text
  void SelectAll();

  // Set by every change of the text, by the user or by code; cleared only by SetModified(false).
  // A change that leaves the text as it was is no change.
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

  // Position in text positions of the character under a point of this widget.
  qint64 PositionAt(const QPoint& point) const;

  // Gives the keyboard focus to the text.
  void FocusText();

  // The colouring's hook: asked at every paint for the runs of the positions on screen. A
  // provider set here takes the place of the colouring rules.
  void SetColourProvider(ColourProvider provider);
  // Text ranges [first, second) drawn on a light background over their colours.
  void SetMarks(std::vector<std::pair<qint64, qint64>> marks);
  std::vector<std::pair<qint64, qint64>> Marks() const;

  // Colouring by rules. The colours cover the wholly shown lines and the first rule's
  // KeyMaxHeight - 1 lines above them; typing one character inside a line rescans that line.
  const TDrawRules& ColorRules() const { return rules_; }
  void SetColorRules(const TDrawRules& rules);  // copies
  const THotSpot& HotSpot() const { return hotSpot_; }
  void SetHotSpot(const THotSpot& hotSpot);
  int ColorLimMax() const { return engine_.ColorLimMax(); }
  void SetColorLimMax(int n);
  // Rescans the whole shown region after every change, and colours the caret's line up to the
  // caret in the font colour.
  bool RedrawAlways() const { return redrawAlways_; }
  void SetRedrawAlways(bool redrawAlways);
  // The Tab key types a tab, and tabs keep the plain look under every rule.
  bool WantTabs() const;
  void SetWantTabs(bool wantTabs);
  void SetOnDraw(TDrawEvent onDraw);
  void SetOnDrawKey(TKeyDrawEvent onDrawKey);
  // Colours the shown region again (or the caret's line only) and repaints it.
  virtual void DrawColors(QObject* sender, bool caretLineOnly);

 signals:
  // A hot spot was clicked; src is its text (OnHotSpotClick).
  void HotSpotClick(const QString& src);
  // The text was scrolled, before its colours are repainted (OnVScroll, OnHScroll).
  void VScroll();
  void HScroll();
  // A key that produces text (printable, Enter, Backspace, Escape, Ctrl+letter, or a character
  // that an input method or a dead key composed) is about to be typed (OnKeyPress); Tab is not,
  // it moves the focus. Handlers may set *handled to swallow it.
  // Keys that a window shortcut claims (the menu's Ctrl+C, Ctrl+V...) never reach the text.
  void KeyPress(QKeyEvent* event, bool* handled);
  // The mouse moved over the text (OnMouseMove).
  void MouseMove(QMouseEvent* event);
  // The text changed (by the user or by code).
  void Change();
  // The caret moved or the selection changed.
  void SelectionChange();
  // The context menu's Annuler, Couper and Coller, for the owner's commands, which take their
  // undo snapshot. Without a receiver, Couper and Coller act directly and Annuler is disabled.
  void UndoRequested();
  void CutRequested();
  void PasteRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool colouringOn() const;
  int64_t linesAbove() const;
  std::vector<ColourRun> colourRuns(const MemoView::ColourRegion& region);
  std::vector<ColourRun> shownRuns();
  void shiftColours(int64_t from, int64_t removed, int64_t added);
  void textChanged();
  // Whether a point of the view is over a hot spot, and the hot spot's text.
  bool overHotSpot(const QPointF& point, QString* src) const;

  MemoView* view_;
  bool modified_ = false;

  ColourProvider external_;
  TDrawRules rules_;
  THotSpot hotSpot_;
  bool redrawAlways_ = false;
  TDrawEvent onDraw_;
  TKeyDrawEvent onDrawKey_;
  ColourEngine engine_;
  std::string regionText_;
  // The runs of the region last coloured, kept in step with edits; a paint colours again when
  // the region shown or the selection is no longer the one they were made for.
  struct Coloured {
    bool valid = false;
    MemoView::ColourRegion region;
    int64_t selStart = 0;
    int64_t selLength = 0;
    int64_t caret = -1;
  } coloured_;
  std::vector<ColourRun> runs_;
  int64_t seenLines_ = 0;
  int64_t seenLength_ = 0;
};
