// "Exporter..." and "Importer..." in a document window, with the file dialogs answered by
// ScriptedPrompts, the import dialog driven through its own widgets, and the batch program
// compared with the editor on the same files.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ColorMemo.h"
#include "Editeur.h"
#include "Import.h"
#include "ScriptedPrompts.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class ExchangeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    ASSERT_TRUE(dir.isValid());
  }
  QString file(const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
  }
  static QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
  }
  static QByteArray batch(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(TOVELO_BATCH), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    return p.readAllStandardOutput();
  }

  QTemporaryDir dir;
  ScriptedPrompts prompts;
  TEditeur e{nullptr, "XML1.xml"};
};

const QByteArray kDocument = "<?xml version=\"1.0\"?>\r\n<body>\r\n<nom>c&#233;l&#232;bre</nom>\r\n"
                             "  <a\r\nb=\"1\">x</a>\r\n</body>\r\n";

TEST_F(ExchangeWindow, ExportNamesTheFileByTheChosenFilterAsTheBatchDoes) {
  const QString doc = file("doc.xml", kDocument);
  ASSERT_TRUE(QDir(dir.path()).mkdir("notes.txt.d"));
  ASSERT_TRUE(QDir(dir.path()).mkdir("site.htm.d"));
  ASSERT_TRUE(e.OpenFile(doc));
  prompts.log.clear();  // what opening said (the tree's own messages)
  const struct {
    QString answer;
    int filter;
    QString written;
    QStringList batchArgs;
  } cases[] = {
      {dir.filePath("rapport.TXT"), 0, dir.filePath("rapport.TXT.txt"), {"--text"}},
      {dir.filePath("rapport.txt"), 0, dir.filePath("rapport.txt"), {"--text"}},
      {dir.filePath("page"), 1, dir.filePath("page.htm"), {"--html"}},
      {dir.filePath("page.htm"), 1, dir.filePath("page.htm"), {"--html"}},
      {dir.filePath("page.html"), 1, dir.filePath("page.html"), {"--html"}},
      // A suffix in a folder's name is not the file's.
      {dir.filePath("notes.txt.d/rapport"), 0, dir.filePath("notes.txt.d/rapport.txt"), {"--text"}},
      {dir.filePath("site.htm.d/page"), 1, dir.filePath("site.htm.d/page.htm"), {"--html"}},
      {dir.filePath("rapport.txt.bak"), 0, dir.filePath("rapport.txt.bak.txt"), {"--text"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer.toStdString());
    QFile::remove(c.written);
    prompts.files.push_back(c.answer);
    prompts.filters.push_back(c.filter);
    e.Exporter();
    const Prompts::FileRequest& asked = prompts.requests.back();
    EXPECT_EQ(asked.filter, "Fichiers texte (*.txt)|*.txt|Fichier HTML (*.htm)|*.htm");
    EXPECT_EQ(asked.defaultSuffix, "txt");
    EXPECT_EQ(read(c.written), batch(QStringList{"export"} + c.batchArgs + QStringList{doc}));
  }
  EXPECT_EQ(read(dir.filePath("rapport.txt")), "c\xE9l\xE8" "bre\r\n  \r\nx\r\n");
  EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.log.join(" | ").toStdString();
}

TEST_F(ExchangeWindow, ExportOnlyFromAnXmlDocument) {
  ASSERT_TRUE(e.OpenFile(file("style.css", "p { }\r\n")));
  prompts.log.clear();  // what opening said (the tree's own messages)
  e.Exporter();
  EXPECT_TRUE(prompts.log.isEmpty());
}

TEST_F(ExchangeWindow, ExportThatCannotBeWrittenSaysSo) {
  ASSERT_TRUE(e.OpenFile(file("doc.xml", kDocument)));
  prompts.log.clear();  // what opening said (the tree's own messages)
  const QString path = dir.filePath("absent/rapport.txt");
  prompts.files.push_back(path);
  e.Exporter();
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_TRUE(prompts.messages()[0].contains("rapport.txt")) << prompts.messages()[0].toStdString();
  EXPECT_TRUE(prompts.log.last().startsWith("error: "));
  EXPECT_FALSE(QFile::exists(path));
}

TEST_F(ExchangeWindow, PreviewShowsTheFirstFourLinesUnderFieldNames) {
  const QString tsv = file("t.txt", "a\tb\r\n1\t2\t3\t4\t5\r\nx\r\ny\r\nhidden\t\t\t\t\t\t\r\n");
  TImport d;
  ASSERT_TRUE(d.Init(tsv));
  d.show();
  QTableWidget* g = d.StringGrid1;
  ASSERT_EQ(g->columnCount(), 5);
  ASSERT_EQ(g->rowCount(), 5);
  for (int j = 0; j < 5; ++j) EXPECT_EQ(g->item(0, j)->text(), QString("champ%1").arg(j));
  EXPECT_EQ(g->item(2, 4)->text(), "5");
  EXPECT_EQ(g->item(1, 2)->text(), "");
  EXPECT_TRUE(g->item(0, 1)->flags() & Qt::ItemIsSelectable);
  EXPECT_FALSE(g->item(2, 1)->flags() & Qt::ItemIsSelectable);
  EXPECT_EQ(d.windowTitle(), "Importer fichier");
  EXPECT_EQ(d.Edit1->text(), "Enregistrement");
}

TEST_F(ExchangeWindow, ImportThroughTheDialogAsTheBatchDoes) {
  const QString doc = file("doc.xml", kDocument);
  const QString tsv = file("villes.txt", "Paris\t01\r\nLyon\t04 & 05\r\n");
  ASSERT_TRUE(e.OpenFile(doc));
  prompts.log.clear();  // what opening said (the tree's own messages)
  prompts.files.push_back(tsv);
  QTimer::singleShot(0, [] {
    auto* d = qobject_cast<TImport*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    d->StringGrid1->item(0, 0)->setText("ville");
    d->StringGrid1->item(0, 1)->setText("tel");
    d->Edit1->setText("fiche");
    QTest::mouseClick(d->Valider, Qt::LeftButton);
  });
  e.Importetxt();
  EXPECT_EQ(prompts.requests.back().title, "Insérer texte");
  EXPECT_EQ(prompts.requests.back().filter, "Fichiers texte (*.txt)|*.txt|Tous les fichiers (*.*)|*.*");
  EXPECT_TRUE(e.Memo1->Modified());
  EXPECT_EQ(QByteArray::fromStdString(e.Memo1->Bytes()),
            batch({"import", "--record", "fiche", "--field", "ville", "--field", "tel", tsv, doc}));
  EXPECT_TRUE(e.Memo1->Text().contains("<tel>04 &amp; 05</tel>\r\n</fiche>\r\n</body>"));
}

TEST_F(ExchangeWindow, CancelledImportChangesNothing) {
  ASSERT_TRUE(e.OpenFile(file("doc.xml", kDocument)));
  prompts.log.clear();  // what opening said (the tree's own messages)
  prompts.files.push_back(file("villes.txt", "Paris\t01\r\n"));
  QTimer::singleShot(0, [] {
    auto* d = qobject_cast<TImport*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    QTest::mouseClick(d->Annuler, Qt::LeftButton);
  });
  e.Importetxt();
  EXPECT_EQ(QByteArray::fromStdString(e.Memo1->Bytes()), kDocument);
  EXPECT_FALSE(e.Memo1->Modified());

  prompts.files.push_back(dir.filePath("absent.txt"));
  e.Importetxt();
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_TRUE(prompts.messages()[0].contains("absent.txt"));
}

}  // namespace
