// The data view of a document window end to end: the page switch fills the grid, an edited
// cell is written back at its place, a cell nobody changed leaves the text alone, and the cell
// dialog edits one value.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ColorMemo.h"
#include "DataModel.h"
#include "EditCell.h"
#include "Editeur.h"
#include "ScriptedPrompts.h"
#include "StringGrid.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class DataViewTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
  void TearDown() override { delete window.data(); }
  TEditeur& opened(const QString& name, const QStringList& lines) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(lines.join("\r\n").toLatin1());
    f.close();
    window = new TEditeur(nullptr, name);
    window->OpenFile(dir.filePath(name));
    window->show();
    return *window;
  }
  QStringList grid() const {
    QStringList out;
    for (int r = 0; r < window->dataModel()->rowCount(); ++r)
      out << window->dataModel()->label(r) + "=" + window->dataModel()->value(r);
    return out;
  }
  // Types into the cell of row as the user does: a key opens the editor, Enter commits it.
  void type(int row, const QString& text) {
    StringGrid* g = window->StringGrid1;
    g->setCurrentIndex(window->dataModel()->index(row, 1));
    g->setFocus();
    QTest::keyClick(g, Qt::Key_F2);
    ASSERT_NE(g->editor(), nullptr);
    QTest::keyClick(g->editor(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(g->editor(), text);
    QTest::keyClick(g->editor(), Qt::Key_Return);
    QApplication::processEvents();  // the delegate commits on the next turn of the loop
  }

  ScriptedPrompts prompts;
  QTemporaryDir dir{QDir::tempPath() + "/donnees-XXXXXX"};
  QPointer<TEditeur> window;
};

const QStringList kFiches = {"<liste>", "<fiche id=\"1\">", "<ville>Paris</ville>", "</fiche>", "</liste>"};

TEST_F(DataViewTest, TheDataPageShowsTheRowsAndKeepsTheRowCountGrowing) {
  TEditeur& e = opened("f.xml", kFiches);
  e.Vuedonnees();
  EXPECT_EQ(e.PageControl1->currentWidget(), e.TabSheet2);
  EXPECT_EQ(grid(), QStringList({"liste=", "fiche=", "fiche->id=1", "ville=Paris", "="}));
  e.Memo1->SetLines({"<r>", "</r>"});
  e.VueSource();
  e.Vuedonnees();
  EXPECT_EQ(grid(), QStringList({"r=", "=", "=", "=", "="}));
  // A name without ".xml" leaves the grid as it is.
  e.SetFichier(dir.filePath("f.txt"));
  e.Memo1->SetLines({"<a>", "</a>"});
  e.Vuedonnees();
  EXPECT_EQ(grid().first(), "r=");
}

TEST_F(DataViewTest, AnEditedCellIsWrittenAtItsPlaceAndOnlyThere) {
  TEditeur& e = opened("f.xml", kFiches);
  e.Vuedonnees();
  type(3, "Lyon");
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"<liste>", "<fiche id=\"1\">", "<ville>Lyon</ville>", "</fiche>", "</liste>"}));
  EXPECT_FALSE(e.GetGrilleModifiee());
  type(2, "l'eau");
  EXPECT_EQ(e.Memo1->Line(1), "<fiche id=\"l'eau\">");
  // Nothing to write into: the grid shows the text's value again.
  type(1, "x");
  EXPECT_EQ(e.dataModel()->value(1), "");
  EXPECT_EQ(e.Memo1->Lines().size(), 5);
  // Back to the value that was read: written too.
  type(3, "Paris");
  EXPECT_EQ(e.Memo1->Line(2), "<ville>Paris</ville>");
}

TEST_F(DataViewTest, LeavingTheGridRewritesNothingNobodyChanged) {
  const QStringList indented = {"<liste>", "\t<fiche>", "\t\t<nom>Dupont", "\t\tet fils</nom>", "\t</fiche>", "</liste>"};
  TEditeur& e = opened("i.xml", indented);
  e.Vuedonnees();
  e.StringGrid1->setCurrentIndex(e.dataModel()->index(2, 1));
  QTest::keyClick(e.StringGrid1, Qt::Key_Down);  // a key in the grid, no change of value
  EXPECT_TRUE(e.GetGrilleModifiee());
  e.VueSource();
  EXPECT_EQ(e.Memo1->Lines(), indented);
  EXPECT_FALSE(e.Memo1->Modified());
  // An edit left open in its cell is written when the source page comes back.
  e.Vuedonnees();
  e.StringGrid1->setCurrentIndex(e.dataModel()->index(2, 1));
  e.StringGrid1->setFocus();
  QTest::keyClick(e.StringGrid1, Qt::Key_F2);
  QTest::keyClick(e.StringGrid1->editor(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(e.StringGrid1->editor(), "Martin");
  e.VueSource();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"<liste>", "\t<fiche>", "\t\t<nom>Martin</nom>", "\t</fiche>", "</liste>"}));
  EXPECT_EQ(e.PageControl1->currentWidget(), e.TabSheet1);
}

TEST_F(DataViewTest, TheCellDialogWritesWhatItReturns) {
  TEditeur& e = opened("f.xml", kFiches);
  e.Vuedonnees();
  e.StringGrid1->setCurrentIndex(e.dataModel()->index(3, 1));
  struct Case {
    bool validate;
    QString text;
    QString line;
  };
  for (const Case& c : {Case{false, "Nice", "<ville>Paris</ville>"}, Case{true, "", "<ville>Paris</ville>"},
                        Case{true, "Nice", "<ville>Nice</ville>"}}) {
    QString title, shown;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<TEditCell*>(QApplication::activeModalWidget());
      ASSERT_NE(d, nullptr);
      title = d->windowTitle();
      shown = d->Memo1->toPlainText();
      d->Memo1->setPlainText(c.text);
      (c.validate ? d->Button2 : d->Button1)->click();
    });
    const QString before = e.dataModel()->value(3);
    e.StringGrid1DblClick();
    EXPECT_EQ(title, "Modifier donnée");
    EXPECT_EQ(shown, before);
    EXPECT_EQ(e.Memo1->Line(2), c.line);
  }
}

}  // namespace
