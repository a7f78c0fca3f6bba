#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "Arbre.h"
#include "Assistant.h"
#include "FileBytes.h"
#include "Padgen.h"
#include "ScriptedPrompts.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

QStringList untouchedPadSheetLines();

namespace {

template <class Wizard>
QStringList resultOf(const Wizard& w) {
  QStringList lines;
  w.Result(lines);
  return lines;
}

TEST(Assistant, GivesNothingUnlessConfirmed) {
  TAssistant cancelled;
  EXPECT_TRUE(resultOf(cancelled).isEmpty());
  cancelled.Button1Click();
  EXPECT_TRUE(resultOf(cancelled).isEmpty());

  TAssistant closed;
  closed.show();
  closed.close();  // the title bar's close button
  EXPECT_TRUE(resultOf(closed).isEmpty());
}

TEST(Assistant, StartsFromTheDefaultsAndWritesWhatIsTyped) {
  TAssistant w;
  w.Button2Click();
  EXPECT_EQ(resultOf(w), (QStringList{"<?xml version=\"1.0\"?>", "<Body>", "<Record>",
                                      "<Champ> </Champ>", "</Record>", "</Body>"}));
  TAssistant typed;
  typed.Edit1->setText(QStringLiteral("Clients"));
  typed.Edit3->setText(QStringLiteral("Nom client"));
  typed.Edit4->setText(QStringLiteral("Ville"));
  typed.Edit6->setText(QStringLiteral("Pays"));
  typed.Button2Click();
  EXPECT_EQ(resultOf(typed),
            (QStringList{"<?xml version=\"1.0\"?>", "<Clients>", "<Record>",
                         "<Nom client> </Nom client>", "<Ville> </Ville>", "<Pays> </Pays>",
                         "</Record>", "</Clients>"}));
}

class ArbreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  }
  QTreeWidgetItem* find(const QString& name) const {
    const auto found = w.TreeView1->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.value(0);
  }
  void click(const QString& name) {
    QTreeWidgetItem* item = find(name);
    ASSERT_NE(item, nullptr) << name.toStdString();
    const QRect r = w.TreeView1->visualItemRect(item);
    QTest::mouseClick(w.TreeView1->viewport(), Qt::LeftButton, {}, r.center());
  }
  void type(const QString& text) {
    w.Edit1->clear();
    QTest::keyClicks(w.Edit1, text);
  }
  // The tree as "name/level" in depth-first order.
  QStringList shape() const {
    QStringList out;
    for (const wizards::TreeNode& n : w.nodes())
      out << n.name + QLatin1Char('/') + QString::number(n.level);
    return out;
  }
  TArbre w;
};

TEST_F(ArbreTest, StartTreeIsExpandedAndGivesTheSkeleton) {
  EXPECT_EQ(shape(), (QStringList{"Body/0", "Livre/1", "Partie1/2", "Paragraphe1/3",
                                  "Paragraphe2/3", "Paragraphe3/3", "Partie2/2", "Paragraphe4/3",
                                  "Paragraphe5/3"}));
  EXPECT_TRUE(find("Partie2")->isExpanded());
  EXPECT_TRUE(w.RadioButton1->isChecked());
  EXPECT_EQ(w.NoeudCourant, nullptr);
  w.Button2Click();
  EXPECT_EQ(resultOf(w).size(), 14);
  EXPECT_EQ(resultOf(w).value(4), QStringLiteral("<Paragraphe1> </Paragraphe1>"));
}

TEST_F(ArbreTest, NewChildThenApplyAgainRenamesTheSelectedNode) {
  click("Livre");
  EXPECT_EQ(w.Edit1->text(), QStringLiteral("Livre"));
  EXPECT_TRUE(w.Edit1->hasFocus());
  QTest::mouseClick(w.Button3, Qt::LeftButton);
  EXPECT_TRUE(w.Edit1->text().isEmpty());
  w.RadioButton2->setChecked(true);
  type("Titre");
  QTest::keyClick(w.Edit1, Qt::Key_Return);
  EXPECT_TRUE(w.isVisible());  // Enter applied the name and pressed no button
  EXPECT_EQ(shape().mid(6, 3), (QStringList{"Partie2/2", "Paragraphe4/3", "Paragraphe5/3"}));
  EXPECT_EQ(shape().value(9), QStringLiteral("Titre/2"));
  EXPECT_EQ(w.NoeudCourant, find("Titre"));
  // The new node is not the selected one: the next name goes to Livre.
  type("Tome");
  QTest::mouseClick(w.Button4, Qt::LeftButton);
  EXPECT_EQ(shape().value(1), QStringLiteral("Tome/1"));
  EXPECT_EQ(shape().value(9), QStringLiteral("Titre/2"));
}

