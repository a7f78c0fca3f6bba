// The tree view of a document window end to end: built on open, on the command and on Enter,
// refused on a faulty document, double-click and duplication through the source view.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFocusEvent>
#include <QFile>
#include <QPointer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include "ColorMemo.h"
#include "Editeur.h"
#include "ScriptedPrompts.h"
#include "StatusHost.h"
#include "TreeList.h"
#include "TreeModel.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class TreeViewTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
  void TearDown() override {
    for (const QPointer<TEditeur>& e : windows) delete e.data();
  }
  // A window that opened a file holding lines, once its tree has come.
  TEditeur& opened(const QString& name, const QStringList& lines) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(lines.join("\r\n").toLatin1());
    f.close();
    windows << new TEditeur(&host, name);
    windows.last()->OpenFile(dir.filePath(name));
    EXPECT_TRUE(QTest::qWaitFor([&] { return windows.last()->idleBehind(); }, 10000));
    return *windows.last();
  }
  // Every node, two blanks a level, and whether the view shows all of them expanded.
  static QStringList shown(TEditeur& e, bool* allExpanded = nullptr) {
    QStringList out;
    if (allExpanded) *allExpanded = e.treeModel()->rowCount() == e.treeModel()->tree().size();
    const tree::Tree& t = e.treeModel()->tree();
    for (int32_t i = 0; i < t.size(); ++i) {
      out << QString(t.depth(i) * 2, u' ') + QString::fromLatin1(t.label(i));
      if (allExpanded && t.hasChildren(i) && !e.TreeView1->isExpanded(i)) *allExpanded = false;
    }
    return out;
  }
  static void select(TEditeur& e, int node) { e.TreeView1->setCurrentNode(node); }

  ScriptedPrompts prompts;
  StatusHost host;
  QTemporaryDir dir{QDir::tempPath() + "/arbre-XXXXXX"};
  QList<QPointer<TEditeur>> windows;
};

const QStringList kItems = {"<liste>", "<item>", "</item>", "<item></item><item>", "</item>", "<item>", "</item>", "</liste>"};

TEST_F(TreeViewTest, OpeningBuildsTheTreeOnlyForXmlNames) {
  TEditeur& xml = opened("notes.XML", {"<r>", "<a>x</a>", "<b/>", "</r>"});
  bool expanded = false;
  EXPECT_EQ(shown(xml, &expanded), QStringList({"<r>", "  <a>"}));
  EXPECT_TRUE(expanded);
  EXPECT_EQ(xml.TreeView1->currentNode(), 0);
  EXPECT_EQ(host.status, QStringList({"Construit l'arborescence", ""}));
  TEditeur& dtd = opened("regles.dtd", {"<r>", "</r>"});
  EXPECT_TRUE(shown(dtd).isEmpty());
  EXPECT_TRUE(prompts.log.isEmpty());
}

TEST_F(TreeViewTest, AFaultyDocumentKeepsTheTreeItHad) {
  TEditeur& e = opened("a.xml", {"<r>", "<a></a>", "</r>"});
  e.Memo1->SetLines({"<r>", "<a>", "</r>"});
  host.status.clear();
  e.Arborescence();
  EXPECT_EQ(prompts.log, QStringList({"information: Le document contient des erreurs"}));
  EXPECT_EQ(shown(e), QStringList({"<r>", "  <a>"}));
  // After the box, the faulty tag is selected and its place told.
  EXPECT_EQ(e.Memo1->SelText(), "<a>");
  EXPECT_EQ(host.status.value(host.status.size() - 1), "Ligne 2, colonne 1");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // The next good text replaces the tree, collapsed or not.
  e.Reduire();
  e.Memo1->SetLines({"<s><t></t></s>"});
  e.Arborescence();
  bool expanded = false;
  EXPECT_EQ(shown(e, &expanded), QStringList({"<s>", "  <t>"}));
  EXPECT_TRUE(expanded);
}

// The fault of a document opened comes after the window: where the user has put the caret
// meanwhile, it stays, and the place is only told.
TEST_F(TreeViewTest, AFaultFoundBehindTheWindowMovesTheCaretOnlyIfTheUserHasNot) {
  for (const bool moved : {false, true}) {
    SCOPED_TRACE(moved);
    QFile f(dir.filePath("faute.xml"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<r>\r\n<a>\r\n</r>");
    f.close();
    windows << new TEditeur(&host, "faute.xml");
    TEditeur& e = *windows.last();
    e.OpenFile(dir.filePath("faute.xml"));
    if (moved) e.Memo1->SetSelStart(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return e.idleBehind(); }, 10000));
    EXPECT_EQ(e.Memo1->SelText(), moved ? "" : "<a>");
    EXPECT_EQ(e.Memo1->SelStart(), moved ? 2 : 5);
    EXPECT_EQ(host.status.value(host.status.size() - 1), "Ligne 2, colonne 1");
  }
}

