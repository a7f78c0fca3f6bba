// The wizards as the user reaches them: from the menu, through the modal window, to the new
// document window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "Arbre.h"
#include "Assistant.h"
#include "ColorMemo.h"
#include "Editeur.h"
#include "MainForm.h"
#include "Padgen.h"
#include "ScriptedPrompts.h"
#include "ShownMainForm.h"
#include "TreeModel.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class WizardMenuTest : public ShownMainForm {
 protected:
  // Triggers the menu item; answer drives the wizard once it is shown modally.
  template <class Wizard>
  void run(QAction* item, const std::function<void(Wizard&)>& answer) {
    bool reached = false;
    QTimer::singleShot(0, form.get(), [&] {
      auto* w = qobject_cast<Wizard*>(QApplication::activeModalWidget());
      if (!w) return;
      reached = true;
      answer(*w);
      // A failed step must not leave the modal loop running.
      if (w->isVisible()) w->reject();
    });
    item->trigger();
    EXPECT_TRUE(reached);
  }

  // The rows of a window's tree view, all levels.
  static int treeRows(TEditeur* e, const QModelIndex& parent = {}) {
    int rows = e->treeModel()->rowCount(parent);
    for (int r = e->treeModel()->rowCount(parent) - 1; r >= 0; --r)
      rows += treeRows(e, e->treeModel()->index(r, 0, parent));
    return rows;
  }

  QStringList captions() const {
    QStringList out;
    for (QMdiSubWindow* w : form->mdiArea()->subWindowList()) out << w->windowTitle();
    return out;
  }

  ScriptedPrompts prompts;
};

TEST_F(WizardMenuTest, ConfirmedSimpleDocumentOpensAsANewXmlDocument) {
  form->FileNewItemClick();
  form->fermerlesbalises1->trigger();  // checked: new windows close tags on their own
  run<TAssistant>(form->Documentsimple1, [](TAssistant& w) {
    w.Edit4->setText(QStringLiteral("Prix"));
    QTest::mouseClick(w.Button2, Qt::LeftButton);
  });
  ASSERT_EQ(captions(), (QStringList{"XML1.xml", "XML2.xml"}));
  TEditeur* e = form->activeEditeur();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->windowTitle(), QStringLiteral("XML2.xml"));
  EXPECT_EQ(e->Memo1->Lines(),
            (QStringList{"<?xml version=\"1.0\"?>", "<Body>", "<Record>", "<Champ> </Champ>",
                         "<Prix> </Prix>", "</Record>", "</Body>"}));
  EXPECT_EQ(e->GetFichier(), QStringLiteral("XML2.xml"));
  EXPECT_TRUE(e->Memo1->Modified());
  EXPECT_TRUE(e->GetFermetureAuto());
  EXPECT_TRUE(e->GetCodageAuto());
  EXPECT_FALSE(e->GetArbreAuto());
  EXPECT_TRUE(form->FileSaveItem->isEnabled());
}

TEST_F(WizardMenuTest, CancelledOrEmptyResultsCreateNothing) {
  run<TAssistant>(form->Documentsimple1,
                  [](TAssistant& w) { QTest::mouseClick(w.Button1, Qt::LeftButton); });
  run<TPadgen>(form->Fichelogiciell1,
               [](TPadgen& w) { QTest::keyClick(&w, Qt::Key_Escape); });
  run<TArbre>(form->Documentarborescent1, [](TArbre& w) {
    // Down to the root only: "OK" gives no lines.
    w.TreeView1->setCurrentItem(w.TreeView1->topLevelItem(0)->child(0));
    w.TreeView1Click();
    w.Button5Click();
    w.Button2Click();
  });
  EXPECT_TRUE(captions().isEmpty());
}

TEST_F(WizardMenuTest, TreeAndSheetWizardsOpenTheirDocuments) {
  run<TArbre>(form->Documentarborescent1,
              [](TArbre& w) { QTest::mouseClick(w.Button2, Qt::LeftButton); });
  run<TPadgen>(form->Fichelogiciell1, [](TPadgen& w) {
    w.Edit17->setText(QStringLiteral("Tovelo"));
    QTest::mouseClick(w.Button2, Qt::LeftButton);
  });
  ASSERT_EQ(captions(), (QStringList{"XML1.xml", "XML2.xml"}));
  const QList<TEditeur*> windows = form->editeurs();
  EXPECT_EQ(windows[0]->Memo1->LineCount(), 14);
  EXPECT_EQ(windows[0]->Memo1->Line(13), QStringLiteral("</Body>"));
  // The tree comes once built behind the window.
  EXPECT_TRUE(QTest::qWaitFor([&] { return windows[0]->idleBehind(); }, 10000));
  EXPECT_EQ(treeRows(windows[0]), 9);  // one row a node of the wizard's tree
  EXPECT_EQ(windows[1]->Memo1->Line(35), QStringLiteral("    <Program_Name>Tovelo</Program_Name>"));
  for (TEditeur* e : windows) {
    int code = -1;
    QString text;
    e->Valid(code, text);
    EXPECT_EQ(code, 0) << text.toStdString();
  }
}

}  // namespace
