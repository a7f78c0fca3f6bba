// What only a real X server shows: the primary selection (select, then middle-click pastes).
// Run under Xvfb by CTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "MemoView.h"
#include "ShownMemo.h"

TEST(MemoViewX11, SelectingSetsThePrimarySelectionAndTheMiddleButtonPastesIt) {
  if (!QGuiApplication::clipboard()->supportsSelection()) GTEST_SKIP() << "no primary selection";
  Shown w(QSize(400, 300), false);
  QApplication::clipboard()->setText(QStringLiteral("presse-papiers"));
  w.memo->SetText(QStringLiteral("un deux trois"));
  QTest::mousePress(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(3));
  QTest::mouseMove(w.vp, w.pointOf(7));
  QTest::mouseRelease(w.vp, Qt::LeftButton, Qt::NoModifier, w.pointOf(7));
  EXPECT_EQ(QApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("deux"));

  QTest::mouseClick(w.vp, Qt::MiddleButton, Qt::NoModifier, w.pointOf(0));
  EXPECT_EQ(w.memo->Text(), QStringLiteral("deuxun deux trois"));
  EXPECT_EQ(w.memo->SelStart(), 4);

  // From the keyboard too, breaks given as this platform's.
  w.memo->SetText(QStringLiteral("a\r\nb"));
  w.memo->FocusText();
  QTest::keyClick(w.view, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QApplication::clipboard()->text(QClipboard::Selection), QStringLiteral("a\nb"));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("presse-papiers"));
}
