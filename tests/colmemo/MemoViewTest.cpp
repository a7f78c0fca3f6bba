// The source view as a user meets it: real key, mouse, wheel, input-method, drag and drop and
// context-menu events on the widget, checked through TColorMemo's interface.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "MemoAccessible.h"
#include "MemoView.h"
#include "ShownMemo.h"

// Readable failures.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Asked the way the platform's input method asks.
QVariant imQuery(QWidget* w, Qt::InputMethodQuery query) {
  QInputMethodQueryEvent event(query);
  QApplication::sendEvent(w, &event);
  return event.value(query);
}

QString lines(int count, const QString& prefix = QStringLiteral("ligne ")) {
  QStringList l;
  for (int i = 0; i < count; ++i) l << prefix + QString::number(i);
  return l.join(QStringLiteral("\r\n"));
}

}  // namespace

TEST(MemoViewKeys, ArrowsWordsHomeEndAndDocumentKeysMoveOrSelect) {
  struct Row {
    const char* text;
    int start;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int selStart, selLength;
  };
  const char* words = "un deux\r\ntrois quatre\r\ncinq";  // lines at 0, 9 and 23
  const char* columns = "abcdef\r\nabcdef\r\nabc";        // lines at 0, 8 and 16
  const Qt::KeyboardModifiers none = Qt::NoModifier, shift = Qt::ShiftModifier,
                              ctrl = Qt::ControlModifier;
  const Row rows[] = {
      {words, 0, Qt::Key_Right, none, 1, 0},
      {words, 7, Qt::Key_Right, none, 9, 0},  // over the break, which counts as one character
      {words, 9, Qt::Key_Left, none, 7, 0},
      {words, 0, Qt::Key_Right, shift, 0, 1},
      {words, 9, Qt::Key_Left, shift, 7, 2},
      {words, 0, Qt::Key_Right, ctrl, 3, 0},  // to the next word's start
      {words, 3, Qt::Key_Right, ctrl, 7, 0},  // the last word stops at the line's end
      {words, 7, Qt::Key_Right, ctrl, 9, 0},
      {words, 9, Qt::Key_Left, ctrl, 7, 0},
      {words, 12, Qt::Key_Left, ctrl, 9, 0},
      {words, 15, Qt::Key_Left, ctrl, 9, 0},  // over the blank, then the word before it
      {words, 0, Qt::Key_Right, ctrl | shift, 0, 3},
      {words, 15, Qt::Key_Left, ctrl | shift, 9, 6},
      {words, 12, Qt::Key_Home, none, 9, 0},
      {words, 9, Qt::Key_End, none, 21, 0},
      {words, 9, Qt::Key_End, shift, 9, 12},
      {words, 12, Qt::Key_Home, shift, 9, 3},
      {words, 12, Qt::Key_Home, ctrl, 0, 0},
      {words, 3, Qt::Key_End, ctrl, 27, 0},
      {words, 3, Qt::Key_End, ctrl | shift, 3, 24},
      {words, 5, Qt::Key_Home, ctrl | shift, 0, 5},
      {columns, 2, Qt::Key_Down, none, 10, 0},
      {columns, 10, Qt::Key_Down, none, 18, 0},
      {columns, 18, Qt::Key_Up, none, 10, 0},
      {columns, 12, Qt::Key_Down, none, 19, 0},  // a shorter line: its end
      {columns, 17, Qt::Key_Down, none, 19, 0},  // the last line: the end of the text
      {columns, 3, Qt::Key_Up, none, 0, 0},      // the first line: the start
      {columns, 2, Qt::Key_Down, shift, 2, 8},
      {columns, 18, Qt::Key_Up, shift, 10, 8},
  };
  Shown w;
  for (const Row& r : rows) {
    w.memo->SetText(QString::fromLatin1(r.text));
    w.memo->SetSelStart(r.start);
    QTest::keyClick(w.view, r.key, r.mods);
    const auto where = QStringLiteral("%1 from %2 key %3 mods %4")
                           .arg(QString::fromLatin1(r.text).left(5))
                           .arg(r.start)
                           .arg(r.key, 0, 16)
                           .arg(int(r.mods), 0, 16)
                           .toStdString();
    EXPECT_EQ(w.memo->SelStart(), r.selStart) << where;
    EXPECT_EQ(w.memo->SelLength(), r.selLength) << where;
    EXPECT_EQ(w.memo->Text(), QString::fromLatin1(r.text)) << where;
  }
}

