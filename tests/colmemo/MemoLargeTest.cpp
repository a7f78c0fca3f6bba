// The source view on texts that break ordinary text widgets: a line of megabytes, millions of
// lines, a paste of 20 MB, a 50 MB document typed into while its window is resized, every byte
// value. Each must stay usable and keep the text intact; a hang is caught by the test timeout.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "MemoView.h"
#include "ShownMemo.h"

namespace {

// About `bytes` of records, CR LF breaks.
std::string records(size_t bytes) {
  std::string out;
  out.reserve(bytes + 128);
  out += "<records>\r\n";
  for (int id = 0; out.size() < bytes; ++id)
    out += "<record id=\"" + std::to_string(id) +
           "\" nom=\"Ga\xEBtan\">texte accentu\xE9 \xE0 r\xE9p\xE9ter</record>\r\n";
  out += "</records>";
  return out;
}

}  // namespace

TEST(MemoLarge, ALineOfFiveMegabytesWithoutABlankOpensScrollsAndTakesTyping) {
  std::string line(5 << 20, 'A');
  for (size_t i = 0; i < line.size(); ++i) line[i] = char('A' + i % 26);
  for (const bool wrap : {true, false}) {
    Shown w(QSize(500, 300));
    w.memo->SetWordWrap(wrap);
    w.memo->SetBytes(line);
    QApplication::processEvents();
    w.key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(w.memo->SelStart(), qint64(line.size()));
    EXPECT_TRUE(w.caretInView()) << wrap;
    w.key(Qt::Key_PageUp);
    w.key(Qt::Key_PageUp);
    EXPECT_TRUE(w.caretInView()) << wrap;

    // Typing in the middle of the line, and moving around there.
    const qint64 middle = qint64(line.size()) / 2;
    w.memo->SetSelStart(middle);
    for (const Qt::Key k : {Qt::Key_X, Qt::Key_Y, Qt::Key_Z}) w.key(k);
    w.key(Qt::Key_Down);
    w.key(Qt::Key_Up);
    w.key(Qt::Key_Left, Qt::ControlModifier);  // to the start of the one word: the whole line
    EXPECT_EQ(w.memo->SelStart(), 0);
    w.key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(w.view->firstVisiblePosition(), 0);

    // A drag of the bar to its middle shows the middle of the line.
    QScrollBar* bar = w.view->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QApplication::processEvents();
    EXPECT_NEAR(double(w.view->firstVisiblePosition()), double(middle), line.size() / 20.0);

    // A double-click selects the one word, all of it.
    QTest::mouseDClick(w.vp, Qt::LeftButton, Qt::NoModifier, QPoint(20, 5));
    EXPECT_EQ(w.memo->SelLength(), qint64(line.size()) + 3);

    std::string expected = line;
    expected.insert(size_t(middle), "xyz");
    EXPECT_TRUE(w.memo->Bytes() == expected) << wrap;
    EXPECT_EQ(w.memo->LineCount(), 1);
  }
}

TEST(MemoLarge, TwoMillionEmptyLines) {
  Shown w(QSize(500, 300));
  std::string breaks;
  breaks.reserve(4'000'000);
  for (int i = 0; i < 2'000'000; ++i) breaks += "\r\n";
  w.memo->SetBytes(breaks);
  QApplication::processEvents();
  EXPECT_EQ(w.memo->LineCount(), 2'000'001);
  const int rows = w.vp->height() / w.view->rowHeight();
  w.key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(w.view->firstVisibleLine(), 2'000'001 - rows);
  w.key(Qt::Key_X);
  w.key(Qt::Key_Return);
  w.key(Qt::Key_Backspace);
  EXPECT_EQ(w.memo->LineCount(), 2'000'001);
  EXPECT_EQ(w.memo->Line(2'000'000), QStringLiteral("x"));
  QScrollBar* bar = w.view->verticalScrollBar();
  bar->setValue(bar->maximum() / 2);
  EXPECT_NEAR(double(w.view->firstVisibleLine()), 1'000'000, 1000);
  w.key(Qt::Key_Home, Qt::ControlModifier);
  w.key(Qt::Key_PageDown);
  EXPECT_EQ(w.view->firstVisibleLine(), rows - 1);
  EXPECT_TRUE(w.caretInView());
}

