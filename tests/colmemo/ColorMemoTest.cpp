// The source view, driven through its public interface and, for typing, pasting and the mouse,
// through real key, mouse and drop events on the text widget inside it.
#include <gtest/gtest.h>

#include <functional>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "Cp1252.h"

namespace {

QPlainTextEdit* textWidget(TColorMemo& memo) { return memo.findChild<QPlainTextEdit*>(); }

void type(QWidget* w, const QString& text) {
  for (const QChar c : text)
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A memo inside a shown, active window, so that focus and shortcuts behave as in the program.
struct Window {
  QWidget top;
  TColorMemo* memo;
  QPlainTextEdit* edit;
  Window() : memo(new TColorMemo(&top)) {
    auto* layout = new QVBoxLayout(&top);
    layout->addWidget(memo);
    top.resize(400, 300);
    top.show();
    top.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&top));
    memo->FocusText();
    edit = textWidget(*memo);
  }
};

}  // namespace

TEST(ColorMemoPositions, LineBreaksCountTwoAndOddPositionsAreClamped) {
  // "ab" CR LF "cd" CR LF CR LF "e": the breaks take positions 2-3, 6-7 and 8-9, "e" is 10.
  TColorMemo memo;
  memo.SetText(QStringLiteral("ab\r\ncd\r\n\r\ne"));
  ASSERT_EQ(memo.Text().size(), 11);
  struct Row {
    int set;
    int expected;
  };
  const Row rows[] = {
      {0, 0},  {1, 1},  {2, 2},
      {3, 2},  // between the CR and the LF: the end of the line
      {4, 4},  {6, 6},
      {7, 6},  {8, 8},
      {9, 8},  // between the CR and LF of the empty line
      {10, 10}, {11, 11},
      {12, 11}, {100000, 11}, {-5, 0}, {INT_MAX, 11}, {INT_MIN, 0},
  };
  for (const Row& r : rows) {
    memo.SetSelStart(r.set);
    EXPECT_EQ(memo.SelStart(), r.expected) << "SetSelStart(" << r.set << ")";
    EXPECT_EQ(memo.SelLength(), 0) << "SetSelStart(" << r.set << ")";
  }
}

TEST(ColorMemoPositions, SelectionLengthCountsBreaksAsTwoAndCoversAWholeBreak) {
  TColorMemo memo;
  memo.SetText(QStringLiteral("ab\r\ncd\r\n\r\ne"));
  struct Row {
    int start, length;
    int selStart, selLength;
    const char* selText;
  };
  const Row rows[] = {
      {0, 2, 0, 2, "ab"},
      {0, 4, 0, 4, "ab\r\n"},
      {0, 3, 0, 4, "ab\r\n"},  // half a break selects all of it
      {1, 5, 1, 5, "b\r\ncd"},
      {4, 7, 4, 7, "cd\r\n\r\ne"},
      {4, 1000, 4, 7, "cd\r\n\r\ne"},  // past the end: up to the end
      {2, 0, 2, 0, ""},
      {2, -3, 2, 0, ""},
      {3, 2, 2, 2, "\r\n"},  // a start between CR and LF goes back to the line's end
      {10, INT_MAX, 10, 1, "e"},
  };
  for (const Row& r : rows) {
    memo.SetSelStart(r.start);
    memo.SetSelLength(r.length);
    EXPECT_EQ(memo.SelStart(), r.selStart) << r.start << "," << r.length;
    EXPECT_EQ(memo.SelLength(), r.selLength) << r.start << "," << r.length;
    EXPECT_EQ(memo.SelText(), QString::fromLatin1(r.selText)) << r.start << "," << r.length;
  }
}

TEST(ColorMemoPositions, PositionsFollowEditsAndMatchText) {
  // Each position reported must index the same character in Text() after a mix of edits.
  TColorMemo memo;
  memo.SetLines({QStringLiteral("<a>"), QString(), QStringLiteral("<b>x</b>"), QStringLiteral("</a>")});
  memo.SetSelStart(memo.Text().indexOf(QStringLiteral("x")));
  memo.SetSelLength(1);
  memo.SetSelText(QStringLiteral("un\ndeux"));
  const QString text = memo.Text();
  EXPECT_EQ(text, QStringLiteral("<a>\r\n\r\n<b>un\r\ndeux</b>\r\n</a>"));
  EXPECT_EQ(memo.SelStart(), text.indexOf(QStringLiteral("</b>")));
  memo.SetSelStart(text.indexOf(QStringLiteral("</a>")));
  memo.SetSelLength(4);
  EXPECT_EQ(memo.SelText(), QStringLiteral("</a>"));
}