TEST(MemoViewKeys, ArrowsWithASelectionMoveFromItsEndAndUpDownKeepTheColumn) {
  Shown w;
  w.memo->SetText(QStringLiteral("un deux trois"));
  w.memo->SetSelStart(3);
  w.memo->SetSelLength(4);
  // The selection first gives way to a caret at its end, which the key then moves.
  QTest::keyClick(w.view, Qt::Key_Left);
  EXPECT_EQ(w.memo->SelStart(), 6);
  EXPECT_EQ(w.memo->SelLength(), 0);
  w.memo->SetSelStart(3);
  w.memo->SetSelLength(4);
  QTest::keyClick(w.view, Qt::Key_Right);
  EXPECT_EQ(w.memo->SelStart(), 8);
  EXPECT_EQ(w.memo->SelLength(), 0);
  w.memo->SetSelStart(3);
  w.memo->SetSelLength(4);
  QTest::keyClick(w.view, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(w.memo->SelLength(), 3);

  // Through a short line and back, the caret comes back to its column.
  w.memo->SetText(QStringLiteral("abcdef\r\nab\r\nabcdef"));
  w.memo->SetSelStart(5);
  QTest::keyClick(w.view, Qt::Key_Down);
  EXPECT_EQ(w.memo->SelStart(), 10);
  QTest::keyClick(w.view, Qt::Key_Down);
  EXPECT_EQ(w.memo->SelStart(), 17);
}

TEST(MemoViewKeys, DeletingAndBreakingKeys) {
  struct Row {
    const char* text;
    int start, length;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* after;
    int caret;
  };
  const Qt::KeyboardModifiers none = Qt::NoModifier;
  const Row rows[] = {
      {"un deux trois", 2, 0, Qt::Key_Backspace, none, "u deux trois", 1},
      {"ab\r\ncd", 4, 0, Qt::Key_Backspace, none, "abcd", 2},  // a break goes whole
      {"ab\r\ncd", 2, 0, Qt::Key_Delete, none, "abcd", 2},
      {"un deux trois", 7, 0, Qt::Key_Backspace, Qt::ControlModifier, "un  trois", 3},
      {"un deux trois", 3, 0, Qt::Key_Delete, Qt::ControlModifier, "un trois", 3},
      {"un deux trois", 5, 0, Qt::Key_Backspace, Qt::ControlModifier, "un ux trois", 3},
      {"ab\r\ncd", 4, 0, Qt::Key_Backspace, Qt::ControlModifier, "abcd", 2},
      {"un deux trois", 2, 0, Qt::Key_Return, none, "un\r\n deux trois", 4},
      {"un deux trois", 2, 0, Qt::Key_Enter, none, "un\r\n deux trois", 4},
      {"un deux trois", 2, 0, Qt::Key_Return, Qt::ShiftModifier, "un\r\n deux trois", 4},
      {"un deux trois", 3, 4, Qt::Key_Backspace, none, "un  trois", 3},
      {"un deux trois", 3, 4, Qt::Key_Delete, none, "un  trois", 3},
      {"un deux trois", 3, 4, Qt::Key_Backspace, Qt::ControlModifier, "un  trois", 3},
      {"un deux trois", 3, 4, Qt::Key_X, none, "un x trois", 4},
      {"un deux trois", 3, 4, Qt::Key_Return, none, "un \r\n trois", 5},
      {"ab", 0, 0, Qt::Key_Backspace, none, "ab", 0},
      {"ab", 2, 0, Qt::Key_Delete, none, "ab", 2},
      {"ab", 1, 0, Qt::Key_Escape, none, "ab", 1},
      {"ab", 1, 0, Qt::Key_B, Qt::ControlModifier, "ab", 1},  // Ctrl+letter types nothing
  };
  Shown w;
  for (const Row& r : rows) {
    w.memo->SetText(QString::fromLatin1(r.text));
    w.memo->SetSelStart(r.start);
    w.memo->SetSelLength(r.length);
    w.memo->SetModified(false);
    QTest::keyClick(w.view, r.key, r.mods);
    const auto where = QStringLiteral("%1 at %2+%3 key %4")
                           .arg(QString::fromLatin1(r.text))
                           .arg(r.start)
                           .arg(r.length)
                           .arg(r.key, 0, 16)
                           .toStdString();
    EXPECT_EQ(w.memo->Text(), QString::fromLatin1(r.after)) << where;
    EXPECT_EQ(w.memo->SelStart(), r.caret) << where;
    EXPECT_EQ(w.memo->SelLength(), 0) << where;
    EXPECT_EQ(w.memo->Modified(), std::string_view(r.text) != r.after) << where;
  }
}

TEST(MemoViewKeys, ClipboardKeysOfBothFamilies) {
  struct Row {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* text;
    const char* clipboard;
  };
  const Row rows[] = {
      {Qt::Key_C, Qt::ControlModifier, "un deux", "deux"},
      {Qt::Key_Insert, Qt::ControlModifier, "un deux", "deux"},
      {Qt::Key_X, Qt::ControlModifier, "un ", "deux"},
      {Qt::Key_Delete, Qt::ShiftModifier, "un ", "deux"},
      {Qt::Key_V, Qt::ControlModifier, "un X\r\nY", "X\nY"},
      {Qt::Key_Insert, Qt::ShiftModifier, "un X\r\nY", "X\nY"},
      {Qt::Key_A, Qt::ControlModifier, "un deux", "X\nY"},
  };
  Shown w;
  for (const Row& r : rows) {
    QApplication::clipboard()->setText(QStringLiteral("X\nY"));
    w.memo->SetText(QStringLiteral("un deux"));
    w.memo->SetSelStart(3);
    w.memo->SetSelLength(4);
    QTest::keyClick(w.view, r.key, r.mods);
    EXPECT_EQ(w.memo->Text(), QString::fromLatin1(r.text)) << r.key;
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1(r.clipboard)) << r.key;
  }
  EXPECT_EQ(w.memo->SelLength(), 7);  // Ctrl+A selected everything
}

