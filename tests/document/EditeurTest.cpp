// The document window driven end to end: real files in a temporary folder, dialogs answered by
// ScriptedPrompts, the main window replaced by a host that records what it is told.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSplitter>
#include <QStackedWidget>
#include "StringGrid.h"
#include <QTemporaryDir>
#include <QTest>
#include "TreeList.h"

#include "ColorMemo.h"
#include "DocumentHost.h"
#include "Editeur.h"
#include "ScriptedPrompts.h"
#include "TextFile.h"

// Readable failure messages for texts and lists of texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class FakeHost : public DocumentHost {
 public:
  QStringList calls;
  void setRedoEnabled(bool on) override { calls << (on ? "redo on" : "redo off"); }
  void enablePaste() override { calls << "paste"; }
  void showStatus(const QString& text) override { calls << "status:" + text; }
  void sourceViewCommand() override { calls << "source"; }
};

const QStringList kNouveau = {"<?xml version=\"1.0\"?>", "<body>", "", "</body>"};

class EditeurTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QApplication::setQuitOnLastWindowClosed(false);
    ASSERT_TRUE(dir.isValid());
  }
  void TearDown() override {
    for (const QPointer<TEditeur>& e : editeurs) delete e.data();
  }
  TEditeur& nouveau(const QString& caption = "XML1.xml") {
    editeurs << new TEditeur(&host, caption);
    return *editeurs.last();
  }
  QString chemin(const QString& nom) const { return dir.filePath(nom); }
  QString ecrit(const QString& nom, const QByteArray& octets) {
    QFile f(chemin(nom));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(octets);
    return chemin(nom);
  }
  static QByteArray lit(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
  }
  // Shows the window and returns the widget that takes the keys typed into the source view.
  static QWidget* zoneDeSaisie(TEditeur& e) {
    e.show();
    QApplication::setActiveWindow(&e);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&e));
    e.Memo1->FocusText();
    return QApplication::focusWidget();
  }

  ScriptedPrompts prompts;
  FakeHost host;
  QTemporaryDir dir{QDir::tempPath() + "/editeur-XXXXXX"};
  QList<QPointer<TEditeur>> editeurs;
};

TEST_F(EditeurTest, NewWindowStartsWithTheNewDocumentAndItsLayout) {
  TEditeur& e = nouveau();
  e.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
  EXPECT_EQ(e.Memo1->Lines(), kNouveau);
  EXPECT_FALSE(e.Memo1->Modified());
  EXPECT_EQ(e.GetFichier(), "");
  EXPECT_EQ(e.GetRepertoire(), QDir::currentPath() + "/");
  EXPECT_EQ(e.windowTitle(), "XML1.xml");
  EXPECT_EQ(e.size(), QSize(629, 429));
  EXPECT_EQ(e.Splitter1->sizes().value(1), 109);
  EXPECT_EQ(e.PageControl1->currentWidget(), e.TabSheet1);
  EXPECT_FALSE(e.GetArbreAuto() || e.GetFermetureAuto() || e.GetCodageAuto() || e.GetArbreActif());
  EXPECT_FALSE(e.RedoAvailable());
}

