// Where the keyboard goes with the find dialogs: after a miss, on Ctrl+F, and between document
// windows. Driven by key events through the real main window.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

#include "ColorMemo.h"
#include "Editeur.h"
#include "FindDialogs.h"
#include "MainForm.h"
#include "ScriptedPrompts.h"
#include "ShownMainForm.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// A message box hands the keyboard back to the window under it when it closes: here, as the
// real box does, to the document window.
class BoxPrompts : public ScriptedPrompts {
 public:
  std::function<void()> afterMessage;
  void information(QWidget* parent, const QString& text) override {
    ScriptedPrompts::information(parent, text);
    if (afterMessage) afterMessage();
  }
};

class KeyboardTest : public ShownMainForm {
 protected:
  void SetUp() override {
    ShownMainForm::SetUp();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }
  TEditeur* newDocument() {
    form->FileNewItemClick();
    return form->activeEditeur();
  }
  static bool becomesActive(QWidget* w) {
    return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }, 5000);
  }
  BoxPrompts prompts;
};

TEST_F(KeyboardTest, AfterAMissTheKeyboardIsBackInTheDialog) {
  const struct {
    const char* what;
    bool replace;
    bool replaceButton;  // else Enter presses "Suivant"
    QString message;
  } cases[] = {
      {"Rechercher", false, false, "Chaîne rechechée \"zzz\" non trouvée"},
      {"Remplacer, Suivant", true, false, "Chaîne rechechée \"zzz\" non trouvée"},
      {"Remplacer, Remplacer", true, true, "Chaîne recherchée \"zzz\"non trouvée"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TEditeur* e = newDocument();
    const QStringList text = e->Memo1->Lines();
    prompts.afterMessage = [this, e] {
      QApplication::setActiveWindow(form.get());
      e->Memo1->FocusText();
    };
    prompts.log.clear();
    (c.replace ? form->Remplacer1 : form->Rechercher1)->trigger();
    TFindDialog* d = c.replace ? e->ReplaceDialog1() : e->FindDialog1();
    ASSERT_TRUE(becomesActive(d));
    QTest::keyClicks(QApplication::focusWidget(), "zzz");
    if (c.replaceButton)
      QTest::mouseClick(static_cast<TReplaceDialog*>(d)->ReplaceButton, Qt::LeftButton);
    else
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(prompts.messages(), QStringList{c.message});
    ASSERT_TRUE(becomesActive(d));
    EXPECT_TRUE(d->isAncestorOf(QApplication::focusWidget()));
    QTest::keyClicks(QApplication::focusWidget(), "y");
    // Enter was typed in the search field, which has the keyboard again.
    if (!c.replaceButton) {
      EXPECT_EQ(d->FindText(), "zzzy");
    }
    EXPECT_EQ(e->Memo1->Lines(), text);
    d->hide();
  }
}

TEST_F(KeyboardTest, CtrlFOnAnOpenDialogSelectsItsSearchText) {
  TEditeur* e = newDocument();
  form->Rechercher1->trigger();
  TFindDialog* d = e->FindDialog1();
  ASSERT_TRUE(becomesActive(d));
  QTest::keyClicks(d->FindEdit, "body");

  // From the document.
  QApplication::setActiveWindow(form.get());
  e->Memo1->FocusText();
  ASSERT_TRUE(becomesActive(form.get()));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(becomesActive(d));
  EXPECT_EQ(QApplication::focusWidget(), d->FindEdit);
  EXPECT_EQ(d->FindEdit->selectedText(), "body");

  // From another control of the dialog.
  d->MatchCase->setFocus();
  QTest::keyClick(d->MatchCase, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(QApplication::focusWidget(), d->FindEdit);
  EXPECT_EQ(d->FindEdit->selectedText(), "body");
}

TEST_F(KeyboardTest, AWindowsFindDialogsShowOnlyWithIt) {
  TEditeur* a = newDocument();
  form->Rechercher1->trigger();
  form->Remplacer1->trigger();
  ASSERT_TRUE(becomesActive(a->ReplaceDialog1()));
  TEditeur* b = newDocument();
  EXPECT_FALSE(a->FindDialog1()->isVisible());
  EXPECT_FALSE(a->ReplaceDialog1()->isVisible());
  form->Rechercher1->trigger();
  EXPECT_TRUE(b->FindDialog1()->isVisible());

  const auto activate = [this](TEditeur* e) {
    form->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(e->parentWidget()));
  };
  activate(a);
  EXPECT_TRUE(a->FindDialog1()->isVisible());
  EXPECT_TRUE(a->ReplaceDialog1()->isVisible());
  EXPECT_FALSE(b->FindDialog1()->isVisible());
  EXPECT_EQ(form->activeEditeur(), a);

  // A dialog closed by its user stays closed when its window comes back.
  a->ReplaceDialog1()->hide();
  activate(b);
  activate(a);
  EXPECT_TRUE(a->FindDialog1()->isVisible());
  EXPECT_FALSE(a->ReplaceDialog1()->isVisible());
}

}  // namespace