TEST(MemoViewKeys, PageKeysMoveTheCaretAndTheTextByAScreen) {
  Shown w;
  w.memo->SetText(lines(300));
  w.memo->SetSelStart(0);
  const int rows = w.vp->height() / w.view->rowHeight();
  ASSERT_GT(rows, 5);
  QTest::keyClick(w.view, Qt::Key_PageDown);
  const qint64 line = w.memo->LineOfPosition(w.memo->SelStart());
  EXPECT_EQ(line, rows - 1);
  EXPECT_EQ(w.view->firstVisibleLine(), rows - 1);
  EXPECT_TRUE(w.caretInView());
  QTest::keyClick(w.view, Qt::Key_PageDown, Qt::ShiftModifier);
  EXPECT_EQ(w.memo->SelStart(), w.memo->LineStart(rows - 1));
  EXPECT_EQ(w.memo->LineOfPosition(w.memo->SelStart() + w.memo->SelLength()), 2 * (rows - 1));
  QTest::keyClick(w.view, Qt::Key_PageUp);
  QTest::keyClick(w.view, Qt::Key_PageUp);
  EXPECT_EQ(w.memo->SelStart(), 0);
  EXPECT_EQ(w.view->firstVisibleLine(), 0);

  // Ctrl+End shows the last line at the bottom; Ctrl+Down scrolls without moving the caret.
  QTest::keyClick(w.view, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(w.view->firstVisibleLine(), 300 - rows);
  EXPECT_TRUE(w.caretInView());
  QTest::keyClick(w.view, Qt::Key_Home, Qt::ControlModifier);
  QTest::keyClick(w.view, Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(w.view->firstVisibleLine(), 1);
  EXPECT_EQ(w.memo->SelStart(), 0);
}

TEST(MemoViewKeys, TabLeavesTheViewAndEscapeGoesToTheWindow) {
  Shown w;
  w.memo->SetText(QStringLiteral("ab"));
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
  QApplication::sendEvent(w.view, &escape);
  EXPECT_FALSE(escape.isAccepted());  // a dialog holding the memo may close on it
  QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
  QApplication::sendEvent(w.view, &tab);  // nowhere to go: the memo still takes no tab
  EXPECT_EQ(w.memo->Text(), QStringLiteral("ab"));
}

TEST(MemoViewCaret, BlinksWithTheFocusAtTheFlashTimeAndHidesWithoutIt) {
  QStyleHints* hints = QGuiApplication::styleHints();
  const int saved = hints->cursorFlashTime();
  hints->setCursorFlashTime(200);
  {
    Shown w;
    w.memo->SetText(QStringLiteral("abc"));
    QTest::keyClick(w.view, Qt::Key_Right);
    EXPECT_TRUE(w.view->caretShown());  // a move shows it at once
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.view->caretShown(); }, 1000));
    EXPECT_GE(t.elapsed(), 80);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.view->caretShown(); }, 1000));
    w.view->clearFocus();
    EXPECT_FALSE(w.view->caretShown());
    // Watched over more than a whole flash period: it never comes back.
    EXPECT_FALSE(QTest::qWaitFor([&] { return w.view->caretShown(); }, 250));
    // No flashing at all when the desktop asks for none.
    hints->setCursorFlashTime(0);
    w.memo->FocusText();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.view->caretShown(); }, 1000));
    EXPECT_FALSE(QTest::qWaitFor([&] { return !w.view->caretShown(); }, 250));
  }
  hints->setCursorFlashTime(saved);
}

TEST(MemoViewMouse, ClickDragShiftClickAndDoubleClickSelect) {
  Shown w;
  w.memo->SetText(QStringLiteral("<balise attribut=\"valeur\">texte</balise>\r\nseconde ligne"));
  QTest::mouseClick(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(8));
  EXPECT_EQ(w.memo->SelStart(), 8);
  EXPECT_EQ(w.memo->SelLength(), 0);

  QTest::mousePress(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(1));
  QTest::mouseMove(w.vp, w.pointOf(4));
  QTest::mouseMove(w.vp, w.pointOf(45));  // onto the second line
  QTest::mouseRelease(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(45));
  EXPECT_EQ(w.memo->SelStart(), 1);
  EXPECT_EQ(w.memo->SelLength(), 44);

  QTest::mouseClick(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(3));
  QTest::mouseClick(w.vp, Qt::LeftButton, Qt::ShiftModifier, w.pointOf(10));
  EXPECT_EQ(w.memo->SelStart(), 3);
  EXPECT_EQ(w.memo->SelLength(), 7);

  QTest::mouseDClick(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(10));
  EXPECT_EQ(w.memo->SelText(), QStringLiteral("attribut"));
  QTest::mouseDClick(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(45));
  EXPECT_EQ(w.memo->SelText(), QStringLiteral("seconde"));

  // A double-click then a drag selects whole words.
  QTest::mouseDClick(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(10));
  QTest::mouseMove(w.vp, w.pointOf(20));
  QTest::mouseRelease(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(20));
  EXPECT_EQ(w.memo->SelText(), QStringLiteral("attribut=\"valeur"));
  QTest::mouseDClick(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(45));

  // A click inside the selection without a drag places the caret there.
  QTest::mouseClick(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(44));
  EXPECT_EQ(w.memo->SelStart(), 44);
  EXPECT_EQ(w.memo->SelLength(), 0);
}

TEST(MemoViewMouse, DraggingPastTheEdgeScrollsAndExtendsTheSelection) {
  Shown w;
  w.memo->SetText(lines(200));
  QTest::mousePress(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(2));
  QTest::mouseMove(w.vp, QPoint(20, w.vp->height() + 30));
  EXPECT_TRUE(QTest::qWaitFor([&] { return w.view->firstVisibleLine() > 10; }, 3000));
  QTest::mouseRelease(w.vp, Qt::LeftButton, Qt::NoModifier, QPoint(20, w.vp->height() + 30));
  const qint64 top = w.view->firstVisibleLine();
  EXPECT_EQ(w.memo->SelStart(), 2);
  EXPECT_GT(w.memo->LineOfPosition(w.memo->SelStart() + w.memo->SelLength()), top);
  // Stops with the button: watched for a while, the view never moves again.
  EXPECT_FALSE(QTest::qWaitFor([&] { return w.view->firstVisibleLine() != top; }, 300));
}