TEST_F(ArbreTest, NewNodesGoBesideOrUnderTheCurrentNode) {
  // Beside the root: a second top-level node, written inside the first one's element.
  click("Body");
  w.Button3Click();
  type("Annexe");
  w.Button4Click();
  EXPECT_EQ(shape().value(9), QStringLiteral("Annexe/0"));
  // Beside a leaf: the leaf's last sibling. The current node is now the new one.
  click("Paragraphe1");
  w.Button3Click();
  type("  Paragraphe1b  ");
  w.Button4Click();
  EXPECT_EQ(shape().value(6), QStringLiteral("Paragraphe1b/3"));
  w.Button3Click();
  w.RadioButton2->setChecked(true);
  EXPECT_EQ(w.NoeudCourant, find("Paragraphe1"));  // "Nouveau" takes the selected node
  type("Ligne");
  w.Button4Click();
  EXPECT_EQ(shape().value(4), QStringLiteral("Ligne/4"));
  w.Button2Click();
  const QStringList lines = resultOf(w);
  EXPECT_EQ(lines.mid(3, 4), (QStringList{"<Partie1>", "<Paragraphe1>", "<Ligne> </Ligne>",
                                         "</Paragraphe1>"}));
  EXPECT_EQ(lines.mid(lines.size() - 3),
            (QStringList{"</Livre>", "<Annexe> </Annexe>", "</Body>"}));
}

TEST_F(ArbreTest, BlankNamesAndMissingNodesChangeNothing) {
  const QStringList before = shape();
  // Nothing selected or chosen yet.
  w.Button5Click();
  type("Nom");
  w.Button4Click();
  EXPECT_EQ(shape(), before);
  click("Livre");
  w.Button3Click();
  type("   ");
  w.Button4Click();
  EXPECT_TRUE(w.ModeNouveau);
  EXPECT_EQ(shape(), before);
  // "Nouveau" with nothing selected, "Fils": a new top-level node.
  w.TreeView1->clearSelection();
  w.Button3Click();
  w.RadioButton2->setChecked(true);
  type("Seul");
  w.Button4Click();
  EXPECT_EQ(shape().last(), QStringLiteral("Seul/0"));
}

TEST_F(ArbreTest, DeletingANodeTakesItsBranchAndShowsTheNextSelectedNode) {
  click("Partie1");
  QTest::mouseClick(w.Button5, Qt::LeftButton);
  EXPECT_EQ(shape(), (QStringList{"Body/0", "Livre/1", "Partie2/2", "Paragraphe4/3",
                                  "Paragraphe5/3"}));
  ASSERT_NE(w.NoeudCourant, nullptr);
  EXPECT_TRUE(w.NoeudCourant->isSelected());
  EXPECT_EQ(w.Edit1->text(), w.NoeudCourant->text(0));
  // Deleting down to the root: "OK" then gives nothing.
  click("Livre");
  w.Button5Click();
  EXPECT_EQ(shape(), QStringList{"Body/0"});
  w.Button2Click();
  EXPECT_TRUE(resultOf(w).isEmpty());
  // And the root itself: an empty tree, nothing to show.
  click("Body");
  w.Button5Click();
  EXPECT_TRUE(shape().isEmpty());
  EXPECT_EQ(w.NoeudCourant, nullptr);
  EXPECT_TRUE(w.Edit1->text().isEmpty());
  w.Button5Click();
  EXPECT_TRUE(resultOf(w).isEmpty());
}

TEST(Padgen, OpensOnItsLastTabWithTheStartTexts) {
  TPadgen w;
  EXPECT_EQ(w.PageControl1->tabText(w.PageControl1->currentIndex()), QStringLiteral("AFAS"));
  EXPECT_TRUE(resultOf(w).isEmpty());
  w.Button2Click();
  EXPECT_TRUE(w.Accepte);
  EXPECT_EQ(resultOf(w), untouchedPadSheetLines());
}

// The program tab's left column is one form: its fields start at one edge, not at two.
TEST(Padgen, TheProgramTabsLeftFieldsLineUp) {
  TPadgen w;
  w.PageControl1->setCurrentIndex(1);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const QWidget* page = w.PageControl1->currentWidget();
  const int edge = w.Edit17->mapTo(page, QPoint()).x();
  for (const QWidget* field : {static_cast<QWidget*>(w.Edit18), static_cast<QWidget*>(w.ComboBox1),
                               static_cast<QWidget*>(w.Edit24), static_cast<QWidget*>(w.Edit38),
                               static_cast<QWidget*>(w.ComboBox5), static_cast<QWidget*>(w.Edit40)})
    EXPECT_EQ(field->mapTo(page, QPoint()).x(), edge) << field->objectName().toStdString();
}

TEST(Padgen, EscapeAndTheCloseButtonCancel) {
  TPadgen escaped;
  escaped.show();
  QTest::keyClick(&escaped, Qt::Key_Escape);
  EXPECT_FALSE(escaped.isVisible());
  EXPECT_TRUE(resultOf(escaped).isEmpty());
  TPadgen closed;
  closed.show();
  closed.close();
  EXPECT_TRUE(resultOf(closed).isEmpty());
}

