// Find and replace in a document window, through its dialogs' own buttons, with the messages
// answered by ScriptedPrompts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ColorMemo.h"
#include "Editeur.h"
#include "FindDialogs.h"
#include "ScriptedPrompts.h"
#include "StatusHost.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class FindReplace : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
  void load(const QString& text, qint64 selStart = 0, qint64 selLength = 0) {
    e.Memo1->SetText(text);
    e.Memo1->SetSelStart(selStart);
    e.Memo1->SetSelLength(selLength);
  }
  void find(const QString& s, bool down = true, bool matchCase = false, bool word = false) {
    TFindDialog* d = e.FindDialog1();
    d->FindEdit->setText(s);
    (down ? d->Down : d->Up)->setChecked(true);
    d->MatchCase->setChecked(matchCase);
    d->WholeWord->setChecked(word);
    QTest::mouseClick(d->FindNextButton, Qt::LeftButton);
  }
  void replace(const QString& s, const QString& r, bool all, bool down = true, bool matchCase = false) {
    TReplaceDialog* d = e.ReplaceDialog1();
    d->FindEdit->setText(s);
    d->ReplaceEdit->setText(r);
    (down ? d->Down : d->Up)->setChecked(true);
    d->MatchCase->setChecked(matchCase);
    QTest::mouseClick(all ? d->ReplaceAllButton : d->ReplaceButton, Qt::LeftButton);
  }
  QString selection() const {
    return QString::number(e.Memo1->SelStart()) + "+" + QString::number(e.Memo1->SelLength());
  }

  ScriptedPrompts prompts;
  StatusHost host;
  TEditeur e{&host, "XML1.xml"};
};

TEST_F(FindReplace, SuivantSelectsEachMatchThenSaysItIsNotFound) {
  load("abc abc", 0, 3);
  find("abc");
  EXPECT_EQ(selection(), "4+3");
  find("abc");
  EXPECT_EQ(selection(), "4+3");
  EXPECT_EQ(prompts.messages(), QStringList{"Chaîne rechechée \"abc\" non trouvée"});

  load("abc abc", 7);
  find("abc", false);
  EXPECT_EQ(selection(), "4+3");
  find("abc", false);
  EXPECT_EQ(selection(), "0+3");
}

TEST_F(FindReplace, AReplaceThatFindsNothingKeepsTheUndoOfTheReplaceAllBefore) {
  load("a b a");
  replace("a", "x", true);
  EXPECT_EQ(e.Memo1->Text(), "x b x");
  replace("zzz", "y", false);
  EXPECT_EQ(prompts.messages(), QStringList{"Chaîne recherchée \"zzz\"non trouvée"});
  replace("zzz", "y", true);
  EXPECT_EQ(e.Memo1->Text(), "x b x");
  e.Annuler();
  EXPECT_EQ(e.Memo1->Text(), "a b a");

  // A replace that changes the text still takes the snapshot first.
  load("a b a");
  replace("b", "y", true);
  e.Memo1->SetSelStart(0);
  e.Memo1->SetSelLength(1);
  replace("a", "x", false);
  EXPECT_EQ(e.Memo1->Text(), "x y a");
  e.Annuler();
  EXPECT_EQ(e.Memo1->Text(), "a y a");
}

TEST_F(FindReplace, CaseAndWholeWordOptions) {
  load("un été");
  find("ÉTÉ");
  EXPECT_EQ(selection(), "3+3");
  load("un été");
  find("ÉTÉ", true, true);
  EXPECT_EQ(prompts.messages(), QStringList{"Chaîne rechechée \"ÉTÉ\" non trouvée"});
  load("cat concat");
  find("cat", true, false, true);
  EXPECT_EQ(selection(), "0+3");
}

TEST_F(FindReplace, ContinuerUsesTheFindDialogEvenClosed) {
  load("x");
  e.Continuer();
  EXPECT_EQ(prompts.messages(), QStringList{"Chaîne rechechée \"\" non trouvée"});
  load("ab ab");
  e.Chercher();
  e.FindDialog1()->FindEdit->setText("ab");
  QTest::mouseClick(e.FindDialog1()->CancelButton, Qt::LeftButton);
  EXPECT_FALSE(e.FindDialog1()->isVisible());
  e.Continuer();
  EXPECT_EQ(selection(), "0+2");
  e.Continuer();
  EXPECT_EQ(selection(), "3+2");
}

TEST_F(FindReplace, ReplaceTheSelectionWhateverItsCaseThenSelectTheNext) {
  load("ABC abc", 0, 3);
  replace("abc", "x", false, true, true);
  EXPECT_EQ(e.Memo1->Text(), "x abc");
  EXPECT_EQ(selection(), "2+3");
  replace("abc", "x", false, true, true);
  EXPECT_EQ(e.Memo1->Text(), "x x");
  EXPECT_EQ(prompts.messages(), QStringList{"Chaîne recherchée \"abc\"non trouvée"});
}