TEST(MemoViewMouse, WheelAndScrollBarsScroll) {
  Shown w;
  w.memo->SetText(lines(200));
  QWheelEvent down(QPointF(20, 20), w.vp->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, -120),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w.vp, &down);
  EXPECT_EQ(w.view->firstVisibleLine(), QApplication::wheelScrollLines());
  EXPECT_EQ(w.memo->SelStart(), 0);  // the caret stays

  QScrollBar* bar = w.view->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(w.view->firstVisibleLine(), QApplication::wheelScrollLines() + 1);
  bar->setValue(bar->maximum());  // a drag to the bottom shows the last line at the bottom
  const int rows = w.vp->height() / w.view->rowHeight();
  EXPECT_EQ(w.view->firstVisibleLine(), 200 - rows);
  bar->setValue(bar->maximum() / 2);
  EXPECT_NEAR(double(w.view->firstVisibleLine()), 100 - rows / 2.0, rows);
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(w.view->firstVisibleLine(), 0);

  // Unwrapped, a long line brings the horizontal bar, and End follows the caret.
  w.memo->SetWordWrap(false);
  w.memo->SetText(QString(300, u'x') + QStringLiteral("\r\nfin"));
  QScrollBar* hbar = w.view->horizontalScrollBar();
  EXPECT_GT(hbar->maximum(), 0);
  QTest::keyClick(w.view, Qt::Key_End);
  EXPECT_GT(hbar->value(), 0);
  EXPECT_TRUE(w.caretInView());
  const QRectF caret = w.view->positionRect(300);
  EXPECT_GE(caret.left(), 0);
  EXPECT_LE(caret.right(), w.vp->width());
  QTest::keyClick(w.view, Qt::Key_Home);
  EXPECT_EQ(hbar->value(), 0);
}

TEST(MemoViewLayout, WrapFollowsTheWidthTheFontAndTheInsets) {
  Shown w(QSize(300, 200));
  const QString line = QStringLiteral(
      "des mots assez nombreux pour remplir plusieurs rangées de "
      "texte dans une fenêtre étroite");
  w.memo->SetText(line + QStringLiteral("\r\nfin"));
  const qreal wrapped = w.view->positionRect(line.size()).top();
  EXPECT_GE(wrapped, 2 * w.view->rowHeight());  // the line takes several rows
  w.top.resize(900, 200);
  QApplication::processEvents();
  EXPECT_EQ(w.view->positionRect(line.size()).top(), 0);  // one row when wide enough

  const int before = w.view->rowHeight();
  QFont big = w.memo->MemoFont();
  big.setPixelSize(34);
  w.memo->SetMemoFont(big);
  EXPECT_GT(w.view->rowHeight(), before * 3 / 2);
  EXPECT_EQ(w.view->positionRect(0).height(), w.view->rowHeight());
  const qreal lastRow = w.view->positionRect(line.size() + 2).top();
  EXPECT_GT(lastRow, w.view->rowHeight());  // the larger letters wrap again
  EXPECT_EQ(std::fmod(lastRow, w.view->rowHeight()), 0);

  w.memo->SetInsets(3, 2, 3, 2);
  EXPECT_EQ(w.vp->geometry().topLeft(), w.view->contentsRect().topLeft() + QPoint(3, 2));
  w.memo->SetWordWrap(false);
  EXPECT_EQ(w.view->positionRect(line.size()).top(), 0);
  EXPECT_FALSE(w.memo->WordWrap());
}

TEST(MemoViewMenu, FrenchContextMenuLeavesUndoCutAndPasteToTheOwner) {
  const auto labels = [](QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
      if (!a->isSeparator()) out << a->text().remove(u'&') + (a->isEnabled() ? "" : " (off)");
    return out;
  };
  const auto trigger = [](QMenu* menu, const QString& label) {
    for (QAction* a : menu->actions())
      if (a->text().remove(u'&') == label) a->trigger();
  };
  Shown w;
  QApplication::clipboard()->setText(QStringLiteral("collé"));
  w.memo->SetText(QStringLiteral("un deux"));
  std::unique_ptr<QMenu> menu(w.view->createContextMenu());
  EXPECT_EQ(labels(menu.get()), (QStringList{"Annuler (off)", "Couper (off)", "Copier (off)",
                                             "Coller", "Supprimer (off)", "Tout sélectionner"}));

  // Without receivers, cut and paste act at once.
  w.memo->SetSelStart(3);
  w.memo->SetSelLength(4);
  menu.reset(w.view->createContextMenu());
  EXPECT_EQ(labels(menu.get()), (QStringList{"Annuler (off)", "Couper", "Copier", "Coller",
                                             "Supprimer", "Tout sélectionner"}));
  trigger(menu.get(), "Couper");
  EXPECT_EQ(w.memo->Text(), QStringLiteral("un "));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("deux"));
  trigger(menu.get(), "Coller");
  EXPECT_EQ(w.memo->Text(), QStringLiteral("un deux"));
  trigger(menu.get(), "Tout sélectionner");
  EXPECT_EQ(w.memo->SelLength(), 7);
  trigger(menu.get(), "Supprimer");
  EXPECT_EQ(w.memo->Text(), QString());

  // With receivers, the owner's commands run instead, and undo is offered.
  QStringList asked;
  QObject::connect(w.memo, &TColorMemo::UndoRequested, [&] { asked << "undo"; });
  QObject::connect(w.memo, &TColorMemo::CutRequested, [&] { asked << "cut"; });
  QObject::connect(w.memo, &TColorMemo::PasteRequested, [&] { asked << "paste"; });
  w.memo->SetText(QStringLiteral("un deux"));
  w.memo->SelectAll();
  menu.reset(w.view->createContextMenu());
  EXPECT_EQ(labels(menu.get())[0], QStringLiteral("Annuler"));
  for (const char* label : {"Annuler", "Couper", "Coller"}) trigger(menu.get(), label);
  EXPECT_EQ(asked, (QStringList{"undo", "cut", "paste"}));
  EXPECT_EQ(w.memo->Text(), QStringLiteral("un deux"));
  QTest::keyClick(w.view, Qt::Key_Z, Qt::ControlModifier);  // no window command: the owner's
  EXPECT_EQ(asked.last(), QStringLiteral("undo"));

  // The menu opens on the context-menu event.
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), w.vp->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(w.vp, &event);
  QMenu* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->actions().size(), 8);
  shown->close();
}