TEST(Padgen, ControlsReachTheirElements) {
  TPadgen w;
  w.Edit1->setText(QStringLiteral("Dupont & Fils"));
  w.Edit9->setText(QStringLiteral("Jean"));  // first name, written before the last name
  w.Edit8->setText(QStringLiteral("Dupont"));
  w.Edit14->setText(QStringLiteral("01 02"));
  w.ComboBox1->setCurrentIndex(1);
  w.ComboBox5->setEditText(QStringLiteral("Jeux"));
  w.CheckBox1->setChecked(true);
  w.Edit33->setText(QStringLiteral("30"));  // written nowhere
  w.Autre->setChecked(true);
  w.CheckBox3->setChecked(true);
  w.Edit44->setText(QStringLiteral("xml, editor"));
  w.Memo1->setPlainText(QStringLiteral("Éditeur <XML>\n"));
  w.Edit53->setText(QStringLiteral("http://b"));
  w.CheckBox6->setChecked(true);
  w.Edit56->setText(QStringLiteral("77"));
  w.Button2Click();
  const QStringList lines = resultOf(w);
  const auto after = [&](const char* line, int count) {
    return lines.mid(lines.indexOf(QLatin1String(line)) + 1, count);
  };
  EXPECT_EQ(lines.value(9), QStringLiteral("    <Company_Name>Dupont &amp; Fils</Company_Name>"));
  EXPECT_EQ(after("    <Contact_Info>", 2),
            (QStringList{"      <Author_First_Name>Jean</Author_First_Name>",
                         "      <Author_Last_Name>Dupont</Author_Last_Name>"}));
  EXPECT_TRUE(lines.contains("      <Sales_Phone>01 02</Sales_Phone>"));
  EXPECT_TRUE(lines.contains("    <Program_Type>Freeware</Program_Type>"));
  EXPECT_TRUE(lines.contains("    <Program_Specific_Category>Jeux</Program_Specific_Category>"));
  EXPECT_EQ(after("    <Expire_Info>", 2),
            (QStringList{"      <Has_Expire_Info>Y</Has_Expire_Info>",
                         "      <Expire_Based_On>Autre</Expire_Based_On>"}));
  EXPECT_FALSE(lines.join('\n').contains(QLatin1String("30")));
  EXPECT_TRUE(lines.contains("    <Includes_VB_Runtime>Y</Includes_VB_Runtime>"));
  EXPECT_EQ(after("    <English>", 1), QStringList{"      <Keywords>xml, editor</Keywords>"});
  EXPECT_EQ(after("    <French>", 6).mid(3),
            (QStringList{"      <Char_Desc_250>", "      Éditeur &lt;XML&gt;",
                         "      </Char_Desc_250>"}));
  EXPECT_TRUE(lines.contains("      <Secondary_Download_URL>http://b</Secondary_Download_URL>"));
  EXPECT_EQ(after("  <RUSH>", 3).mid(1),
            (QStringList{"    <RUSH_Member>Y</RUSH_Member>",
                         "    <RUSH_Member_Number>77</RUSH_Member_Number>"}));
}

TEST(Padgen, MemoLinesCountAsTheSheetCountsThem) {
  const std::pair<const char*, QStringList> cases[] = {
      {"", {}}, {"\n", {""}}, {"a", {"a"}}, {"a\n", {"a"}}, {"a\n\nb", {"a", "", "b"}},
      {"a\n\n", {"a", ""}}};
  QPlainTextEdit memo;
  for (const auto& [text, lines] : cases) {
    memo.setPlainText(QString::fromUtf8(text));
    EXPECT_EQ(TPadgen::memoLines(&memo), lines) << text;
  }
}

TEST(Padgen, TextFilesLoadIntoThePermissionMemos) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("licence.txt"));
  writeBytes(path, QByteArray("Libre\xe9\r\nde diffusion\r\n"));
  ScriptedPrompts prompts;
  TPadgen w;
  w.Memo8->setPlainText(QStringLiteral("garde"));
  prompts.files = {path, QString(), dir.filePath(QStringLiteral("absent.txt")), dir.path()};
  w.SpeedButton1Click();
  EXPECT_EQ(TPadgen::memoLines(w.Memo7), (QStringList{"Libre\u00e9", "de diffusion"}));
  ASSERT_FALSE(prompts.requests.empty());
  EXPECT_EQ(prompts.requests.front().filter,
            QStringLiteral("Fichiers Texte (*.txt)|*.txt|Tous les fichiers (*.*)|*.*"));
  // Cancelled, missing, a folder: the text stays, and nothing is said.
  for (int i = 0; i < 3; ++i) w.SpeedButton2Click();
  EXPECT_EQ(w.Memo8->toPlainText(), QStringLiteral("garde"));
  EXPECT_TRUE(prompts.messages().isEmpty());
  w.Button2Click();
  const QStringList lines = resultOf(w);
  const qsizetype at = lines.indexOf(QStringLiteral("    <Distribution_Permissions>"));
  ASSERT_GE(at, 0);
  EXPECT_EQ(lines.mid(at + 1, 3), (QStringList{"    Libre\u00e9", "    de diffusion",
                                              "    </Distribution_Permissions>"}));
}

}  // namespace