TEST_F(TreeViewTest, DoubleClickSelectsTheStartTagByLineOccurrence) {
  TEditeur& e = opened("l.xml", kItems);
  struct Case {
    int node;
    qint64 start;
    qint64 length;
  };
  const qint64 line5 = QString(kItems.mid(0, 5).join("\r\n")).size() + 2;
  const qint64 line3 = QString(kItems.mid(0, 3).join("\r\n")).size() + 2;
  // Node 3 is the second <item> of line 3: the lines are counted, so it finds line 5.
  for (const Case& c : {Case{1, 9, 6}, Case{2, line3, 6}, Case{3, line5, 6}}) {
    e.Memo1->SetSelStart(0);
    select(e, c.node);
    e.TreeView1DblClick();
    EXPECT_EQ(e.Memo1->SelStart(), c.start) << c.node;
    EXPECT_EQ(e.Memo1->SelLength(), c.length) << c.node;
  }
  // The first node is never looked for.
  e.Memo1->SetSelStart(3);
  select(e, 0);
  e.TreeView1DblClick();
  EXPECT_EQ(e.Memo1->SelStart(), 3);
}

TEST_F(TreeViewTest, DuplicationNeedsTheTreeFocusAndCopiesTheSkeleton) {
  TEditeur& e = opened("f.xml", {"<fiches>", "\t<rec id=\"7\">", "\t\t<ville>Paris</ville>", "\t\t<tel>01</tel>",
                                 "\t</rec>", "</fiches>"});
  e.show();
  QApplication::setActiveWindow(&e);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
  e.Memo1->FocusText();
  e.Dupnoeud();
  EXPECT_EQ(prompts.messages(), QStringList({"Sélectionner au préalable un noeud"}));
  e.TreeView1->setFocus();
  // The menu that runs the command takes the focus for a moment; the node stays chosen.
  QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
  QApplication::sendEvent(e.TreeView1, &popup);
  EXPECT_TRUE(e.GetArbreActif());
  select(e, 1);
  e.Dupnoeud();
  EXPECT_EQ(e.Memo1->Lines(),
            QStringList({"<fiches>", "\t<rec id=\"7\">", "\t\t<ville>Paris</ville>", "\t\t<tel>01</tel>", "\t</rec>",
                         "\t<rec id=\"7\">", "<ville></ville>", "<tel></tel>", "</rec>", "</fiches>"}));
  EXPECT_EQ(prompts.messages().size(), 1);
  e.Annuler();
  EXPECT_EQ(e.Memo1->Lines().size(), 6);
}

TEST_F(TreeViewTest, EnterRebuildsTheTreeOnlyWithAutomaticRefresh) {
  TEditeur& e = opened("e.xml", {"<r>", "</r>"});
  e.show();
  QApplication::setActiveWindow(&e);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
  e.Memo1->FocusText();
  e.Memo1->SetLines({"<r><n></n>", "</r>"});
  e.Memo1->SetSelStart(10);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(shown(e), QStringList({"<r>"}));
  e.Actauto1(true);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return e.idleBehind(); }, 10000));
  EXPECT_EQ(shown(e), QStringList({"<r>", "  <n>"}));
  // With closing on, Enter closes the tag and leaves the tree alone.
  e.Memo1->SetLines({"<r><m></m>", "</r>"});
  e.Actauto2(true);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(shown(e), QStringList({"<r>", "  <n>"}));
}

