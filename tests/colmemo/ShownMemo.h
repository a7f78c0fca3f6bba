#pragma once
// A memo in a shown window without shortcuts, so that every key reaches the view; the widget
// tests of the view drive it with real events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>

#include "ColorMemo.h"
#include "MemoView.h"

struct Shown {
  QWidget top;
  TColorMemo* memo = new TColorMemo(&top);
  MemoView* view = memo->findChild<MemoView*>();
  QWidget* vp = view->viewport();
  // Without a window manager no window becomes active: `activate` false only waits for it to
  // be shown.
  explicit Shown(QSize size = QSize(400, 300), bool activate = true) {
    (new QVBoxLayout(&top))->addWidget(memo);
    top.resize(size);
    top.show();
    if (!activate) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(&top));
      return;
    }
    top.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&top));
    memo->FocusText();
  }
  void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::keyClick(view, k, m);
    QApplication::processEvents();  // the paint included
  }
  // A point of the viewport on the boundary before pos.
  QPoint pointOf(qint64 pos) {
    const QRectF r = view->positionRect(pos);
    return QPoint(int(r.left()) + 1, int(r.center().y()));
  }
  bool caretInView() {
    const QRectF r = view->positionRect(memo->SelStart() + memo->SelLength());
    return r.top() >= 0 && r.bottom() <= vp->height() && r.left() >= 0 && r.right() <= vp->width();
  }
};