TEST(MemoViewInputMethod, PreeditChangesNothingAndCommitsTypeLikeKeys) {
  Shown w;
  w.memo->SetText(QStringLiteral("<p></p>"));
  w.memo->SetSelStart(3);
  w.memo->SetModified(false);
  QSignalSpy changes(w.memo, &TColorMemo::Change);
  QStringList keys;
  QObject::connect(w.memo, &TColorMemo::KeyPress, [&](QKeyEvent* e, bool* handled) {
    keys << e->text();
    if (e->text() == QStringLiteral("è")) {
      w.memo->SetSelText(QStringLiteral("&#232;"));
      *handled = true;
    }
  });

  QInputMethodEvent preedit(QStringLiteral("^"), {{QInputMethodEvent::Cursor, 1, 1, {}}});
  QApplication::sendEvent(w.view, &preedit);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<p></p>"));
  EXPECT_FALSE(w.memo->Modified());
  EXPECT_EQ(changes.count(), 0);
  const QRect preeditCaret = imQuery(w.view, Qt::ImCursorRectangle).toRect();
  const QRect plainCaret = w.view->positionRect(3).translated(w.vp->pos()).toRect();
  EXPECT_GT(preeditCaret.left(), plainCaret.left());  // after the shown "^"

  QInputMethodEvent commit;
  commit.setCommitString(QStringLiteral("ê"));
  QApplication::sendEvent(w.view, &commit);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<p>ê</p>"));
  EXPECT_TRUE(w.memo->Modified());
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(imQuery(w.view, Qt::ImCursorRectangle).toRect(),
            w.view->positionRect(4).translated(w.vp->pos()).toRect());

  // A composed character the typing aids take over, and one Windows-1252 cannot hold.
  QInputMethodEvent composed;
  composed.setCommitString(QStringLiteral("è\u0151"));
  QApplication::sendEvent(w.view, &composed);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<p>ê&#232;&#337;</p>"));
  EXPECT_EQ(keys, (QStringList{"ê", "è", "\u0151"}));
  keys.clear();

  // A dead key that arrives as keys: the accent alone types nothing, the letter comes composed.
  QTest::sendKeyEvent(QTest::Click, w.view, Qt::Key_Dead_Circumflex, QString(), Qt::NoModifier);
  QTest::sendKeyEvent(QTest::Click, w.view, Qt::Key_unknown, QStringLiteral("î"), Qt::NoModifier);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<p>ê&#232;&#337;î</p>"));
  QTest::keyClick(w.view, Qt::Key_Backspace);

  // A replacement of the characters before the caret.
  QInputMethodEvent replace;
  replace.setCommitString(QStringLiteral("Q"), -6, 6);
  QApplication::sendEvent(w.view, &replace);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<p>ê&#232;Q</p>"));
}

TEST(MemoViewInputMethod, QueriesDescribeTheCaretLineAndTheSelection) {
  Shown w;
  w.memo->SetText(QStringLiteral("avant\r\nun deux trois\r\naprès"));
  w.memo->SetSelStart(10);
  w.memo->SetSelLength(4);  // "deux", caret at its end
  const auto q = [&](Qt::InputMethodQuery query) { return imQuery(w.view, query); };
  EXPECT_TRUE(q(Qt::ImEnabled).toBool());
  EXPECT_EQ(q(Qt::ImSurroundingText).toString(), QStringLiteral("un deux trois"));
  EXPECT_EQ(q(Qt::ImCursorPosition).toInt(), 7);
  EXPECT_EQ(q(Qt::ImAnchorPosition).toInt(), 3);
  EXPECT_EQ(q(Qt::ImCurrentSelection).toString(), QStringLiteral("deux"));
  EXPECT_EQ(q(Qt::ImTextBeforeCursor).toString(), QStringLiteral("un deux"));
  EXPECT_EQ(q(Qt::ImTextAfterCursor).toString(), QStringLiteral(" trois"));
  EXPECT_EQ(q(Qt::ImAbsolutePosition).toLongLong(), 14);
  EXPECT_TRUE(w.view->testAttribute(Qt::WA_InputMethodEnabled));
  const QRect caret = q(Qt::ImCursorRectangle).toRect();
  EXPECT_EQ(caret, w.view->positionRect(14).translated(w.vp->pos()).toRect());
  EXPECT_GT(caret.top(), 0);
}