TEST_F(TreeViewTest, AutomaticRefreshOfAHalfTypedDocumentTellsTheStatusLineAndKeepsTheTree) {
  TEditeur& e = opened("h.xml", {"<r><n></n>", "</r>"});
  e.show();
  QApplication::setActiveWindow(&e);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
  e.Memo1->FocusText();
  e.Actauto1(true);
  e.Memo1->SetLines({"<r><n></n><p>", "</r>"});
  e.Memo1->SetSelStart(13);
  host.status.clear();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(QTest::qWaitFor([&] { return e.idleBehind(); }, 10000));
  EXPECT_TRUE(prompts.log.isEmpty());
  EXPECT_EQ(host.status.value(host.status.size() - 1), "Le document contient des erreurs (Ligne 1, colonne 11)");
  EXPECT_EQ(shown(e), QStringList({"<r>", "  <n>"}));
  // Both Enters typed where the caret was: none went to a box, nor to the faulty tag.
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"<r><n></n><p>", "", "", "</r>"}));
  EXPECT_EQ(e.Memo1->SelStart(), 17);
  EXPECT_EQ(e.Memo1->SelLength(), 0);
  // The menu command still says it in a box, then selects the tag.
  e.Arborescence();
  EXPECT_EQ(prompts.messages(), QStringList({"Le document contient des erreurs"}));
  EXPECT_EQ(e.Memo1->SelText(), "<p>");
}

TEST_F(TreeViewTest, AWindowClosedWhileItsTreeIsBuiltLeavesNothingBehind) {
  // Faulty (its root is never closed): a late outcome would show a box.
  QStringList lines = {"<r>"};
  for (int i = 0; i < 200000; ++i) lines << "<a>x</a>";
  QFile f(dir.filePath("grand.xml"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(lines.join("\r\n").toLatin1());
  f.close();
  auto* e = new TEditeur(&host, "grand.xml");
  e->Actauto2(true);
  ASSERT_TRUE(e->OpenFile(dir.filePath("grand.xml")));
  EXPECT_FALSE(e->idleBehind());
  delete e;
  ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(30000));
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(prompts.log.isEmpty());
}

TEST_F(TreeViewTest, EnterOrSpaceOnANodeSelectsItsStartTag) {
  TEditeur& e = opened("k.xml", kItems);
  e.show();
  QApplication::setActiveWindow(&e);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
  const qint64 line3 = QString(kItems.mid(0, 3).join("\r\n")).size() + 2;
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    e.Memo1->SetSelStart(0);
    e.TreeView1->setFocus();
    select(e, 1);
    QTest::keyClick(e.TreeView1, Qt::Key_Down);
    QTest::keyClick(e.TreeView1, key);
    EXPECT_EQ(e.Memo1->SelStart(), line3) << key;
    EXPECT_EQ(e.Memo1->SelLength(), 6) << key;
    EXPECT_TRUE(e.Memo1->isAncestorOf(QApplication::focusWidget())) << key;
  }
}

TEST_F(TreeViewTest, DeepNestingScrollsSideways) {
  QStringList lines;
  for (int i = 0; i < 40; ++i) lines << QString("<niveau%1>").arg(i);
  for (int i = 39; i >= 0; --i) lines << QString("</niveau%1>").arg(i);
  TEditeur& e = opened("p.xml", lines);
  e.resize(400, 300);
  e.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
  QScrollBar* bar = e.TreeView1->horizontalScrollBar();
  // The deepest rows are below the view at first; they count once scrolled to.
  select(e, 39);
  EXPECT_TRUE(QTest::qWaitFor([&] { return bar->maximum() > 39 * 19 - 400 && bar->isVisible(); }, 5000));
  // A shallow tree fits: no scroll bar.
  e.Memo1->SetLines({"<r>", "<a/>", "</r>"});
  e.Arborescence();
  EXPECT_TRUE(QTest::qWaitFor([&] { return bar->maximum() == 0; }, 5000));
}

}  // namespace

namespace {

TEST_F(TreeViewTest, GendtdRefusesAFaultyDocumentAndOtherwiseWritesTheDoctype) {
  TEditeur& e = opened("g.xml", {"<?xml version=\"1.0\"?>", "<r>", "<a>", "</r>"});
  e.Gendtd();
  EXPECT_EQ(prompts.messages(), QStringList({"Le document contient des erreurs", "Le document contient des erreurs"}));
  EXPECT_EQ(e.Memo1->Lines().size(), 4);
  EXPECT_FALSE(e.Memo1->Modified());
  e.Memo1->SetLines({"<?xml version=\"1.0\"?>", "<r>", "<a>x</a>", "</r>"});
  e.Gendtd();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"<?xml version=\"1.0\"?>", "<!DOCTYPE r [", "<!ELEMENT r (a)*>",
                                           "<!ELEMENT a (#PCDATA)>", "]>", "<r>", "<a>x</a>", "</r>"}));
  EXPECT_TRUE(e.Memo1->Modified());
}

}  // namespace
