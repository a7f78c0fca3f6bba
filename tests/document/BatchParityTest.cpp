// tovelo-batch check, tree, dtd, duplicate and data give what the editor's window gives on the
// same documents.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "ColorMemo.h"
#include "Cp1252.h"
#include "DataModel.h"
#include "Editeur.h"
#include "Generator.h"
#include "ScriptedPrompts.h"
#include "StringGrid.h"
#include "TreeList.h"
#include "TreeModel.h"

namespace {

struct BatchRun {
  int status = -1;
  QByteArray out;
};

BatchRun batch(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(TOVELO_BATCH), args);
  p.waitForFinished(60000);
  return {p.exitCode(), p.readAllStandardOutput()};
}

QString escaped(const QString& s) {
  QString out;
  for (const QChar c : s) {
    if (c == u'\\') out += "\\\\";
    else if (c == u'\t') out += "\\t";
    else if (c == u'\r') out += "\\r";
    else if (c == u'\n') out += "\\n";
    else if (c.unicode() < 32) out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    else out += c;
  }
  return out;
}

TEST(BatchParity, TreeDtdAndDataAsTheEditorGivesThem) {
  QApplication::setQuitOnLastWindowClosed(false);
  ScriptedPrompts prompts;
  QTemporaryDir dir;
  const QString path = dir.filePath("doc.xml");
  reference::Generator gen(20261210u);
  std::vector<QStringList> docs = {
      {"<?xml version=\"1.0\"?>", "<liste version=\"2\">", "<fiche id='1'>", "<ville>Besançon</ville>",
       "<tel>01\t02</tel>", "</fiche>", "</liste>"},
      {"<r>", "<a>", "</r>"},
      {"<p class='a b' id=\"x\" titre=\"l'ete\">", "<r><a>1</a><a/><a>2</a></r>", "</p>"},
      {"<!DOCTYPE r [", "<!ELEMENT r (a)*>", "<!ELEMENT a (#PCDATA)>", "]>", "<r>", "<a>1</a>", "</r>"},
      {"<<<<a b='1' <c\td=2>x</c>", "<e"},
      {"<r><a>1</a><a>2</a></r>"},
  };
  for (int i = 0; i < 30; ++i) docs.push_back(i % 2 ? gen.recordsDocument(6) : gen.document());
  int checked = 0;
  for (const QStringList& lines : docs) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(cp1252::encode(lines.join("\r\n")));
    f.close();
    prompts.log.clear();
    QPointer<TEditeur> e = new TEditeur(nullptr, "doc.xml");
    e->OpenFile(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return e->idleBehind(); }, 10000));
    const std::string context = lines.join("\n").toStdString();

    // "Vérifier la syntaxe" selects the fault where tovelo-batch check places it.
    const QStringList opening = prompts.log;
    e->Valider(false);
    const BatchRun check = batch({"check", path});
    QString where;
    if (check.status == 1) {
      const qint64 at = e->Memo1->SelStart();
      const qint64 line = e->Memo1->LineOfPosition(at);
      where = QStringLiteral(":%1:%2").arg(line + 1).arg(at - e->Memo1->Store().lineStart(line) + 1);
    }
    EXPECT_EQ(QString::fromUtf8(check.out), path + where + ": " + prompts.messages().last() + "\n") << context;
    prompts.log = opening;

    const BatchRun tree = batch({"tree", path});
    if (!prompts.messages().isEmpty()) {
      EXPECT_EQ(tree.status, 1) << context;
      EXPECT_EQ(QString::fromUtf8(tree.out), prompts.messages().first() + "\n") << context;
      EXPECT_EQ(batch({"dtd", path}).status, 1) << context;
    } else {
      ++checked;
      QString shown;
      const tree::Tree& t = e->treeModel()->tree();
      for (int32_t n = 0; n < t.size(); ++n)
        shown += QString(t.depth(n) * 2, u' ') + cp1252::decode(QByteArray::fromStdString(t.label(n))) + "\n";
      EXPECT_EQ(tree.status, 0) << context;
      EXPECT_EQ(QString::fromUtf8(tree.out), shown) << context;
      const BatchRun dtd = batch({"dtd", path});
      e->Gendtd();
      EXPECT_EQ(dtd.out.toStdString(), e->Memo1->Bytes()) << context;
      e->Annuler();  // the editor's text back to the file's for the data view
      e->Memo1->SetBytes(cp1252::encode(lines.join("\r\n")).toStdString());
      // Dupliquer noeud on a node of the middle of the tree, the one the file's text built.
      if (t.size() > 1) {
        const int32_t node = t.size() / 2;
        QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
        QApplication::sendEvent(e->TreeView1, &in);
        e->TreeView1->setCurrentNode(node);
        const BatchRun duplicate = batch({"duplicate", QString::number(node + 1), path});
        e->Dupnoeud();
        EXPECT_EQ(duplicate.status, 0) << context;
        EXPECT_EQ(duplicate.out.toStdString(), e->Memo1->Bytes()) << context << "\nnode " << node;
        e->Memo1->SetBytes(cp1252::encode(lines.join("\r\n")).toStdString());
      }
    }

    e->Vuedonnees();
    QString rows;
    const int filled = int(e->dataModel()->rows().rows.size());
    for (int r = 0; r < filled; ++r)
      rows += escaped(e->dataModel()->label(r)) + "\t" + escaped(e->dataModel()->value(r)) + "\n";
    const BatchRun data = batch({"data", path});
    EXPECT_EQ(data.status, 0);
    EXPECT_EQ(QString::fromUtf8(data.out), rows) << context;
    if (filled > 0) {
      const int row = filled / 2;
      const BatchRun set = batch({"data", "--set", QString::number(row + 1), "Zoé", path});
      QTest::keyClick(e->StringGrid1, Qt::Key_Shift);
      e->dataModel()->setData(e->dataModel()->index(row, 1), "Zoé");
      EXPECT_EQ(set.out.toStdString(), e->Memo1->Bytes()) << context << "\nrow " << row;
      EXPECT_EQ(set.status, e->dataModel()->value(row) == "Zoé" ? 0 : 1) << context;
    }
    delete e.data();
  }
  EXPECT_GT(checked, 5);
  // A name without ".xml" gives nothing, as in the editor.
  QFile::copy(path, dir.filePath("doc.txt"));
  for (const char* command : {"tree", "dtd", "data"}) {
    const BatchRun r = batch({command, dir.filePath("doc.txt")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.isEmpty()) << command;
  }
}

}  // namespace