TEST(ColorMemoText, AnyLineBreaksBecomeCrLfLines) {
  struct Row {
    const char* in;
    const char* text;
    int lines;
  };
  const Row rows[] = {
      {"", "", 1},
      {"a", "a", 1},
      {"a\r\nb", "a\r\nb", 2},
      {"a\nb", "a\r\nb", 2},
      {"a\rb", "a\r\nb", 2},
      {"a\n\rb", "a\r\nb", 2},        // LF CR is one break
      {"a\r\r\nb", "a\r\n\r\nb", 3},  // a lone CR, then CR LF
      {"a\n\nb", "a\r\n\r\nb", 3},
      {"a\r\n", "a\r\n", 2},  // a final break leaves an empty last line
      {"\r\n\r\n", "\r\n\r\n", 3},
  };
  for (const Row& r : rows) {
    TColorMemo memo;
    memo.SetText(QString::fromLatin1(r.in));
    EXPECT_EQ(memo.Text(), QString::fromLatin1(r.text)) << r.in;
    EXPECT_EQ(memo.LineCount(), r.lines) << r.in;
    EXPECT_EQ(memo.Lines(), memo.Text().split(QStringLiteral("\r\n"))) << r.in;
  }
}

TEST(ColorMemoText, LinesRoundTripAndAreNeverWrappedRows) {
  TColorMemo memo;
  memo.resize(120, 200);
  memo.show();
  const QStringList lines = {QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<body>"),
                             QString(),
                             QStringLiteral("un texte bien plus long que la largeur du contrôle, "
                                            "qui se replie sur plusieurs rangées"),
                             QStringLiteral("</body>")};
  memo.SetLines(lines);
  QApplication::processEvents();
  EXPECT_EQ(memo.Lines(), lines);
  EXPECT_EQ(memo.LineCount(), 5);
  EXPECT_EQ(memo.Line(3), lines[3]);
  EXPECT_EQ(memo.Line(5), QString());
  EXPECT_EQ(memo.Line(-1), QString());
  EXPECT_EQ(memo.Text(), lines.join(QStringLiteral("\r\n")));

  memo.SetLines({});
  EXPECT_EQ(memo.Lines(), QStringList{QString()});
  memo.SetLines({QStringLiteral("a\r\nb"), QStringLiteral("c")});  // a line holding a break splits
  EXPECT_EQ(memo.Lines(), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
  memo.Clear();
  EXPECT_EQ(memo.Text(), QString());
  EXPECT_EQ(memo.LineCount(), 1);
}

TEST(ColorMemoText, EveryWindows1252CharacterSurvivesUnchanged) {
  // All 256 byte values but CR and LF, NUL, C1 controls and the no-break space included: a file
  // opened and saved unchanged must stay identical.
  QByteArray bytes;
  for (int b = 0; b < 256; ++b)
    if (b != '\r' && b != '\n') bytes.append(char(b));
  const QString line = cp1252::decode(bytes);
  const QString text = line + QStringLiteral("\r\n") + line;

  TColorMemo memo;
  memo.SetText(text);
  EXPECT_EQ(cp1252::encode(memo.Text()), bytes + "\r\n" + bytes);
  EXPECT_EQ(memo.Lines(), (QStringList{line, line}));
  EXPECT_EQ(memo.Line(1), line);
  memo.SelectAll();
  EXPECT_EQ(memo.SelText(), text);

  // Through the clipboard as well: copy and paste give the same characters back.
  memo.CopyToClipboard();
  memo.SetSelStart(memo.Text().size());
  memo.PasteFromClipboard();
  EXPECT_EQ(memo.Text(), text + text);
}

TEST(ColorMemoText, CharactersWindows1252CannotHoldBecomeReferences) {
  struct Row {
    QString in;
    QString out;
  };
  const Row rows[] = {
      {QStringLiteral("a\u0151b"), QStringLiteral("a&#337;b")},
      {QStringLiteral("\u20AC \u0153 \u2019"), QStringLiteral("\u20AC \u0153 \u2019")},  // held
      {QString::fromUcs4(U"x\U0001F600y"), QStringLiteral("x&#128512;y")},
      {QStringLiteral("\u2028|\u2029|\uFFFC|\u0080"),
       QStringLiteral("&#8232;|&#8233;|&#65532;|&#128;")},
  };
  for (const Row& r : rows) {
    TColorMemo memo;
    memo.SetText(r.in);
    EXPECT_EQ(memo.Text(), r.out) << r.in.toStdString();
    EXPECT_EQ(memo.LineCount(), 1) << r.in.toStdString();
    memo.SelectAll();
    memo.SetSelText(r.in + QStringLiteral("\n") + r.in);
    EXPECT_EQ(memo.Text(), r.out + QStringLiteral("\r\n") + r.out) << r.in.toStdString();
  }
}

TEST(ColorMemoEditing, SetSelTextReplacesTheSelectionAndLeavesTheCaretAfterIt) {
  struct Row {
    int start, length;
    const char* insert;
    const char* text;
    int caret;
  };
  const Row rows[] = {
      {0, 0, "<x>", "<x>ab\r\ncd", 3},
      {2, 0, "\r\n", "ab\r\n\r\ncd", 4},
      {1, 4, "Z", "aZd", 2},                  // across the break
      {0, 6, "1\n2\r3", "1\r\n2\r\n3", 7},    // any break form, caret after the last one
      {6, 0, "!", "ab\r\ncd!", 7},
      {1, 1, "", "a\r\ncd", 1},               // an empty text deletes the selection
      {1, 2, "", "acd", 1},                   // a selection ending inside a break takes it all
  };
  for (const Row& r : rows) {
    TColorMemo memo;
    memo.SetText(QStringLiteral("ab\r\ncd"));
    memo.SetSelStart(r.start);
    memo.SetSelLength(r.length);
    memo.SetSelText(QString::fromLatin1(r.insert));
    EXPECT_EQ(memo.Text(), QString::fromLatin1(r.text)) << r.insert;
    EXPECT_EQ(memo.SelStart(), r.caret) << r.insert;
    EXPECT_EQ(memo.SelLength(), 0) << r.insert;
  }
}

TEST(ColorMemoEditing, SetSelTextIsOneChange) {
  TColorMemo memo;
  memo.SetText(QStringLiteral("abc\r\ndef"));
  memo.SelectAll();
  QSignalSpy changes(&memo, &TColorMemo::Change);
  memo.SetSelText(QStringLiteral("x\r\ny\r\nz"));
  EXPECT_EQ(changes.count(), 1);
}

TEST(ColorMemoEditing, ModifiedIsSetByEveryChangeAndClearedOnlyOnRequest) {
  const std::vector<std::pair<const char*, std::function<void(Window&)>>> changes = {
      {"SetText", [](Window& w) { w.memo->SetText(QStringLiteral("autre")); }},
      {"SetLines", [](Window& w) { w.memo->SetLines({QStringLiteral("a"), QStringLiteral("b")}); }},
      {"SetSelText", [](Window& w) { w.memo->SetSelText(QStringLiteral("x")); }},
      {"Clear", [](Window& w) { w.memo->Clear(); }},
      {"typing", [](Window& w) { QTest::keyClick(w.edit, Qt::Key_A); }},
      {"Enter", [](Window& w) { QTest::keyClick(w.edit, Qt::Key_Return); }},
      {"Backspace",
       [](Window& w) {
         w.memo->SetSelStart(3);
         QTest::keyClick(w.edit, Qt::Key_Backspace);
       }},
      {"cut",
       [](Window& w) {
         w.memo->SelectAll();
         w.memo->CutToClipboard();
       }},
      {"paste",
       [](Window& w) {
         QApplication::clipboard()->setText(QStringLiteral("collé"));
         w.memo->PasteFromClipboard();
       }},
  };
  const std::vector<std::pair<const char*, std::function<void(Window&)>>> keeps = {
      {"caret", [](Window& w) { w.memo->SetSelStart(2); }},
      {"selection", [](Window& w) { w.memo->SelectAll(); }},
      {"copy",
       [](Window& w) {
         w.memo->SelectAll();
         w.memo->CopyToClipboard();
       }},
      {"arrow key", [](Window& w) { QTest::keyClick(w.edit, Qt::Key_Right); }},
      {"font", [](Window& w) { w.memo->SetMemoFont(QFont(QStringLiteral("Arial"))); }},
  };
  for (const auto& [name, change] : changes) {
    Window w;
    w.memo->SetText(QStringLiteral("texte"));
    EXPECT_TRUE(w.memo->Modified()) << name;
    w.memo->SetModified(false);
    change(w);
    EXPECT_TRUE(w.memo->Modified()) << name;
    EXPECT_TRUE(w.memo->Modified()) << name << " (read twice)";
  }
  for (const auto& [name, action] : keeps) {
    Window w;
    w.memo->SetText(QStringLiteral("texte"));
    w.memo->SetModified(false);
    action(w);
    EXPECT_FALSE(w.memo->Modified()) << name;
  }
}

TEST(ColorMemoTyping, UnrepresentableCharactersTypedBecomeReferences) {
  Window w;
  w.memo->SetText(QStringLiteral("<p></p>"));
  w.memo->SetSelStart(3);
  type(w.edit, QStringLiteral("é\u0151É\u20AC"));
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<p>é&#337;É\u20AC</p>"));
  EXPECT_EQ(w.memo->SelStart(), 12);

  // Over a selection, the reference replaces it.
  w.memo->SetSelStart(3);
  w.memo->SetSelLength(1);
  type(w.edit, QStringLiteral("\u03A9"));
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<p>&#937;&#337;É\u20AC</p>"));
}

TEST(ColorMemoTyping, PastedAndDroppedCharactersBecomeReferences) {
  const QString clip = QStringLiteral("x\u0151\ny\r\u2603");
  const QString expected = QStringLiteral("x&#337;\r\ny\r\n&#9731;");
  {
    TColorMemo memo;
    QApplication::clipboard()->setText(clip);
    memo.PasteFromClipboard();
    EXPECT_EQ(memo.Text(), expected);
    EXPECT_EQ(memo.SelStart(), expected.size());
  }
  {
    Window w;
    QApplication::clipboard()->setText(clip);
    QTest::keyClick(w.edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w.memo->Text(), expected);
  }
  {
    Window w;
    w.memo->SetText(QStringLiteral("ab"));
    QMimeData data;
    data.setText(clip);
    QWidget* vp = w.edit->viewport();
    const QPoint at(2, 2);  // before "a"
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &drop);
    EXPECT_EQ(w.memo->Text(), expected + QStringLiteral("ab"));
  }
}