TEST(MemoLarge, APasteOfTwentyMegabytes) {
  Shown w(QSize(500, 300));
  QString clip;
  clip.reserve(21 << 20);
  while (clip.size() < (20 << 20)) clip += QStringLiteral("<p>un paragraphe collé \u0151</p>\n");
  QApplication::clipboard()->setText(clip);
  w.memo->SetText(QStringLiteral("début fin"));
  w.memo->SetSelStart(6);
  w.key(Qt::Key_V, Qt::ControlModifier);
  const qint64 lines = clip.count(u'\n');
  EXPECT_EQ(w.memo->LineCount(), lines + 1);
  EXPECT_EQ(w.memo->Line(0), QStringLiteral("début <p>un paragraphe collé &#337;</p>"));
  EXPECT_EQ(w.memo->Line(lines), QStringLiteral("fin"));
  const qint64 pasted = qint64(clip.size()) + lines /* CR */ + lines * 5 /* "&#337;" */;
  EXPECT_EQ(w.memo->SelStart(), 6 + pasted);
  EXPECT_TRUE(w.caretInView());
  QApplication::clipboard()->clear();
}

TEST(MemoLarge, TypingAtTheEndOfFiftyMegabytesWhileTheWindowIsResized) {
  Shown w(QSize(500, 300));
  const std::string text = records(50 << 20);
  w.memo->SetBytes(text);
  QApplication::processEvents();
  const qint64 lines = w.memo->LineCount();
  w.key(Qt::Key_End, Qt::ControlModifier);
  std::string typed;
  for (int i = 0; i < 40; ++i) {
    w.top.resize(300 + (i % 5) * 120, 180 + (i % 3) * 90);
    QApplication::processEvents();
    if (i % 10 == 9) {
      w.key(Qt::Key_Return);
      typed += "\r\n";
    } else {
      w.key(Qt::Key_A);
      typed += 'a';
    }
    ASSERT_TRUE(w.caretInView()) << i;
  }
  EXPECT_EQ(w.memo->LineCount(), lines + 4);
  const std::string bytes = w.memo->Bytes();
  EXPECT_EQ(bytes.size(), text.size() + typed.size());
  EXPECT_TRUE(bytes.compare(0, text.size(), text) == 0);
  EXPECT_EQ(bytes.substr(text.size()), typed);
}

TEST(MemoLarge, EverythingSelectedDeletedAndRestored) {
  Shown w(QSize(500, 300));
  const std::string text = records(5 << 20);
  w.memo->SetBytes(text);
  const TextStore snapshot = w.memo->Store();
  w.key(Qt::Key_End, Qt::ControlModifier);
  w.key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(w.memo->SelLength(), qint64(text.size()));
  w.key(Qt::Key_Delete);
  EXPECT_EQ(w.memo->Text(), QString());
  EXPECT_EQ(w.memo->LineCount(), 1);
  EXPECT_EQ(w.view->firstVisibleLine(), 0);
  w.memo->SetStore(snapshot);
  QApplication::processEvents();
  EXPECT_TRUE(w.memo->Bytes() == text);
  w.memo->SelectAll();
  EXPECT_EQ(w.memo->SelLength(), qint64(text.size()));
}

TEST(MemoLarge, NulBytesAndEveryByteValueAreShownAndKept) {
  // Every value once, CR and LF together as the one break a loaded file holds.
  std::string all;
  for (int b = 0; b < 256; ++b)
    if (b != '\r' && b != '\n') all += char(b);
  all.insert(13, "\r\n");
  const std::string nuls(1000, '\0');
  for (const std::string& text : {nuls, all + all}) {
    Shown w(QSize(500, 300));
    w.memo->SetBytes(text);
    QApplication::processEvents();
    EXPECT_TRUE(w.memo->Bytes() == text);
    // Something is drawn on the first row: the characters are seen.
    const QImage shot = w.vp->grab().toImage();
    int dark = 0;
    for (int y = 0; y < w.view->rowHeight(); ++y)
      for (int x = 0; x < shot.width() / 2; ++x) dark += qGray(shot.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20);
    // Through the clipboard and through an edit elsewhere, the bytes stay.
    w.memo->SelectAll();
    w.memo->CopyToClipboard();
    w.memo->SetSelStart(INT64_MAX);
    w.key(Qt::Key_Return);
    w.memo->PasteFromClipboard();
    EXPECT_TRUE(w.memo->Bytes() == text + "\r\n" + text);
    w.memo->SetSelStart(text.size() / 2);
    w.key(Qt::Key_X);
    w.key(Qt::Key_Backspace);
    EXPECT_TRUE(w.memo->Bytes() == text + "\r\n" + text);
  }
}