TEST_F(EditeurTest, CloseQueryAsksOnlyForChangesAndKeepsTheTextUnlessItIsSafe) {
  struct Cas {
    const char* nom;
    bool ouvert;           // an opened file rather than a new document
    bool modifie;
    Prompts::Answer reponse;
    QString dialogue;      // the save dialog's answer; "-" removes the file's folder first
    bool ferme;
    const char* question;  // empty: no question
  };
  const Cas cas[] = {
      {"unchanged closes silently", false, false, Prompts::Answer::Yes, "", true, ""},
      {"cancel keeps it open", false, true, Prompts::Answer::Cancel, "", false, "''"},
      {"no closes without saving", true, true, Prompts::Answer::No, "", true, "'a.xml'"},
      {"yes saves and closes", true, true, Prompts::Answer::Yes, "", true, "'a.xml'"},
      {"yes then save dialog cancelled stays open", false, true, Prompts::Answer::Yes, "", false,
       "''"},
      {"yes then save failed stays open", true, true, Prompts::Answer::Yes, "-", false, "'a.xml'"},
  };
  for (const Cas& c : cas) {
    SCOPED_TRACE(c.nom);
    prompts.log.clear();
    QDir(chemin("sous")).removeRecursively();
    QDir().mkpath(chemin("sous"));
    const QString fichier = ecrit("sous/a.xml", "<a>\r\n</a>");
    TEditeur& e = nouveau();
    if (c.ouvert) {
      ASSERT_TRUE(e.OpenFile(fichier));
    }
    if (c.modifie) {
      e.Memo1->SetLines({"<b>", "</b>"});
      e.Memo1->SetModified(true);
    }
    if (c.dialogue == "-") QDir(chemin("sous")).removeRecursively();
    prompts.answers = {c.reponse};
    const QStringList avant = e.Memo1->Lines();
    QPointer<TEditeur> p(&e);
    EXPECT_EQ(e.close(), c.ferme);
    ASSERT_FALSE(p.isNull());
    const QString question =
        QString("confirmOrCancel: Enregistrer changements dans %1?").arg(c.question);
    EXPECT_EQ(prompts.log.value(0), *c.question ? question : QString());
    if (!c.ferme) {
      EXPECT_EQ(e.Memo1->Lines(), avant);
    }
    if (c.ouvert && c.dialogue != "-") {
      EXPECT_EQ(lit(fichier), c.reponse == Prompts::Answer::Yes ? "<b>\r\n</b>" : "<a>\r\n</a>");
    }
  }
}

TEST_F(EditeurTest, SaveAsAppendsXmlOnlyWhenThePathHasNoDot) {
  ASSERT_FALSE(dir.path().contains('.')) << "the temporary folder must be free of dots";
  QDir().mkpath(chemin("v1.0"));
  const struct {
    QString choisi, ecrit;
  } cas[] = {{"notes", "notes.xml"}, {"notes.txt", "notes.txt"}, {"v1.0/notes", "v1.0/notes"}};
  for (const auto& c : cas) {
    SCOPED_TRACE(c.choisi.toStdString());
    TEditeur& e = nouveau();
    e.Memo1->SetLines({"<r>", "</r>"});
    prompts.files = {chemin(c.choisi)};
    prompts.requests.clear();
    e.Enregistrer();
    ASSERT_EQ(prompts.requests.size(), 1u);
    EXPECT_EQ(prompts.requests[0].title, "Enregistrer sous");
    EXPECT_EQ(prompts.requests[0].defaultSuffix, "xml");
    EXPECT_EQ(prompts.requests[0].filter,
              "Fichiers xml (*.xml)|*.xml|Fichiers dtd (*.dtd)|*.dtd|Fichiers css (*.css)|*.css|"
              "Fichiers xsl (*.xsl)|*.xsl");
    EXPECT_EQ(e.GetFichier(), chemin(c.ecrit));
    EXPECT_EQ(e.windowTitle(), QFileInfo(c.ecrit).fileName());
    EXPECT_EQ(e.GetRepertoire(), QFileInfo(chemin(c.ecrit)).path() + "/");
    EXPECT_EQ(lit(chemin(c.ecrit)), "<r>\r\n</r>");
    EXPECT_FALSE(e.Memo1->Modified());
  }
}

TEST_F(EditeurTest, ReadOnlyFileWarnsAndAsksAgainUntilAWritableNameOrCancel) {
  const QString ro1 = ecrit("ro1.xml", "un"), ro2 = ecrit("ro2.xml", "deux");
  for (const QString& f : {ro1, ro2}) QFile::setPermissions(f, QFile::ReadOwner | QFile::ReadUser);
  TEditeur& e = nouveau();
  ASSERT_TRUE(e.OpenFile(ro1));
  e.Memo1->SetLines({"neuf"});
  prompts.files = {ro2, chemin("libre.xml")};
  e.Enregistrer();
  EXPECT_EQ(prompts.log, QStringList({"warning: Fichier en lecture seule", "save: ro1.xml",
                                      "warning: Fichier en lecture seule", "save: ro2.xml"}));
  EXPECT_EQ(lit(ro1), "un");
  EXPECT_EQ(lit(ro2), "deux");
  EXPECT_EQ(lit(chemin("libre.xml")), "neuf");
  EXPECT_EQ(e.GetFichier(), chemin("libre.xml"));

  // Cancelled after a read-only choice: the document keeps its name, caption and changes.
  TEditeur& f = nouveau();
  ASSERT_TRUE(f.OpenFile(ro1));
  f.setWindowTitle("ro1.xml");
  f.Memo1->SetModified(true);
  prompts.files = {ro2};
  f.Enregistrer();
  EXPECT_EQ(f.GetFichier(), ro1);
  EXPECT_EQ(f.windowTitle(), "ro1.xml");
  EXPECT_TRUE(f.Memo1->Modified());
  EXPECT_EQ(lit(ro1), "un");
}