TEST(MemoViewDrop, TextFromOtherProgramsIsDroppedWhereItIsReleased) {
  Shown w;
  w.memo->SetText(QStringLiteral("un deux"));
  QMimeData data;
  data.setText(QStringLiteral("X\u0151\nY"));
  const QPoint at = w.pointOf(3);
  QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.vp, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.vp, &move);
  QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.vp, &drop);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("un X&#337;\r\nYdeux"));
  EXPECT_EQ(w.memo->SelText(), QStringLiteral("X&#337;\r\nY"));  // the dropped text, selected

  QMimeData image;
  image.setData(QStringLiteral("image/png"), QByteArray("png"));
  QDragEnterEvent refused(at, Qt::CopyAction, &image, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w.vp, &refused);
  EXPECT_FALSE(refused.isAccepted());
}

namespace {

// A view whose drags are delivered at once to a point of its own, as no drag runs on a
// virtual screen.
class DraggingView : public MemoView {
 public:
  QPoint dropAt;
  Qt::KeyboardModifiers dropModifiers = Qt::NoModifier;
  Qt::DropAction result = Qt::IgnoreAction;

 protected:
  Qt::DropAction execDrag(QDrag* drag) override {
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(dropAt, actions, drag->mimeData(), Qt::LeftButton, dropModifiers);
    QApplication::sendEvent(viewport(), &enter);
    QDragMoveEvent move(dropAt, actions, drag->mimeData(), Qt::LeftButton, dropModifiers);
    QApplication::sendEvent(viewport(), &move);
    if (move.isAccepted()) {
      QDropEvent drop(dropAt, actions, drag->mimeData(), Qt::LeftButton, dropModifiers);
      drop.setDropAction(move.dropAction());
      QApplication::sendEvent(viewport(), &drop);
      result = drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    } else {
      result = Qt::IgnoreAction;
    }
    drag->deleteLater();
    return result;
  }
};

}  // namespace

TEST(MemoViewDrop, DraggingTheSelectionMovesItOrCopiesItWithCtrl) {
  struct Row {
    int dropBefore;
    Qt::KeyboardModifiers mods;
    const char* text;
  };
  const Row rows[] = {
      {13, Qt::NoModifier, "un  troisdeux"},
      {0, Qt::NoModifier, "deuxun  trois"},
      {13, Qt::ControlModifier, "un deux troisdeux"},
      {4, Qt::NoModifier, "un deux trois"},  // onto itself: nothing moves
  };
  for (const Row& r : rows) {
    QWidget top;
    auto* view = new DraggingView;
    (new QVBoxLayout(&top))->addWidget(view);
    top.resize(400, 200);
    top.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
    QFont font = view->font();
    font.setPixelSize(20);
    view->setFont(font);
    view->insertText(QStringLiteral("un deux trois"));
    QSignalSpy changes(view, &MemoView::textChanged);
    view->setSelection(3, 7);
    const auto point = [&](int64_t pos) {
      const QRectF rect = view->positionRect(pos);
      return QPoint(int(rect.left()) + 1, int(rect.center().y()));
    };
    view->dropAt = point(r.dropBefore);
    view->dropModifiers = r.mods;
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, point(5));
    QTest::mouseMove(view->viewport(), point(5) + QPoint(30, 0));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->dropAt);
    EXPECT_EQ(MemoView::decode(view->store().text()), QString::fromLatin1(r.text)) << r.dropBefore;
    EXPECT_EQ(changes.count(), std::string_view(r.text) == "un deux trois" ? 0 : 1) << r.dropBefore;
  }
}

TEST(MemoViewAccessibility, ScreenReadersReadTheTextCaretAndSelectionAndEditThem) {
  Shown w;
  w.memo->SetText(QStringLiteral("un deux\r\ntrois"));
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w.view);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::EditableText);
  EXPECT_TRUE(iface->state().multiLine);
  EXPECT_TRUE(iface->state().editable);
  QAccessibleTextInterface* text = iface->textInterface();
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->characterCount(), 14);
  EXPECT_EQ(text->text(3, 7), QStringLiteral("deux"));
  EXPECT_EQ(iface->text(QAccessible::Value), w.memo->Text());
  int start = 0, end = 0;
  EXPECT_EQ(text->textAtOffset(4, QAccessible::LineBoundary, &start, &end),
            QStringLiteral("un deux\r\n"));
  EXPECT_EQ(text->textAtOffset(4, QAccessible::WordBoundary, &start, &end), QStringLiteral("deux"));
  EXPECT_EQ(std::pair(start, end), std::pair(3, 7));
  EXPECT_EQ(text->textAfterOffset(4, QAccessible::LineBoundary, &start, &end),
            QStringLiteral("trois"));
  EXPECT_EQ(text->textBeforeOffset(10, QAccessible::LineBoundary, &start, &end),
            QStringLiteral("un deux\r\n"));
  EXPECT_EQ(text->textAtOffset(12, QAccessible::CharBoundary, &start, &end), QStringLiteral("i"));

  QTest::keyClick(w.view, Qt::Key_Right);
  QTest::keyClick(w.view, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(text->cursorPosition(), 2);
  ASSERT_EQ(text->selectionCount(), 1);
  text->selection(0, &start, &end);
  EXPECT_EQ(std::pair(start, end), std::pair(1, 2));

  // The reader moves the caret, selects and edits too.
  text->setCursorPosition(9);
  EXPECT_EQ(w.memo->SelStart(), 9);
  EXPECT_EQ(text->selectionCount(), 0);
  text->setSelection(0, 0, 2);
  EXPECT_EQ(w.memo->SelText(), QStringLiteral("un"));
  iface->editableTextInterface()->replaceText(9, 14, QStringLiteral("quatre\u0151"));
  EXPECT_EQ(w.memo->Text(), QStringLiteral("un deux\r\nquatre&#337;"));
  iface->editableTextInterface()->deleteText(0, 3);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("deux\r\nquatre&#337;"));
  const QRect r = text->characterRect(1);
  EXPECT_GT(r.width(), 0);
  EXPECT_EQ(text->offsetAtPoint(QPoint(r.left() + 1, r.center().y())), 1);
}