TEST(ColorMemoTyping, KeyPressComesBeforeTheTextAndMaySwallowIt) {
  Window w;
  w.memo->SetText(QStringLiteral("<a>"));
  w.memo->SetSelStart(3);
  QStringList seen;
  QObject::connect(w.memo, &TColorMemo::KeyPress, [&](QKeyEvent* e, bool* handled) {
    seen << w.memo->Text();
    if (e->key() == Qt::Key_Return) w.memo->SetSelText(QStringLiteral("</a>"));
    if (e->text() == QStringLiteral("é")) {
      w.memo->SetSelText(QStringLiteral("&#233;"));
      *handled = true;
    }
  });
  QTest::keyClick(w.edit, Qt::Key_Return);
  type(w.edit, QStringLiteral("é"));
  QTest::keyClick(w.edit, Qt::Key_B);
  QTest::keyClick(w.edit, Qt::Key_Left);  // moves the caret, types nothing: no KeyPress
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<a></a>\r\n&#233;b"));
  EXPECT_EQ(seen, (QStringList{QStringLiteral("<a>"), QStringLiteral("<a></a>\r\n"),
                               QStringLiteral("<a></a>\r\n&#233;")}));
}

TEST(ColorMemoTyping, TabMovesTheFocusInsteadOfTyping) {
  Window w;
  auto* next = new QPlainTextEdit(&w.top);
  w.top.layout()->addWidget(next);
  next->show();
  w.memo->SetText(QStringLiteral("ab"));
  w.memo->SetModified(false);
  w.memo->FocusText();
  ASSERT_TRUE(w.edit->hasFocus());
  int keyPresses = 0;
  QObject::connect(w.memo, &TColorMemo::KeyPress, [&](QKeyEvent*, bool*) { ++keyPresses; });
  QTest::keyClick(w.edit, Qt::Key_Tab);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("ab"));
  EXPECT_FALSE(w.memo->Modified());
  EXPECT_EQ(keyPresses, 0);
  EXPECT_TRUE(next->hasFocus());
}