TEST_F(EditeurTest, CancelledSaveDialogsChangeNothing) {
  TEditeur& e = nouveau();
  e.Memo1->SetModified(true);
  e.Enregistrer();  // new document: the dialog, cancelled
  e.SaveAs();
  EXPECT_EQ(prompts.log, QStringList({"save: ", "save: "}));
  EXPECT_EQ(e.GetFichier(), "");
  EXPECT_TRUE(e.Memo1->Modified());
  EXPECT_EQ(e.Memo1->Lines(), kNouveau);
  EXPECT_TRUE(QDir(dir.path()).isEmpty());

  const QString a = ecrit("a.xml", "x");
  ASSERT_TRUE(e.OpenFile(a));
  e.SaveAs();
  EXPECT_EQ(prompts.log.last(), "save: a.xml");
  EXPECT_EQ(e.GetFichier(), a);
}

TEST_F(EditeurTest, FailedSaveReportsAndKeepsTheChanges) {
  QDir().mkpath(chemin("parti"));
  const QString a = ecrit("parti/a.xml", "ancien");
  TEditeur& e = nouveau();
  ASSERT_TRUE(e.OpenFile(a));
  e.Memo1->SetLines({"nouveau"});
  e.Memo1->SetModified(true);
  QDir(chemin("parti")).removeRecursively();
  e.Enregistrer();
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_TRUE(prompts.log[0].startsWith("error: ") && prompts.log[0].contains(a));
  EXPECT_TRUE(e.Memo1->Modified());
  EXPECT_FALSE(QFile::exists(a));

  // Save as into a missing folder: same report, and the window keeps its old name.
  prompts.files = {chemin("absent/b.xml")};
  e.SaveAs();
  EXPECT_EQ(e.GetFichier(), a);
  EXPECT_TRUE(prompts.messages().last().contains(chemin("absent/b.xml")));
}

TEST_F(EditeurTest, OddFilesOpenWithoutLossAndCrLfFilesSaveBackIdentically) {
  QByteArray tous;
  for (int b = 0; b < 256; ++b) {
    if (b != '\r' && b != '\n') tous += char(b);
    if (b % 16 == 15) tous += "\r\n";
  }
  const struct {
    const char* nom;
    QByteArray octets;
    QByteArray enregistre;  // after open and save unchanged
  } cas[] = {
      {"all byte values", tous, tous},
      {"nul bytes", QByteArray("a\0b\r\n\0", 6), QByteArray("a\0b\r\n\0", 6)},
      {"lone cr", "a\rb\rc", "a\r\nb\r\nc"},
      {"lf cr", "a\n\rb\n\r", "a\r\nb\r\n"},
      {"lf", "a\nb\n", "a\r\nb\r\n"},
      {"one line of 1 MB", QByteArray(1 << 20, 'x'), QByteArray(1 << 20, 'x')},
      {"empty", "", ""},
  };
  for (const auto& c : cas) {
    SCOPED_TRACE(c.nom);
    const QString f = ecrit("f.txt", c.octets);
    TEditeur& e = nouveau();
    ASSERT_TRUE(e.OpenFile(f));
    EXPECT_FALSE(e.Memo1->Modified());
    EXPECT_EQ(e.Memo1->SelStart(), 0);
    e.Enregistrer();
    EXPECT_TRUE(prompts.log.isEmpty()) << prompts.log.join('\n').toStdString();
    EXPECT_EQ(lit(f), c.enregistre);
  }
}