TEST_F(FindReplace, ReplaceAllFromTheCaretSilentlyAndUndoneAtOnce) {
  const struct {
    QString text;
    qint64 caret;
    bool down;
    QString find, by, result;
  } cases[] = {
      {"aaa", 0, true, "a", "b", "bbb"},
      {"aaa", 1, true, "a", "b", "abb"},
      {"aaa", 3, false, "a", "b", "bbb"},
      {"a a", 3, false, "a", "ba", "ba ba"},  // the replacement holds the find text: still ends
      {"a\r\na", 0, true, "a", "é", "é\r\né"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    load(c.text, c.caret);
    replace(c.find, c.by, true, c.down);
    EXPECT_EQ(e.Memo1->Text(), c.result);
    EXPECT_TRUE(e.Memo1->Modified());
    e.Annuler();
    EXPECT_EQ(e.Memo1->Text(), c.text);
  }
  EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(FindReplace, ReplaceAllShowsProgressInTheStatusPanelAndClearsIt) {
  QString big;
  for (int i = 0; i < 200000; ++i) big += "un mot de plus\r\n";
  load(big);
  replace("mot", "terme", true);
  EXPECT_EQ(e.Memo1->Store().size(), big.size() + 2 * 200000);
  ASSERT_GE(host.status.size(), 2);
  EXPECT_TRUE(host.status.first().startsWith("Remplace tout : ")) << host.status.first().toStdString();
  EXPECT_EQ(host.status.last(), "");
  e.Annuler();
  EXPECT_EQ(e.Memo1->Store().size(), big.size());
}

}  // namespace

// The batch program answers as the editor does, on the same file.
namespace {

QByteArray run(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(TOVELO_BATCH), args);
  EXPECT_TRUE(p.waitForFinished(30000));
  return p.readAllStandardOutput();
}

TEST_F(FindReplace, BatchFindsAndReplacesAsTheEditor) {
  QTemporaryDir dir;
  const QString path = dir.filePath("doc.xml");
  QByteArray doc;
  for (int i = 0; i < 300; ++i)
    doc += "<fiche n=\"" + QByteArray::number(i) + "\"><Nom>nom" + QByteArray::number(i % 7) +
           "</Nom> nom-NOM \xE9t\xE9 \xC9T\xC9</fiche>\r\n";
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(doc);
  }
  const struct {
    QStringList options;
    bool down, matchCase, word;
    QString find, by;
  } cases[] = {
      {{}, true, false, false, "nom", "x"},
      {{"--up"}, false, false, false, "nom", "nomnom"},
      {{"--case", "--word"}, true, true, true, "NOM", ""},
      {{"--up", "--word"}, false, false, true, "nom", "Nom été"},
      {{"--up"}, false, false, false, "ÉTÉ", "e"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options.join(' ').toStdString() + " " + c.find.toStdString());
    ASSERT_TRUE(e.OpenFile(path));
    // The tree is built behind the opened window: its answer comes before the searches start.
    ASSERT_TRUE(QTest::qWaitFor([&] { return e.idleBehind(); }, 10000));
    // Successive "Suivant" from where the batch starts.
    e.Memo1->SetSelStart(c.down ? 0 : e.Memo1->Store().size());
    TFindDialog* d = e.FindDialog1();
    d->FindEdit->setText(c.find);
    d->SetOptions(SearchOptions{c.down, c.matchCase, c.word});
    QByteArray positions;
    prompts.log.clear();
    for (int n = 0; n < 10000 && prompts.log.isEmpty(); ++n) {
      e.Continuer();
      if (prompts.log.isEmpty()) positions += QByteArray::number(e.Memo1->SelStart()) + "\n";
    }
    ASSERT_FALSE(positions.isEmpty()) << prompts.log.join(" / ").toStdString();
    EXPECT_EQ(run(QStringList{"find"} + c.options + QStringList{c.find, path}), positions);

    e.Memo1->SetSelStart(c.down ? 0 : e.Memo1->Store().size());
    TReplaceDialog* r = e.ReplaceDialog1();
    r->FindEdit->setText(c.find);
    r->ReplaceEdit->setText(c.by);
    r->SetOptions(SearchOptions{c.down, c.matchCase, c.word});
    QTest::mouseClick(r->ReplaceAllButton, Qt::LeftButton);
    const std::string edited = e.Memo1->Bytes();
    EXPECT_NE(edited, doc.toStdString());
    EXPECT_EQ(run(QStringList{"replace"} + c.options + QStringList{c.find, c.by, path}).toStdString(),
              edited);
  }
}

}  // namespace
