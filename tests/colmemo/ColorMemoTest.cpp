// The source view, driven through its public interface and, for typing, pasting and the mouse,
// through real key, mouse and drop events on the widget that takes its focus.
#include <gtest/gtest.h>

#include <functional>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "Cp1252.h"

namespace {

// Non-ASCII keys go through sendKeyEvent: QTest::keyClicks aborts on them.
void type(QWidget* w, const QString& text) {
  for (const QChar c : text)
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A memo inside a shown, active window, so that focus and shortcuts behave as in the program.
struct Window {
  QWidget top;
  TColorMemo* memo = new TColorMemo(&top);
  QWidget* edit = memo->focusProxy();
  Window() {
    (new QVBoxLayout(&top))->addWidget(memo);
    top.resize(400, 300);
    top.show();
    top.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&top));
    memo->FocusText();
  }
};

}  // namespace

TEST(ColorMemoPositions, LineBreaksCountTwoAndOddPositionsAreClamped) {
  // "ab" CR LF "cd" CR LF CR LF "e": the breaks take positions 2-3, 6-7 and 8-9, "e" is 10.
  TColorMemo memo;
  memo.SetText(QStringLiteral("ab\r\ncd\r\n\r\ne"));
  const int rows[][2] = {
      {0, 0}, {2, 2}, {3, 2} /* between CR and LF: the line's end */, {4, 4}, {7, 6}, {8, 8},
      {9, 8}, {10, 10}, {11, 11}, {12, 11}, {-5, 0}, {INT_MAX, 11}, {INT_MIN, 0}};
  for (const auto& [set, expected] : rows) {
    memo.SetSelStart(set);
    EXPECT_EQ(memo.SelStart(), expected) << "SetSelStart(" << set << ")";
    EXPECT_EQ(memo.SelLength(), 0) << "SetSelStart(" << set << ")";
  }
}