TEST_F(EditeurTest, UnreadableFilesAreReportedAndLoadNothing) {
  const QString interdit = ecrit("interdit.xml", "x");
  QFile::setPermissions(interdit, {});
  QDir().mkpath(chemin("dossier.xml"));
  QStringList chemins = {chemin("absent.xml"), chemin("dossier.xml")};
  chemins << interdit;
  textfile::refuseReadingForTests(interdit, EACCES);  // root reads it anyway
  for (const QString& c : chemins) {
    SCOPED_TRACE(c.toStdString());
    prompts.log.clear();
    TEditeur& e = nouveau();
    EXPECT_FALSE(e.OpenFile(c));
    ASSERT_EQ(prompts.log.size(), 1);
    EXPECT_TRUE(prompts.log[0].startsWith("error: ") && prompts.log[0].contains(c));
    EXPECT_EQ(e.GetFichier(), "");
    EXPECT_EQ(e.Memo1->Lines(), kNouveau);
  }
  textfile::refuseReadingForTests(interdit, 0);
}

TEST_F(EditeurTest, PathWithSpacesAndAccentsOpensAndSaves) {
  QDir().mkpath(chemin("mes documents à moi"));
  const QString f = ecrit("mes documents à moi/été 2024.xml", "<a>\r\n</a>");
  TEditeur& e = nouveau();
  ASSERT_TRUE(e.OpenFile(f));
  EXPECT_EQ(e.GetRepertoire(), chemin("mes documents à moi/"));
  e.Memo1->SetLines({"<b>", "</b>"});
  e.Enregistrer();
  EXPECT_EQ(lit(f), "<b>\r\n</b>");
  e.Memo1->SetModified(true);
  prompts.answers = {Prompts::Answer::Cancel};
  e.close();
  EXPECT_EQ(prompts.log.value(0), "confirmOrCancel: Enregistrer changements dans 'été 2024.xml'?");
}

TEST_F(EditeurTest, UndoRestoresTheSnapshotAndRedoNeedsThreeLines) {
  TEditeur& e = nouveau();
  e.Memo1->SetLines({"un", "deux", "trois"});
  e.Memo1->SetSelStart(4);
  e.Memo1->SetSelLength(4);  // "deux"
  e.Memo1->SetModified(false);
  e.Couper();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", "", "trois"}));
  e.Annuler();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", "deux", "trois"}));
  EXPECT_EQ(e.Memo1->SelStart(), 8);  // where the selection ended
  EXPECT_EQ(e.Memo1->SelLength(), 0);
  EXPECT_TRUE(e.Memo1->Modified());
  e.Retablir();  // cuts again
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", "", "trois"}));
  e.Annuler();
  e.Annuler();  // twice: the same snapshot again
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", "deux", "trois"}));
  e.Retablir();  // the redo snapshot now holds what the first of the two undos restored
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", "deux", "trois"}));
  EXPECT_EQ(host.calls, QStringList({"redo on", "redo off", "redo on", "redo on", "redo off"}));

  // Two lines cut to one: a redo snapshot of fewer than three lines is never restored.
  e.Memo1->SetLines({"un", "deux"});
  e.Memo1->SetSelStart(0);
  e.Memo1->SetSelLength(4);
  e.Couper();
  e.Annuler();
  host.calls.clear();
  e.Retablir();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", "deux"}));
  EXPECT_TRUE(host.calls.isEmpty());
}

TEST_F(EditeurTest, RedoCountsLinesWithoutTheEmptyOneAfterAFinalBreak) {
  struct Cas {
    QString texte;
    bool retabli;
  };
  const Cas cas[] = {
      {"a\r\nb\r\n", false},      // two lines and a final break
      {"a\r\nb\r\nc", true},
      {"a\r\nb\r\n\r\n", true},  // the second empty line counts
      {"", false},
  };
  for (const Cas& c : cas) {
    SCOPED_TRACE(c.texte.toStdString());
    TEditeur& e = nouveau();
    e.Memo1->SetText(c.texte);
    e.Memorise();
    e.Annuler();  // the redo snapshot holds the text
    e.Memo1->SetText("x");
    e.Retablir();
    EXPECT_EQ(e.Memo1->Text() == c.texte, c.retabli);
    EXPECT_EQ(e.RedoAvailable(), c.retabli);
    // The snapshot keeps the final break: a redo gives the text back whole.
    if (c.retabli) {
      EXPECT_EQ(e.Memo1->Text(), c.texte);
    }
  }
}