TEST(MemoViewAccessibility, ScreenReadersHearCaretSelectionAndTextChanges) {
  std::vector<std::pair<QAccessible::Event, QString>> events;
  MemoAccessible::setListener([&](QAccessibleEvent* e) {
    QString detail;
    switch (e->type()) {
      case QAccessible::TextCaretMoved:
        detail = QString::number(static_cast<QAccessibleTextCursorEvent*>(e)->cursorPosition());
        break;
      case QAccessible::TextInserted: {
        auto* inserted = static_cast<QAccessibleTextInsertEvent*>(e);
        detail = inserted->textInserted() + "@" + QString::number(inserted->changePosition());
        break;
      }
      case QAccessible::TextRemoved: {
        auto* removed = static_cast<QAccessibleTextRemoveEvent*>(e);
        detail = removed->textRemoved() + "@" + QString::number(removed->changePosition());
        break;
      }
      case QAccessible::TextSelectionChanged: {
        auto* selected = static_cast<QAccessibleTextSelectionEvent*>(e);
        detail = QString::number(selected->selectionStart()) + "-" +
                 QString::number(selected->selectionEnd());
        break;
      }
      default:
        return;
    }
    EXPECT_EQ(e->object(), QApplication::focusWidget());
    events.push_back({e->type(), detail});
  });
  {
    Shown w;
    w.memo->SetText(QStringLiteral("un deux\r\ntrois"));
    events.clear();
    QTest::keyClick(w.view, Qt::Key_Right);
    QTest::keyClick(w.view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(w.view, Qt::Key_X);
    QTest::keyClick(w.view, Qt::Key_Return);
    QTest::keyClick(w.view, Qt::Key_Backspace);
    using A = QAccessible;
    const std::vector<std::pair<A::Event, QString>> expected = {
        {A::TextCaretMoved, "1"},    {A::TextCaretMoved, "2"}, {A::TextSelectionChanged, "1-2"},
        {A::TextRemoved, "n@1"},     {A::TextInserted, "x@1"}, {A::TextSelectionChanged, "2-2"},
        {A::TextInserted, "\r\n@2"}, {A::TextCaretMoved, "4"}, {A::TextRemoved, "\r\n@2"},
        {A::TextCaretMoved, "2"}};
    EXPECT_EQ(events, expected);
  }
  MemoAccessible::setListener(nullptr);
}

TEST(MemoViewColours, TheProviderColoursTheVisibleCharactersOnce) {
  Shown w(QSize(300, 120));
  QFont font = w.memo->MemoFont();
  font.setPixelSize(30);
  w.memo->SetMemoFont(font);
  w.memo->SetText(lines(50, QStringLiteral("MMMM WWWW ")));
  std::vector<std::pair<int64_t, int64_t>> asked;
  // "WWWW" of every line: red on yellow; "MMMM" of line 1: underlined.
  w.memo->SetColourProvider([&](int64_t from, int64_t to) {
    asked.push_back({from, to});
    std::vector<ColourRun> runs;
    for (qint64 line = w.memo->LineOfPosition(from); line <= w.memo->LineOfPosition(to); ++line) {
      const qint64 start = w.memo->LineStart(line);
      runs.push_back({start + 5, start + 9, QColor(Qt::red), QColor(Qt::yellow), false});
      if (line == 1) runs.push_back({start, start + 4, QColor(), QColor(), true});
    }
    return runs;
  });
  QApplication::processEvents();
  const QImage shot = w.vp->grab().toImage();
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back().first, 0);
  EXPECT_LT(asked.back().second, w.memo->Text().size());  // the screen, not the text
  EXPECT_GE(w.memo->LineOfPosition(asked.back().second), shot.height() / w.view->rowHeight() - 1);

  const auto colours = [&](QRectF r) {
    QSet<QRgb> found;
    for (int y = int(r.top()) + 1; y < int(r.bottom()) - 1; ++y)
      for (int x = int(r.left()) + 1; x < int(r.right()) - 1; ++x)
        found.insert(shot.pixel(x, y) & 0xFFFFFF);
    return found;
  };
  const QRectF plain = w.view->positionRect(0).united(w.view->positionRect(4));
  const QRectF coloured = w.view->positionRect(5).united(w.view->positionRect(9));
  const QSet<QRgb> inRun = colours(coloured);
  EXPECT_TRUE(inRun.contains(QColor(Qt::yellow).rgb() & 0xFFFFFF));
  EXPECT_TRUE(inRun.contains(QColor(Qt::red).rgb() & 0xFFFFFF));
  // Drawn once in its colours: no black of a first drawing shows under the red.
  for (const QRgb c : inRun) EXPECT_GT(qRed(c), 100) << std::hex << c;
  const QSet<QRgb> outside = colours(plain);
  EXPECT_FALSE(outside.contains(QColor(Qt::yellow).rgb() & 0xFFFFFF));
  EXPECT_TRUE(outside.contains(0));  // black text

  // The underline of line 1 lies below the baseline, where capitals leave nothing dark.
  const int ascent = QFontMetrics(font).ascent();
  const auto darkBelowBaseline = [&](QRectF r) {
    int dark = 0;
    for (int y = int(r.top()) + ascent + 1; y < int(r.bottom()); ++y)
      for (int x = int(r.left()) + 1; x < int(r.right()) - 1; ++x)
        dark += qGray(shot.pixel(x, y)) < 100;
    return dark;
  };
  EXPECT_GT(darkBelowBaseline(w.view->positionRect(13).united(w.view->positionRect(17))),
            w.view->positionRect(17).left() - w.view->positionRect(13).left() - 4);
  EXPECT_EQ(darkBelowBaseline(w.view->positionRect(0).united(w.view->positionRect(4))), 0);

  // The selection comes over the runs in its own colours.
  w.memo->SetSelStart(5);
  w.memo->SetSelLength(4);
  QApplication::processEvents();
  const QImage selected = w.vp->grab().toImage();
  const QColor highlight = w.view->palette().color(QPalette::Highlight);
  EXPECT_EQ(selected.pixel(int(coloured.center().x()), int(coloured.top()) + 2) & 0xFFFFFF,
            highlight.rgb() & 0xFFFFFF);
}