TEST(ColorMemoPositions, SelectionLengthCountsBreaksAsTwoAndCoversAWholeBreak) {
  TColorMemo memo;
  memo.SetText(QStringLiteral("ab\r\ncd\r\n\r\ne"));
  struct Row {
    int start, length, selStart, selLength;
    const char* selText;
  };
  const Row rows[] = {
      {0, 2, 0, 2, "ab"},
      {0, 3, 0, 4, "ab\r\n"},  // half a break selects all of it
      {1, 5, 1, 5, "b\r\ncd"},
      {4, 1000, 4, 7, "cd\r\n\r\ne"},  // past the end: up to the end
      {2, -3, 2, 0, ""},
      {3, 2, 2, 2, "\r\n"},  // the start went back to the line's end first
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

TEST(ColorMemoText, AnyLineBreaksBecomeCrLfLines) {
  const char* const rows[][2] = {
      {"", ""},           {"a\r\nb", "a\r\nb"},     {"a\nb", "a\r\nb"},
      {"a\rb", "a\r\nb"}, {"a\n\rb", "a\r\nb"} /* LF CR is one break */,
      {"a\r\r\nb", "a\r\n\r\nb"} /* a lone CR, then CR LF */,
      {"a\r\n", "a\r\n"} /* a final break leaves an empty last line */};
  for (const auto& [in, text] : rows) {
    TColorMemo memo;
    memo.SetText(QString::fromLatin1(in));
    EXPECT_EQ(memo.Text(), QString::fromLatin1(text)) << in;
    EXPECT_EQ(memo.Lines(), memo.Text().split(QStringLiteral("\r\n"))) << in;
    EXPECT_EQ(memo.LineCount(), memo.Lines().size()) << in;
  }
}

TEST(ColorMemoText, LinesRoundTripAndAreNeverWrappedRows) {
  TColorMemo memo;
  memo.resize(120, 200);
  memo.show();
  const QStringList lines = {QStringLiteral("<body>"), QString(),
                             QStringLiteral("un texte bien plus long que la largeur du contrôle, "
                                            "qui se replie sur plusieurs rangées"),
                             QStringLiteral("</body>")};
  memo.SetLines(lines);
  QApplication::processEvents();
  EXPECT_EQ(memo.Lines(), lines);
  EXPECT_EQ(memo.LineCount(), 4);
  EXPECT_EQ(memo.Line(2), lines[2]);
  EXPECT_EQ(memo.Line(4), QString());
  EXPECT_EQ(memo.Line(-1), QString());

  memo.SetLines({QStringLiteral("a\r\nb"), QStringLiteral("c")});  // a line holding a break splits
  EXPECT_EQ(memo.Lines(), (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
  memo.SetLines({});
  EXPECT_EQ(memo.Lines(), QStringList{QString()});
}

TEST(ColorMemoText, EveryWindows1252CharacterSurvivesUnchanged) {
  // All byte values but CR and LF, NUL, C1 controls and the no-break space included: a file
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
  memo.SelectAll();
  EXPECT_EQ(memo.SelText(), text);
  // Through the clipboard as well.
  memo.CopyToClipboard();
  memo.SetSelStart(INT_MAX);
  memo.PasteFromClipboard();
  EXPECT_EQ(memo.Text(), text + text);
}

TEST(ColorMemoText, CharactersWindows1252CannotHoldBecomeReferences) {
  const QString rows[][2] = {
      {QStringLiteral("a\u0151b"), QStringLiteral("a&#337;b")},
      {QStringLiteral("\u20AC\u0153\u2019"), QStringLiteral("\u20AC\u0153\u2019")},  // held
      {QString::fromUcs4(U"x\U0001F600y"), QStringLiteral("x&#128512;y")},
      {QStringLiteral("\u2028|\u2029|\uFFFC|\u0080"),
       QStringLiteral("&#8232;|&#8233;|&#65532;|&#128;")},
  };
  for (const auto& [in, out] : rows) {
    TColorMemo memo;
    memo.SetText(in);
    EXPECT_EQ(memo.Text(), out) << in.toStdString();
    memo.SelectAll();
    memo.SetSelText(in + QStringLiteral("\n") + in);
    EXPECT_EQ(memo.Text(), out + QStringLiteral("\r\n") + out) << in.toStdString();
  }
}

TEST(ColorMemoEditing, SetSelTextReplacesTheSelectionAsOneChangeWithTheCaretAfterIt) {
  struct Row {
    int start, length;
    const char* insert;
    const char* text;
    int caret;
  };
  const Row rows[] = {
      {0, 0, "<x>", "<x>ab\r\ncd", 3},
      {1, 4, "Z", "aZd", 2},                // across the break
      {0, 6, "1\n2\r3", "1\r\n2\r\n3", 7},  // any break form, caret after the last one
      {1, 1, "", "a\r\ncd", 1},             // an empty text deletes the selection
      {1, 2, "", "acd", 1},                 // a selection ending inside a break takes it all
  };
  for (const Row& r : rows) {
    TColorMemo memo;
    memo.SetText(QStringLiteral("ab\r\ncd"));
    memo.SetSelStart(r.start);
    memo.SetSelLength(r.length);
    QSignalSpy changes(&memo, &TColorMemo::Change);
    memo.SetSelText(QString::fromLatin1(r.insert));
    EXPECT_EQ(memo.Text(), QString::fromLatin1(r.text)) << r.insert;
    EXPECT_EQ(memo.SelStart(), r.caret) << r.insert;
    EXPECT_EQ(memo.SelLength(), 0) << r.insert;
    EXPECT_EQ(changes.count(), 1) << r.insert;
  }
}

TEST(ColorMemoEditing, ModifiedIsSetByEveryChangeAndClearedOnlyOnRequest) {
  using Step = std::function<void(Window&)>;
  const std::vector<std::tuple<const char*, bool, Step>> rows = {
      {"SetText", true, [](Window& w) { w.memo->SetText(QStringLiteral("autre")); }},
      {"SetSelText", true, [](Window& w) { w.memo->SetSelText(QStringLiteral("x")); }},
      {"typing", true, [](Window& w) { QTest::keyClick(w.edit, Qt::Key_A); }},
      {"Enter", true, [](Window& w) { QTest::keyClick(w.edit, Qt::Key_Return); }},
      {"cut", true, [](Window& w) { w.memo->SelectAll(), w.memo->CutToClipboard(); }},
      {"paste", true, [](Window& w) { w.memo->PasteFromClipboard(); }},
      {"caret", false, [](Window& w) { w.memo->SetSelStart(2); }},
      {"copy", false, [](Window& w) { w.memo->SelectAll(), w.memo->CopyToClipboard(); }},
      {"arrow key", false, [](Window& w) { QTest::keyClick(w.edit, Qt::Key_Right); }},
  };
  for (const auto& [name, modifies, step] : rows) {
    Window w;
    QApplication::clipboard()->setText(QStringLiteral("collé"));
    w.memo->SetText(QStringLiteral("texte"));
    EXPECT_TRUE(w.memo->Modified()) << name;
    w.memo->SetModified(false);
    step(w);
    EXPECT_EQ(w.memo->Modified(), modifies) << name;
  }
}

TEST(ColorMemoTyping, UnrepresentableCharactersTypedPastedOrDroppedBecomeReferences) {
  Window w;
  w.memo->SetText(QStringLiteral("<p></p>"));
  w.memo->SetSelStart(3);
  type(w.edit, QStringLiteral("é\u0151É\u20AC"));
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<p>é&#337;É\u20AC</p>"));
  EXPECT_EQ(w.memo->SelStart(), 12);

  const QString clip = QStringLiteral("x\u0151\ny\r\u2603");
  const QString pasted = QStringLiteral("x&#337;\r\ny\r\n&#9731;");
  w.memo->SetText(QString());
  QApplication::clipboard()->setText(clip);
  QTest::keyClick(w.edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.memo->Text(), pasted);
  EXPECT_EQ(w.memo->SelStart(), pasted.size());

  w.memo->SetText(QStringLiteral("ab"));
  QMimeData data;
  data.setText(clip);
  const QPoint at(2, 2);  // before "a"
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  for (QEvent* e : std::initializer_list<QEvent*>{&enter, &move, &drop})
    QApplication::sendEvent(qobject_cast<QAbstractScrollArea*>(w.edit)->viewport(), e);
  EXPECT_EQ(w.memo->Text(), pasted + QStringLiteral("ab"));
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

TEST(ColorMemoTyping, TabMovesTheFocusAndWindowShortcutsWinOverEditingKeys) {
  Window w;
  auto* next = new QLineEdit(&w.top);
  w.top.layout()->addWidget(next);
  next->show();
  w.memo->SetText(QStringLiteral("ab"));
  int keyPresses = 0;
  QObject::connect(w.memo, &TColorMemo::KeyPress, [&](QKeyEvent*, bool*) { ++keyPresses; });
  QTest::keyClick(w.edit, Qt::Key_Tab);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("ab"));
  EXPECT_EQ(keyPresses, 0);
  EXPECT_TRUE(next->hasFocus());

  // The menu's Ctrl+V takes its undo snapshot first, so it must get the key, not the widget.
  w.memo->FocusText();
  int pasted = 0;
  auto* paste = new QAction(&w.top);
  paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  w.top.addAction(paste);
  QObject::connect(paste, &QAction::triggered, [&] { ++pasted; });
  QApplication::clipboard()->setText(QStringLiteral("collé"));
  QTest::keyClick(w.edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(pasted, 1);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("ab"));
  paste->setEnabled(false);  // without a command, the widget pastes itself
  QTest::keyClick(w.edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("colléab"));
}

TEST(ColorMemoMouse, MouseMoveReportsPointsOfTheMemoThatPositionAtUnderstands) {
  Window w;
  w.memo->SetInsets(3, 2, 3, 2);
  w.memo->SetLines({QStringLiteral("premier"), QStringLiteral("second")});
  QApplication::processEvents();
  QWidget* vp = qobject_cast<QAbstractScrollArea*>(w.edit)->viewport();
  EXPECT_EQ(vp->geometry().topLeft(),
            qobject_cast<QAbstractScrollArea*>(w.edit)->contentsRect().topLeft() + QPoint(3, 2));

  QList<QPoint> points;
  QObject::connect(w.memo, &TColorMemo::MouseMove,
                   [&](QMouseEvent* e) { points << e->position().toPoint(); });
  // Walk right along the second row until the point falls on the 4th character of "second".
  const qint64 rowHeight = QFontMetrics(w.memo->MemoFont()).height();
  QPoint inViewport(0, int(rowHeight * 3 / 2));
  while (inViewport.x() < vp->width() &&
         w.memo->PositionAt(vp->mapTo(w.memo, inViewport)) < 9 + 3)
    inViewport.rx() += 1;
  QTest::mouseMove(vp, inViewport);
  ASSERT_FALSE(points.isEmpty());
  EXPECT_EQ(points.last(), vp->mapTo(w.memo, inViewport));
  EXPECT_EQ(w.memo->PositionAt(points.last()), 9 + 3);  // "premier" CR LF, then 3 characters
  EXPECT_EQ(w.memo->PositionAt(QPoint(-50, -50)), 0);
  EXPECT_EQ(w.memo->PositionAt(QPoint(10000, 10000)), w.memo->Text().size());
}

TEST(ColorMemoDefaults, TimesNewRoman17PixelsWrappedAndEmpty) {
  TColorMemo memo;
  EXPECT_EQ(memo.MemoFont().family(), QStringLiteral("Times New Roman"));
  EXPECT_EQ(memo.MemoFont().pixelSize(), 17);
  EXPECT_TRUE(memo.WordWrap());
  EXPECT_EQ(memo.Lines(), QStringList{QString()});
  EXPECT_FALSE(memo.Modified());
}

TEST(ColorMemoLarge, OneLineOfAMegabyteLoadsShowsAndTakesTyping) {
  // Words, and one unbroken run (encoded data): wrapping the run at word boundaries took
  // minutes, which the test's timeout catches.
  QString words;
  while (words.size() < (1 << 20)) words += QStringLiteral("<mot attr=\"é\">texte</mot> ");
  QString run;
  while (run.size() < (2 << 20)) run += QStringLiteral("QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo=");
  for (const QString& line : {words, run}) {
    Window w;
    w.memo->SetText(line);
    QApplication::processEvents();
    EXPECT_EQ(w.memo->LineCount(), 1);
    w.memo->SetSelStart(INT_MAX);
    EXPECT_EQ(w.memo->SelStart(), line.size());
    w.memo->ScrollCaret();
    QTest::keyClick(w.edit, Qt::Key_Z);
    QApplication::processEvents();
    EXPECT_EQ(w.memo->Text(), line + QStringLiteral("z"));
  }
}

TEST(ColorMemoEditing, ChangesThatLeaveTheTextAsItWasAreNoChange) {
  using Step = std::function<void(Window&)>;
  const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    return [k, m](Window& w) { QTest::keyClick(w.edit, k, m); };
  };
  const std::vector<std::tuple<const char*, bool, Step>> rows = {
      {"SetText, same text", false, [](Window& w) { w.memo->SetText(QStringLiteral("un\ndeux")); }},
      {"SetText, other text", true, [](Window& w) { w.memo->SetText(QStringLiteral("un")); }},
      {"SetLines, same lines", false,
       [](Window& w) { w.memo->SetLines({QStringLiteral("un"), QStringLiteral("deux")}); }},
      {"SetBytes, same bytes", false, [](Window& w) { w.memo->SetBytes("un\rdeux"); }},
      {"SetSelText, the selected text", false,
       [](Window& w) {
         w.memo->SetSelStart(4);
         w.memo->SetSelLength(4);
         w.memo->SetSelText(QStringLiteral("deux"));
       }},
      {"SetSelText, empty over nothing", false,
       [](Window& w) { w.memo->SetSelText(QString()); }},
      {"SetStore, its own snapshot", false, [](Window& w) { w.memo->SetStore(w.memo->Store()); }},
      {"SetStore, an equal text", false,
       [](Window& w) { w.memo->SetStore(TextStore(std::string("un\r\ndeux"))); }},
      {"SetStore, another text", true,
       [](Window& w) { w.memo->SetStore(TextStore(std::string("trois"))); }},
      {"Backspace at the start", false, key(Qt::Key_Backspace)},
      {"Delete at the end",
       false,
       [](Window& w) {
         w.memo->SetSelStart(INT_MAX);
         QTest::keyClick(w.edit, Qt::Key_Delete);
       }},
      {"cut without a selection", false, [](Window& w) { w.memo->CutToClipboard(); }},
      {"paste of an empty clipboard", false,
       [](Window& w) {
         QApplication::clipboard()->clear();
         w.memo->PasteFromClipboard();
       }},
      {"a letter typed over itself", false,
       [](Window& w) {
         w.memo->SetSelLength(1);
         QTest::keyClick(w.edit, Qt::Key_U);
       }},
      {"an input method's preedit", false,
       [](Window& w) {
         QInputMethodEvent preedit(QStringLiteral("´"), {});
         QApplication::sendEvent(w.edit, &preedit);
         QInputMethodEvent cancel;
         QApplication::sendEvent(w.edit, &cancel);
       }},
      {"Ctrl+Z without an owner", false, key(Qt::Key_Z, Qt::ControlModifier)},
      {"a typed letter", true, key(Qt::Key_A)},
  };
  for (const auto& [name, changes, step] : rows) {
    Window w;
    w.memo->SetText(QStringLiteral("un\r\ndeux"));
    w.memo->SetSelStart(0);
    w.memo->SetModified(false);
    QSignalSpy spy(w.memo, &TColorMemo::Change);
    step(w);
    EXPECT_EQ(spy.count(), changes ? 1 : 0) << name;
    EXPECT_EQ(w.memo->Modified(), changes) << name;
  }
}

TEST(ColorMemoStore, SnapshotsRestoreTheTextAndStayAsTaken) {
  Window w;
  w.memo->SetText(QStringLiteral("<a>\r\n</a>"));
  const TextStore snapshot = w.memo->Store();
  w.memo->SetSelStart(3);
  QTest::keyClick(w.edit, Qt::Key_Return);
  type(w.edit, QStringLiteral("é"));
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<a>\r\né\r\n</a>"));
  EXPECT_EQ(snapshot.text(), std::string("<a>\r\n</a>"));  // untouched by the edits
  const TextStore typed = w.memo->Store();

  w.memo->SetModified(false);
  QSignalSpy changes(w.memo, &TColorMemo::Change);
  w.memo->SetStore(snapshot);
  EXPECT_EQ(w.memo->Text(), QStringLiteral("<a>\r\n</a>"));
  EXPECT_EQ(changes.count(), 1);
  EXPECT_TRUE(w.memo->Modified());
  EXPECT_EQ(w.memo->SelStart(), 6);  // the caret stays where it was
  w.memo->SetStore(typed);
  EXPECT_EQ(w.memo->Bytes(), std::string("<a>\r\n\xE9\r\n</a>"));
}

TEST(ColorMemoStore, BytesLinesAndPositionsWithoutQString) {
  TColorMemo memo;
  memo.SetBytes(std::string("un\ndeux\rtrois\n\r\xE9"));  // any breaks, Windows-1252 bytes
  EXPECT_EQ(memo.Bytes(), std::string("un\r\ndeux\r\ntrois\r\n\xE9"));
  EXPECT_EQ(memo.Text(), QStringLiteral("un\r\ndeux\r\ntrois\r\né"));
  EXPECT_EQ(memo.SelStart(), 0);
  const std::unique_ptr<TextLines> lines = memo.LinesView();
  memo.SetText(QStringLiteral("changé"));  // the view keeps the text it was taken from
  ASSERT_EQ(lines->count(), 4);
  EXPECT_EQ(lines->line(1), "deux");
  EXPECT_EQ(lines->line(3), "\xE9");

  memo.SetBytes(std::string("un\r\ndeux\r\ntrois"));
  // A break belongs to the line it ends; out-of-range arguments are clamped.
  const qint64 lineOf[][2] = {{0, 0}, {2, 0}, {3, 0}, {4, 1}, {15, 2}, {-7, 0}, {INT64_MAX, 2}};
  for (const auto& [pos, line] : lineOf) EXPECT_EQ(memo.LineOfPosition(pos), line) << pos;
  const qint64 starts[][2] = {{0, 0}, {1, 4}, {2, 10}, {-1, 0}, {99, 10}};
  for (const auto& [line, start] : starts) EXPECT_EQ(memo.LineStart(line), start) << line;
}