TEST_F(EditeurTest, UndoBeforeAnySnapshotEmptiesAndRedoBringsTheTextBack) {
  TEditeur& e = nouveau();
  e.Annuler();
  EXPECT_EQ(e.Memo1->Text(), "");
  e.Retablir();
  EXPECT_EQ(e.Memo1->Lines(), kNouveau);
}

TEST_F(EditeurTest, TypingClearsTheRedoSnapshotOnlyWithCharacterCoding) {
  for (const bool codage : {false, true}) {
    SCOPED_TRACE(codage);
    TEditeur& e = nouveau();
    e.Actauto3(codage);
    e.Annuler();
    e.Retablir();
    e.Annuler();
    host.calls.clear();
    QWidget* saisie = zoneDeSaisie(e);
    ASSERT_NE(saisie, nullptr);
    QTest::keyClicks(saisie, "ab");
    EXPECT_EQ(e.RedoAvailable(), !codage);
    EXPECT_EQ(host.calls.contains("redo off"), codage);
    e.Retablir();
    EXPECT_EQ(e.Memo1->Lines() == kNouveau, !codage);
    e.hide();
  }
}

TEST_F(EditeurTest, ActivationSetsRedoFromTheSnapshotThenShowsTheSource) {
  TEditeur& e = nouveau();
  e.FormActivate();
  e.Annuler();  // the redo snapshot holds the four lines
  e.FormActivate();
  EXPECT_EQ(host.calls, QStringList({"redo off", "source", "redo on", "redo on", "source"}));
  TEditeur sansHote(nullptr, "XML2.xml");
  sansHote.FormActivate();
  sansHote.Valider(false);
}

TEST_F(EditeurTest, LineNumberCountsTwoCharactersPerBreak) {
  TEditeur& e = nouveau();
  e.Memo1->SetLines({"<a>", "</a>"});
  // Position 4 lies inside the break, where the caret cannot rest.
  for (const int pos : {0, 1, 2, 3, 5, 6, 7, 8, 9}) {
    e.Memo1->SetSelStart(pos);
    EXPECT_EQ(e.Ligne(), pos < 5 ? 1 : 2) << pos;
  }
  e.Memo1->SetText("");
  EXPECT_EQ(e.Ligne(), 1);
  // After a final break the caret stays on the last line of text: the empty line after the
  // break is not counted. Any other empty line is.
  e.Memo1->SetLines({"<r>", "<a>x</a>", "</r>", ""});
  e.Memo1->SetSelStart(e.Memo1->Text().size());
  EXPECT_EQ(e.Ligne(), 3);
  e.Memo1->SetText("a\r\n\r\n\r\n");
  e.Memo1->SetSelStart(7);
  EXPECT_EQ(e.Ligne(), 3);
  e.Memo1->SetSelStart(6);
  EXPECT_EQ(e.Ligne(), 3);
  e.Memo1->SetSelStart(3);
  EXPECT_EQ(e.Ligne(), 2);

  // The mouse over the text shows the caret's line in the status bar.
  zoneDeSaisie(e);
  e.Memo1->SetSelStart(3);
  QWidget* sous = e.Memo1->childAt(e.Memo1->rect().center());
  ASSERT_NE(sous, nullptr);
  QTest::mouseMove(sous, sous->rect().center());
  QTest::mouseMove(sous, sous->rect().center() + QPoint(3, 3));
  EXPECT_TRUE(host.calls.contains("status:Ligne : 2")) << host.calls.join('|').toStdString();
}

TEST_F(EditeurTest, ClipboardCommands) {
  TEditeur& e = nouveau();
  e.Memo1->SetLines({"abc"});
  e.ToutSelectionner();
  EXPECT_EQ(e.Memo1->SelLength(), 3);
  e.Copier();
  EXPECT_EQ(QApplication::clipboard()->text(), "abc");
  EXPECT_EQ(host.calls, QStringList({"paste"}));
  e.Memo1->SetSelStart(3);
  e.Coller();
  EXPECT_EQ(e.Memo1->Text(), "abcabc");
  e.Annuler();
  EXPECT_EQ(e.Memo1->Text(), "abc");
}

