#pragma once
// What screen readers see of the source view: its text, caret and selection, read from the
// store where they lie (around the offset asked for, never the whole text unless it is asked
// for). The view itself raises the caret, selection and text change events.
#include <functional>

#include <QAccessibleWidget>

class MemoView;

class MemoAccessible : public QAccessibleWidget,
                       public QAccessibleTextInterface,
                       public QAccessibleEditableTextInterface {
 public:
  explicit MemoAccessible(MemoView* view);
  // Makes the accessibility framework use this class for every MemoView.
  static void install();
  // The view's events go to the platform's screen reader bridge when one is active, and to a
  // listener when one is set (tests: no screen reader runs on a virtual screen).
  static void setListener(std::function<void(QAccessibleEvent*)> listener);
  static bool listening();
  static void notify(QAccessibleEvent* event);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text t) const override;

  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override;
  void addSelection(int startOffset, int endOffset) override;
  void removeSelection(int selectionIndex) override;
  void setSelection(int selectionIndex, int startOffset, int endOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int startOffset, int endOffset) const override;
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                           int* endOffset) const override;
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                          int* endOffset) const override;
  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                       int* endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int startIndex, int endIndex) override;
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

  void deleteText(int startOffset, int endOffset) override;
  void insertText(int offset, const QString& text) override;
  void replaceText(int startOffset, int endOffset, const QString& text) override;

 private:
  MemoView* view() const;
  // The range of the text unit around offset.
  std::pair<int64_t, int64_t> unitAt(int64_t offset, QAccessible::TextBoundaryType type) const;
};