// Runs that touch one another: each character in its own run's colour, none left black.
TEST(MemoViewColours, TouchingRunsEachKeepTheirColour) {
  Shown w(QSize(400, 120));
  QFont font = w.memo->MemoFont();
  font.setPixelSize(30);
  w.memo->SetMemoFont(font);
  w.memo->SetText(QStringLiteral("MWMWMWMW"));
  const QColor colours[] = {QColor(Qt::red), QColor(Qt::blue)};
  w.memo->SetColourProvider([&](int64_t, int64_t) {
    std::vector<ColourRun> runs;
    for (int64_t p = 0; p < 8; ++p) runs.push_back({p, p + 1, colours[p % 2], QColor(), false});
    return runs;
  });
  QApplication::processEvents();
  const QImage shot = w.vp->grab().toImage();
  for (int p = 0; p < 8; ++p) {
    const QRectF cell = w.view->positionRect(p).united(w.view->positionRect(p + 1));
    int inked = 0, wrong = 0;
    for (int y = int(cell.top()) + 1; y < int(cell.bottom()) - 1; ++y)
      for (int x = int(cell.left()) + 2; x < int(cell.right()) - 2; ++x) {
        const QColor c = shot.pixelColor(x, y);
        if (qGray(c.rgb()) > 200) continue;
        ++inked;
        const int own = p % 2 ? c.blue() : c.red();
        wrong += own < 150;
      }
    EXPECT_GT(inked, 10) << p;
    EXPECT_EQ(wrong, 0) << p;
  }
}

TEST(MemoViewPaint, TheSelectionStaysInItsColoursWithoutTheFocus) {
  Shown w;
  w.memo->SetText(QStringLiteral("MMMMMMMM"));
  w.memo->SelectAll();
  const auto colourAt = [&] {
    const QImage shot = w.vp->grab().toImage();
    const QRectF r = w.view->positionRect(2);
    return QColor(shot.pixel(int(r.left()) + 2, int(r.top()) + 1));
  };
  const QColor focused = colourAt();
  EXPECT_EQ(focused, w.view->palette().color(QPalette::Active, QPalette::Highlight));
  auto* other = new QLineEdit(&w.top);
  other->show();
  other->setFocus();
  QApplication::processEvents();
  ASSERT_FALSE(w.view->hasFocus());
  EXPECT_EQ(colourAt(), focused);
}

TEST(MemoViewPaint, TypingInsideALineRepaintsThatLineAlone) {
  // Records the areas that the viewport repaints.
  struct Painted : QObject {
    QRegion region;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) region += static_cast<QPaintEvent*>(e)->region();
      return false;
    }
  };
  Shown w;
  w.memo->SetText(lines(10));
  w.memo->SetSelStart(w.memo->LineStart(3) + 2);
  QApplication::processEvents();
  Painted painted;
  w.vp->installEventFilter(&painted);
  const int h = w.view->rowHeight();
  const auto typed = [&](Qt::Key key) {
    painted.region = QRegion();
    QTest::keyClick(w.view, key);
    QApplication::processEvents();
    return painted.region.boundingRect();
  };
  const QRect letter = typed(Qt::Key_X);
  EXPECT_GE(letter.top(), 3 * h);
  EXPECT_LE(letter.bottom(), 4 * h);
  const QRect arrow = typed(Qt::Key_Right);
  EXPECT_GE(arrow.top(), 3 * h);
  EXPECT_LE(arrow.bottom(), 4 * h);
  const QRect enter = typed(Qt::Key_Return);  // the lines below move
  EXPECT_GE(enter.bottom(), w.vp->height() - 1);
  EXPECT_EQ(w.memo->Line(3), QStringLiteral("lixg"));
  w.vp->removeEventFilter(&painted);
}