TEST_F(EditeurTest, TheSourceViewsContextMenuRunsTheWindowsCommands) {
  TEditeur& e = nouveau();
  e.Memo1->SetLines({"un", "deux"});
  e.Memo1->SetSelStart(4);
  e.Memo1->SetSelLength(4);
  emit e.Memo1->CutRequested();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", ""}));
  emit e.Memo1->UndoRequested();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", "deux"}));
  e.Memo1->SetSelStart(0);
  emit e.Memo1->PasteRequested();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"deuxun", "deux"}));
  emit e.Memo1->UndoRequested();
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"un", "deux"}));
}

TEST_F(EditeurTest, TreeFocusSetsAndClearsArbreActif) {
  TEditeur& e = nouveau();
  zoneDeSaisie(e);
  e.TreeView1->setFocus();
  EXPECT_TRUE(e.GetArbreActif());
  e.Memo1->FocusText();
  EXPECT_FALSE(e.GetArbreActif());
}

TEST_F(EditeurTest, ViewsSwitchPagesAndTheGridFollowsTheWidth) {
  TEditeur& e = nouveau();
  e.show();
  e.resize(800, 500);
  e.Vuedonnees();
  QApplication::processEvents();
  EXPECT_EQ(e.PageControl1->currentWidget(), e.TabSheet2);
  EXPECT_EQ(e.StringGrid1->columnWidth(0), 200);
  EXPECT_EQ(e.StringGrid1->columnWidth(1), e.StringGrid1->width() - 206);
  EXPECT_GT(e.StringGrid1->width(), 700);
  e.VueSource();
  EXPECT_EQ(e.PageControl1->currentWidget(), e.TabSheet1);
}

TEST_F(EditeurTest, InitTakesTheCaptionAsFileNameAndAsksBeforeClosing) {
  TEditeur& e = nouveau("XML2.xml");
  e.Init({"<a>", "</a>"});
  EXPECT_EQ(e.GetFichier(), "XML2.xml");
  EXPECT_EQ(e.Memo1->Lines(), QStringList({"<a>", "</a>"}));
  EXPECT_FALSE(e.close());
  EXPECT_EQ(prompts.log, QStringList("confirmOrCancel: Enregistrer changements dans 'XML2.xml'?"));
}

TEST_F(EditeurTest, AWizardsDocumentAsksForANameAtItsFirstSave) {
  // A file of the caption's name in the current folder is not the document's.
  const QString ancien = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  ecrit("XML2.xml", "autre");
  TEditeur& e = nouveau("XML2.xml");
  e.Init({"<a>", "</a>"});
  e.Enregistrer();  // the dialog, cancelled
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].title, "Enregistrer sous");
  EXPECT_EQ(prompts.requests[0].fileName, "XML2.xml");
  EXPECT_EQ(lit(chemin("XML2.xml")), "autre");
  EXPECT_TRUE(e.Memo1->Modified());
  EXPECT_TRUE(e.neverSaved());

  prompts.files = {chemin("choisi.xml")};
  e.Enregistrer();
  EXPECT_EQ(lit(chemin("choisi.xml")), "<a>\r\n</a>");
  EXPECT_FALSE(e.neverSaved());
  e.Memo1->SetLines({"<b>", "</b>"});
  e.Enregistrer();  // named now: saved without a question
  EXPECT_EQ(prompts.requests.size(), 2u);
  EXPECT_EQ(lit(chemin("choisi.xml")), "<b>\r\n</b>");
  EXPECT_EQ(lit(chemin("XML2.xml")), "autre");
  QDir::setCurrent(ancien);
}

