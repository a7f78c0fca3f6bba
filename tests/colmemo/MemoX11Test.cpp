// What only a real X server shows: the primary selection (select, then middle-click pastes).
// Run under Xvfb by CTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "MemoView.h"

namespace {

struct Shown {
  QWidget top;
  TColorMemo* memo = new TColorMemo(&top);
  MemoView* view = memo->findChild<MemoView*>();
  QWidget* vp = view->viewport();
  Shown() {
    (new QVBoxLayout(&top))->addWidget(memo);
    top.resize(400, 300);
    top.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&top));
  }
  QPoint pointOf(qint64 pos) {
    const QRectF r = view->positionRect(pos);
    return QPoint(int(r.left()) + 1, int(r.center().y()));
  }
};

}  // namespace

TEST(MemoViewX11, SelectingSetsThePrimarySelectionAndTheMiddleButtonPastesIt) {
  if (!QGuiApplication::clipboard()->supportsSelection()) GTEST_SKIP() << "no primary selection";
  Shown w;
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
