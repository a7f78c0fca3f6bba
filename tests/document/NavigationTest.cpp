// "Indenter le document" in the window (one undo step, the batch command's very bytes, a
// document whose markup does not nest left alone with the message) and "Aller à la ligne...".
#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>

#include "ColorMemo.h"
#include "Editeur.h"
#include "GotoLine.h"
#include "ScriptedPrompts.h"

namespace {

bool written(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray batchIndent(const QString& path, int* status) {
  QProcess p;
  p.start(QStringLiteral(TOVELO_BATCH), {"indent", path});
  p.waitForFinished(60000);
  *status = p.exitCode();
  return p.readAllStandardOutput();
}

TEST(IndentCommand, IndentsAsOneUndoStepAndAsTheBatchCommandDoes) {
  ScriptedPrompts prompts;
  QTemporaryDir dir;
  const QString path = dir.filePath("doc.xml");
  const QByteArray original = "<?xml version=\"1.0\"?>\r\n<liste><fiche id='1'><nom>Dupont</nom>"
                              "<p>un <b>mot</b></p></fiche>\r\n  <fiche/></liste>\r\n";
  ASSERT_TRUE(written(path, original));

  QPointer<TEditeur> e = new TEditeur(nullptr, "doc.xml");
  ASSERT_TRUE(e->OpenFile(path));
  e->Indenter();
  const QByteArray expected = "<?xml version=\"1.0\"?>\r\n<liste>\r\n\t<fiche id='1'>\r\n\t\t<nom>Dupont</nom>"
                              "\r\n\t\t<p>un <b>mot</b></p>\r\n\t</fiche>\r\n\t<fiche/>\r\n</liste>\r\n";
  EXPECT_EQ(QByteArray::fromStdString(e->Memo1->Store().text()), expected);
  int status = -1;
  EXPECT_EQ(batchIndent(path, &status), expected);
  EXPECT_EQ(status, 0);

  // Indenting an indented document changes nothing, so the undo snapshot stays the original.
  e->Indenter();
  e->Annuler();
  EXPECT_EQ(QByteArray::fromStdString(e->Memo1->Store().text()), original);
  EXPECT_TRUE(prompts.messages().isEmpty());
  delete e;
}

TEST(IndentCommand, MarkupThatDoesNotNestIsReportedAndLeftAlone) {
  ScriptedPrompts prompts;
  QTemporaryDir dir;
  const QString path = dir.filePath("faux.xml");
  const QByteArray original = "<r>\r\n<a>\r\n</b>\r\n</r>";
  ASSERT_TRUE(written(path, original));
  QPointer<TEditeur> e = new TEditeur(nullptr, "faux.xml");
  e->OpenFile(path);
  prompts.log.clear();
  e->Indenter();
  EXPECT_EQ(prompts.messages(), QStringList{"Le document contient des erreurs"});
  EXPECT_EQ(QByteArray::fromStdString(e->Memo1->Store().text()), original);
  EXPECT_EQ(e->Memo1->SelStart(), 10);  // the "</b>" that closes nothing
  int status = -1;
  EXPECT_EQ(batchIndent(path, &status), "Le document contient des erreurs\n");
  EXPECT_EQ(status, 1);
  delete e;
}

TEST(GoToLine, LineAndColumnTakenToTheNearestPlace) {
  const TextStore text = TextStore::fromBytes("un\ndeux\n\ntrois");
  const struct {
    const char* input;
    int64_t pos;
  } cases[] = {{"1", 0}, {"2", 4}, {" 2 : 3 ", 6}, {"2:99", 8}, {"0", 0}, {"99", 12}, {"99:2", 13},
               {"4:0", 12}, {"", -1}, {"a", -1}, {"2:", -1}, {"-1", -1}, {"1:2:3", -1},
               {"999999999999999999", 12}};
  for (const auto& c : cases) EXPECT_EQ(lineColumnPosition(text, c.input), c.pos) << c.input;
}

TEST(GoToLine, TheDialogMovesTheCaret) {
  ScriptedPrompts prompts;
  QPointer<TEditeur> e = new TEditeur(nullptr, "doc.xml");
  e->Memo1->SetText("<r>\r\n<a/>\r\n<b/>\r\n</r>");
  QString shown;
  prompts.dialogs.push_back([&shown](QDialog& d) {
    auto& g = static_cast<TGotoLine&>(d);
    shown = g.Edit1->text();
    g.Edit1->setText("3:2");
    g.Button1->click();
    return d.result();
  });
  e->GoToLine();
  EXPECT_EQ(shown, "1");
  EXPECT_EQ(e->Memo1->SelStart(), 12);
  prompts.dialogs.push_back([](QDialog& d) {
    static_cast<TGotoLine&>(d).Edit1->setText("1");
    return int(QDialog::Rejected);
  });
  e->GoToLine();
  EXPECT_EQ(e->Memo1->SelStart(), 12);
  delete e;
}

TEST(MatchingTag, TheCaretInATagMarksItsPartnerAndTheCommandGoesThere) {
  ScriptedPrompts prompts;
  QPointer<TEditeur> e = new TEditeur(nullptr, "doc.xml");
  e->Memo1->SetText("<r>\r\n<a x='1'>texte</a>\r\n</r>");
  using Marks = std::vector<std::pair<qint64, qint64>>;
  e->Memo1->SetSelStart(8);  // inside <a x='1'>
  EXPECT_EQ(e->Memo1->Marks(), (Marks{{5, 14}, {19, 23}}));
  e->GoToMatchingTag();
  EXPECT_EQ(e->Memo1->SelStart(), 19);
  EXPECT_EQ(e->Memo1->Marks(), (Marks{{19, 23}, {5, 14}}));
  e->GoToMatchingTag();
  EXPECT_EQ(e->Memo1->SelStart(), 5);
  e->Memo1->SetSelStart(16);  // in the text: nothing marked, and the command stays
  EXPECT_TRUE(e->Memo1->Marks().empty());
  e->GoToMatchingTag();
  EXPECT_EQ(e->Memo1->SelStart(), 16);
  e->Memo1->SetSelStart(19);
  e->Memo1->SetSelText("</b>");  // the partner's name no longer matches
  e->Memo1->SetSelStart(6);
  EXPECT_TRUE(e->Memo1->Marks().empty());
  delete e;
}

}  // namespace

namespace {

QString batchPath(const QString& path, const QString& place) {
  QProcess p;
  p.start(QStringLiteral(TOVELO_BATCH), {"path", path, place});
  p.waitForFinished(60000);
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The status text and "Copier le chemin XPath" at places of a document whose nesting breaks
// half-way, against tovelo-batch path at the same line and column.
TEST(ElementPath, TheStatusTextTheCommandAndTheBatchCommandAgree) {
  ScriptedPrompts prompts;
  QTemporaryDir dir;
  const QString path = dir.filePath("doc.xml");
  const QByteArray doc = "<?xml version=\"1.0\"?>\r\n<liste>\r\n\t<fiche id='1'><nom>Dupont</nom></fiche>\r\n"
                         "\t<fiche/>\r\n\t<fiche><!-- <nom> --><nom>Durand</nom><p>un <b>mot</a></p>\r\n"
                         "</liste>\r\n";
  ASSERT_TRUE(written(path, doc));
  QPointer<TEditeur> e = new TEditeur(nullptr, "doc.xml");
  ASSERT_TRUE(e->OpenFile(path));
  const TextStore text = e->Memo1->Store();
  for (const char* probe : {"<?xml", "liste>", "Dupont", "fiche/", "<nom> --", "Durand", "mot", "</p>", "</liste>"}) {
    const int64_t pos = int64_t(doc.indexOf(probe)) + 1;
    e->Memo1->SetSelStart(pos);
    const int64_t line = text.lineOf(pos);
    const QString batch = batchPath(path, QStringLiteral("%1:%2").arg(line + 1).arg(pos - text.lineStart(line) + 1));
    e->CopyXPath();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), batch) << probe;
    const QString status = e->elementPath();
    EXPECT_EQ(u'/' + QString(status).replace(QStringLiteral(" › "), QStringLiteral("/")),
              batch == u"/" ? QStringLiteral("/") : batch)
        << probe;
  }
  EXPECT_EQ(batchPath(path, QStringLiteral("3:11")), QStringLiteral("/liste/fiche[1]"));
  EXPECT_EQ(batchPath(path, QStringLiteral("5:50")), QStringLiteral("/liste/fiche[3]/p/b"));
  EXPECT_EQ(batchPath(path, QStringLiteral("5:60")), QStringLiteral("/liste/fiche[3]"));
  delete e;
}

}  // namespace