TEST(ColorMemoTyping, WindowShortcutsWinOverTheWidgetsEditingKeys) {
  // The menu's Ctrl+V takes its undo snapshot first, so it must get the key, not the widget.
  Window w;
  int pasted = 0;
  auto* paste = new QAction(&w.top);
  paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  w.top.addAction(paste);
  QObject::connect(paste, &QAction::triggered, [&] { ++pasted; });
  QApplication::clipboard()->setText(QStringLiteral("collé"));
  w.memo->SetText(QStringLiteral("ab"));
  QTest::keyClick(w.edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(pasted, 1);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("ab"));

  paste->setEnabled(false);  // without a command, the widget pastes itself
  QTest::keyClick(w.edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(pasted, 1);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("colléab"));
}

TEST(ColorMemoMouse, MouseMoveReportsPointsOfTheMemoThatPositionAtUnderstands) {
  Window w;
  w.memo->SetInsets(3, 2, 3, 2);
  w.memo->SetLines({QStringLiteral("premier"), QStringLiteral("second"), QStringLiteral("troisième")});
  QApplication::processEvents();
  QList<QPoint> points;
  QObject::connect(w.memo, &TColorMemo::MouseMove,
                   [&](QMouseEvent* e) { points << e->position().toPoint(); });
  QWidget* vp = w.edit->viewport();
  // The middle of the second line, in viewport coordinates.
  QTextCursor c(w.edit->document()->findBlockByNumber(1));
  c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3);
  const QRect r = w.edit->cursorRect(c);
  const QPoint inViewport(r.left() + 1, r.center().y());
  QTest::mouseMove(vp, inViewport);
  ASSERT_FALSE(points.isEmpty());
  EXPECT_EQ(points.last(), vp->mapTo(w.memo, inViewport));
  EXPECT_EQ(w.memo->PositionAt(points.last()), 9 + 3);  // "premier" CR LF, then 3 characters
  EXPECT_EQ(w.memo->PositionAt(QPoint(-50, -50)), 0);
  EXPECT_EQ(w.memo->PositionAt(QPoint(10000, 10000)), w.memo->Text().size());
}