TEST_F(EditeurTest, PrintingWritesEveryLineOnAsManyPagesAsNeeded) {
  TEditeur& e = nouveau();
  QStringList lignes;
  for (int i = 1; i <= 300; ++i) lignes << QString("ligne %1").arg(i);
  e.Memo1->SetLines(lignes);
  const QString pdf = chemin("sortie.pdf");
  prompts.printToPdf = pdf;
  e.Imprimer();  // cancelled
  EXPECT_FALSE(QFile::exists(pdf));
  prompts.printAnswers = {true};
  e.Imprimer();
  ASSERT_TRUE(QFile::exists(pdf));
  QProcess info;
  info.start("pdfinfo", {pdf});
  ASSERT_TRUE(info.waitForFinished(30000));
  const QString sortie = QString::fromUtf8(info.readAllStandardOutput());
  const int pages = sortie.section("Pages:", 1).trimmed().section('\n', 0, 0).toInt();
  // 17 screen pixels print at about 13 points: some fifty lines a page.
  EXPECT_GE(pages, 5);
  EXPECT_LE(pages, 8);
  QProcess texte;
  texte.start("pdftotext", {pdf, "-"});
  ASSERT_TRUE(texte.waitForFinished(30000));
  const QString imprime = QString::fromUtf8(texte.readAllStandardOutput());
  EXPECT_TRUE(imprime.contains("ligne 1\n") && imprime.contains("ligne 300"));

  prompts.printToPdf = chemin("absent/sortie.pdf");
  prompts.printAnswers = {true};
  e.Imprimer();
  ASSERT_EQ(prompts.messages().size(), 1);
  EXPECT_TRUE(prompts.messages()[0].startsWith("Impossible d'imprimer"));
}

// Records whether the busy cursor was still up when the report was shown.
class PromptsCurseur : public ScriptedPrompts {
 public:
  QList<bool> curseurPendantMessage;
  void information(QWidget* w, const QString& text) override {
    curseurPendantMessage << (QApplication::overrideCursor() != nullptr);
    ScriptedPrompts::information(w, text);
  }
};

TEST_F(EditeurTest, ValiderReportsOnceClearsTheStatusAndRestoresTheCursor) {
  PromptsCurseur p;
  // After a fault's box the source view selects the faulty tag (or puts the caret where a fault
  // without a tag lies), and status panel 0 tells where.
  const struct {
    QStringList lignes;
    bool dtd;
    QString message;
    QString selection;
    qint64 caret;  // the selection's start
    QString place;  // status panel 0 at the end
  } cas[] = {
      {kNouveau, false, "Le document est bien formé", "", 0, ""},
      {{"<a>"}, false, "Balise <a> non fermée", "<a>", 0, "Ligne 1, colonne 1"},
      {{"<r>", "\tçà<p", "lang=fr>", "</p></r>"}, false, "Attribut dans la balise <p> incorrect",
       "<p\r\nlang=fr>", 8, "Ligne 2, colonne 4"},
      {{"<r>", "AT&T", "</r>"}, false, "&T Manque ; en fin d'entité", "", 7, "Ligne 2, colonne 3"},
      {kNouveau, true, "Le document est valide", "", 0, ""},
      {{"<!DOCTYPE r [", "<!ELEMENT r (a)*>", "<!ELEMENT a (#PCDATA)>", "]>",
        "<r><a>x</a><b>y</b></r>"},
       true, "Balise <b> non déclarée", "<b>", 73, "Ligne 5, colonne 12"},
  };
  for (const auto& c : cas) {
    SCOPED_TRACE(c.message.toStdString());
    TEditeur& e = nouveau();
    e.Memo1->SetLines(c.lignes);
    p.log.clear();
    host.calls.clear();
    e.Valider(c.dtd);
    EXPECT_EQ(p.messages(), QStringList(c.message));
    QStringList statuses = {"status:Valide document", "status:"};
    if (!c.place.isEmpty()) statuses << "status:" + c.place;
    EXPECT_EQ(host.calls, statuses);
    EXPECT_EQ(e.Memo1->SelText(), c.selection);
    EXPECT_EQ(e.Memo1->SelStart(), c.caret);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
  EXPECT_EQ(p.curseurPendantMessage, QList<bool>(std::size(cas), false));

  // The DTD named after SYSTEM is found beside the document, whatever the current directory.
  QDir().mkpath(chemin("doc"));
  ecrit("doc/r.dtd", "<!ELEMENT r (#PCDATA)>\r\n");
  const QString doc = ecrit("doc/d.xml", "<!DOCTYPE r SYSTEM \"r.dtd\">\r\n<r><x>1</x></r>\r\n");
  TEditeur& e = nouveau();
  ASSERT_TRUE(e.OpenFile(doc));
  p.log.clear();
  e.Valider(true);
  EXPECT_EQ(p.messages(), QStringList("Balise <x> non déclarée"));
}

}  // namespace