TEST(ColorMemoDefaults, FontWrapAndInsetsAreThoseOfTheSourceView) {
  TColorMemo memo;
  EXPECT_EQ(memo.MemoFont().family(), QStringLiteral("Times New Roman"));
  EXPECT_EQ(memo.MemoFont().pixelSize(), 17);
  EXPECT_TRUE(memo.WordWrap());
  EXPECT_EQ(memo.Text(), QString());
  EXPECT_EQ(memo.LineCount(), 1);
  EXPECT_FALSE(memo.Modified());

  memo.resize(300, 200);
  memo.show();
  memo.SetInsets(3, 2, 3, 2);
  QApplication::processEvents();
  QPlainTextEdit* edit = textWidget(memo);
  EXPECT_EQ(edit->viewport()->geometry().left(), edit->contentsRect().left() + 3);
  EXPECT_EQ(edit->viewport()->geometry().top(), edit->contentsRect().top() + 2);

  memo.SetWordWrap(false);
  EXPECT_FALSE(memo.WordWrap());
  QFont big(QStringLiteral("Arial"));
  big.setPixelSize(30);
  memo.SetMemoFont(big);
  EXPECT_EQ(memo.MemoFont().pixelSize(), 30);
}

TEST(ColorMemoLarge, OneLineOfAMegabyteLoadsShowsAndTakesTyping) {
  Window w;
  QString line;
  line.reserve(1 << 20);
  while (line.size() < (1 << 20)) line += QStringLiteral("<mot attr=\"é\">texte</mot> ");
  w.memo->SetText(line);
  QApplication::processEvents();
  EXPECT_EQ(w.memo->LineCount(), 1);
  w.memo->SetSelStart(INT_MAX);
  EXPECT_EQ(w.memo->SelStart(), line.size());
  w.memo->ScrollCaret();
  QTest::keyClick(w.edit, Qt::Key_Z);
  QApplication::processEvents();
  EXPECT_EQ(w.memo->Text().size(), line.size() + 1);
  EXPECT_TRUE(w.memo->Text().endsWith(QStringLiteral("z")));
}
