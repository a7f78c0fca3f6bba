// The typing aids, the markup insertion and the conversions as the document window runs them:
// real key events in the source view, dialogs answered through ScriptedPrompts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "CaractsDialog.h"
#include "ColorMemo.h"
#include "DocumentHost.h"
#include "Editeur.h"
#include "FBalise.h"
#include "FCasse.h"
#include "ScriptedPrompts.h"
#include "StartDialog.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class Host : public DocumentHost {
 public:
  QStringList calls;
  void setRedoEnabled(bool on) override { calls << (on ? "redo on" : "redo off"); }
  void enablePaste() override {}
  void showStatus(const QString& text) override { calls << "status:" + text; }
  void sourceViewCommand() override {}
};

class TypingTest : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
  // A new document window holding text, caret at its end.
  TEditeur& document(const QString& text) {
    editeur = std::make_unique<TEditeur>(&host, "XML1.xml");
    editeur->Memo1->SetText(text);
    editeur->Memo1->SetSelStart(text.size());
    return *editeur;
  }
  // The widget that takes the keys typed into the source view.
  QWidget* keys() {
    editeur->show();
    QApplication::setActiveWindow(editeur.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(editeur.get()));
    editeur->Memo1->FocusText();
    return QApplication::focusWidget();
  }
  void type(QWidget* w, const QString& text) {
    for (const QChar c : text)
      QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
  QString text() const { return editeur->Memo1->Text(); }
  qint64 caret() const { return editeur->Memo1->SelStart(); }
  // Whether the command replaced the undo snapshot: the text before it is "avant", the
  // snapshot holds "ancien".
  QString undone() {
    editeur->Annuler();
    return text();
  }
  QString path(const QString& name) const { return dir.filePath(name); }
  void write(const QString& name, const QByteArray& bytes) {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }

  ScriptedPrompts prompts;
  Host host;
  QTemporaryDir dir;
  std::unique_ptr<TEditeur> editeur;
};

// Sets the text to old, takes the snapshot, then sets it to now without one.
void snapshotThen(TEditeur& e, const QString& old, const QString& now) {
  e.Memo1->SetText(old);
  e.Memorise();
  e.Memo1->SetText(now);
  e.Memo1->SetSelStart(now.size());
}

}  // namespace

TEST_F(TypingTest, EnterClosesTheOpenTagFirstWhenAutomaticClosingIsOn) {
  struct Case {
    const char* before;
    bool closing;
    const char* after;
  } cases[] = {
      {"<a>", true, "<a></a>\r\n"},
      {"<r><a></a>", true, "<r><a></a></r>\r\n"},
      {"<a></a>", true, "<a></a>\r\n"},
      {"<a>", false, "<a>\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    TEditeur& e = document(c.before);
    e.Actauto2(c.closing);
    QTest::keyClick(keys(), Qt::Key_Return);
    EXPECT_EQ(text(), c.after);
    EXPECT_EQ(caret(), text().size());
  }
}

TEST_F(TypingTest, AccentedLettersAreTypedAsReferencesOnlyWithCodingOn) {
  for (const bool coding : {true, false}) {
    SCOPED_TRACE(coding);
    TEditeur& e = document("");
    e.Actauto3(coding);
    type(keys(), QString::fromUtf8("éÉàçxû"));
    EXPECT_EQ(text(), coding ? QString::fromUtf8("&#233;É&#224;&#231;x&#251;")
                             : QString::fromUtf8("éÉàçxû"));
  }
  // A selection is replaced by the reference.
  TEditeur& e = document("abc");
  e.Actauto3(true);
  QWidget* w = keys();
  e.Memo1->SetSelStart(1);
  e.Memo1->SetSelLength(1);
  type(w, QString::fromUtf8("è"));
  EXPECT_EQ(text(), "a&#232;c");
}

TEST_F(TypingTest, EnterWithAutomaticClosingKeepsTheRedoSnapshot) {
  TEditeur& e = document("<c>");
  e.Actauto3(true);
  e.Actauto2(true);
  e.Memorise();
  e.Memo1->SetText("<a>\r\n<b>\r\n<c>");
  e.Annuler();  // the redo snapshot holds three lines
  ASSERT_TRUE(e.RedoAvailable());
  e.Memo1->SetSelStart(e.Memo1->Text().size());
  QTest::keyClick(keys(), Qt::Key_Return);
  EXPECT_TRUE(e.RedoAvailable());
  type(keys(), "y");
  EXPECT_FALSE(e.RedoAvailable());
}

TEST_F(TypingTest, FermerBaliseActsOnXmlAndNewDocumentsOnlyAndReportsItsSearch) {
  TEditeur& e = document("<a><b>");
  e.FermerBalise();
  EXPECT_EQ(text(), "<a><b></b>");
  EXPECT_EQ(host.calls, QStringList({"status:Cherche balise", "status:"}));
  e.FermerBalise();
  e.FermerBalise();
  EXPECT_EQ(text(), "<a><b></b></a>");

  write("style.css", "<a>");
  ASSERT_TRUE(e.OpenFile(path("style.css")));
  e.Memo1->SetSelStart(3);
  e.FermerBalise();
  EXPECT_EQ(text(), "<a>");
  write("Doc.XML", "<a>");
  ASSERT_TRUE(e.OpenFile(path("Doc.XML")));
  e.Memo1->SetSelStart(3);
  e.FermerBalise();
  EXPECT_EQ(text(), "<a></a>");
}

TEST_F(TypingTest, WrappingAndDeclarationsPlaceTheCaret) {
  struct Case {
    void (TEditeur::*command)();
    bool selected;
    const char* after;
    int caretFromEnd;
  } cases[] = {
      {&TEditeur::Commentaire, false, "x<!---->", 0},
      {&TEditeur::Commentaire, true, "<!--x-->", 0},
      {&TEditeur::Cdata, true, "<![CDATA[x]]>", 0},
      {&TEditeur::Ignorer, false, "x<![IGNORE[]]>", 0},
      {&TEditeur::Element, false, "x<!ELEMENT >", 1},
      {&TEditeur::Attribut, true, "<!ATTLIST >", 1},
      {&TEditeur::Entite, false, "x<!ENTITY >", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after);
    TEditeur& e = document("x");
    if (c.selected) e.Memo1->SelectAll();
    (e.*c.command)();
    EXPECT_EQ(text(), c.after);
    EXPECT_EQ(caret(), text().size() - c.caretFromEnd);
    EXPECT_EQ(e.Memo1->SelLength(), 0);
  }
}

TEST_F(TypingTest, PickersInsertWhatTheyGiveAndNothingWhenCancelled) {
  TEditeur& e = document("<a>\r\n<b x=\"1\">\r\n");
  prompts.dialogs.push_back([](QDialog& d) {
    auto& picker = dynamic_cast<TFBalise&>(d);
    EXPECT_EQ(picker.ListBox1->count(), 2);
    picker.ListBox1->setCurrentRow(1);
    picker.Button2->click();
    return int(QDialog::Accepted);
  });
  e.Balise1();
  EXPECT_EQ(text(), "<a>\r\n<b x=\"1\">\r\n<b>");
  e.Balise1();  // closed without an answer
  prompts.dialogs.push_back([](QDialog& d) {
    auto& grid = dynamic_cast<TCaractsDialog&>(d);
    grid.StringGrid1->setCurrentCell(4, 2);
    grid.Button1->click();
    return int(QDialog::Accepted);
  });
  e.Speciaux();
  prompts.dialogs.push_back([](QDialog& d) {
    auto& grid = dynamic_cast<TCaractsDialog&>(d);
    grid.StringGrid1->setCurrentCell(4, 2);
    grid.Button2->click();
    return int(QDialog::Rejected);
  });
  e.Speciaux();
  EXPECT_EQ(text(), "<a>\r\n<b x=\"1\">\r\n<b>&#201;");
  EXPECT_EQ(prompts.log, QStringList({"dialog: Insérer balise", "dialog: Insérer balise",
                                      "dialog: Caractères spéciaux", "dialog: Caractères spéciaux"}));
}

TEST_F(TypingTest, InsertedTextFileGetsReferencesAndAFinalBreak) {
  write("notes.txt", QString::fromUtf8("café\r\nça").toLatin1());
  TEditeur& e = document("");
  snapshotThen(e, "ancien", "[]");
  e.Memo1->SetSelStart(1);
  prompts.files = {path("notes.txt")};
  e.Importer();
  EXPECT_EQ(text(), "[caf&#233;\r\nça\r\n]");
  ASSERT_EQ(prompts.requests.size(), 1u);
  EXPECT_EQ(prompts.requests[0].title, "Insérer texte");
  EXPECT_EQ(prompts.requests[0].defaultSuffix, "txt");
  EXPECT_EQ(prompts.requests[0].filter, "Fichiers texte (*.txt)|*.txt|Tous les fichiers (*.*)|*.*");
  EXPECT_EQ(undone(), "[]");
}

TEST_F(TypingTest, CancelledOrFailedCommandsKeepTheEarlierUndoSnapshot) {
  const auto unchangedAndOldSnapshot = [this](const std::function<void(TEditeur&)>& command) {
    TEditeur& e = document("");
    snapshotThen(e, "ancien", "Texte sans accent");
    e.Memo1->SelectAll();
    command(e);
    EXPECT_EQ(text(), "Texte sans accent");
    EXPECT_EQ(undone(), "ancien");
  };
  {
    SCOPED_TRACE("Importer annulé");
    unchangedAndOldSnapshot([](TEditeur& e) { e.Importer(); });
  }
  {
    SCOPED_TRACE("Importer illisible");
    prompts.files = {path("absent.txt")};
    unchangedAndOldSnapshot([](TEditeur& e) { e.Importer(); });
    EXPECT_EQ(prompts.messages().size(), 1);
  }
  {
    SCOPED_TRACE("Options annulé");
    prompts.dialogs.push_back([](QDialog& d) {
      dynamic_cast<TStartDialog&>(d).Edit2->setText("a.dtd");
      return int(QDialog::Rejected);
    });
    unchangedAndOldSnapshot([](TEditeur& e) { e.Options(); });
  }
  {
    SCOPED_TRACE("Convertir refusé");
    prompts.answers = {Prompts::Answer::No};
    unchangedAndOldSnapshot([](TEditeur& e) { e.Convertir(); });
  }
  {
    SCOPED_TRACE("Convertir sans lettre");
    prompts.answers = {Prompts::Answer::Yes};
    unchangedAndOldSnapshot([](TEditeur& e) { e.Convertir(); });
  }
  {
    SCOPED_TRACE("Casse annulée");
    unchangedAndOldSnapshot([](TEditeur& e) { e.Casse(); });
  }
  {
    SCOPED_TRACE("Casse sans sélection");
    prompts.dialogs.push_back([](QDialog& d) {
      auto& casse = dynamic_cast<TFCasse&>(d);
      casse.Majuscules->setChecked(true);
      casse.Button1->click();
      return int(QDialog::Accepted);
    });
    unchangedAndOldSnapshot([](TEditeur& e) { e.Memo1->SetSelStart(0); e.Casse(); });
  }
}

TEST_F(TypingTest, ConvertirAsksThenConvertsAndCanBeUndone) {
  TEditeur& e = document(QString::fromUtf8("<nom>célèbre</nom>\r\n<!-- été -->"));
  prompts.answers = {Prompts::Answer::Yes};
  e.Convertir();
  EXPECT_EQ(text(), "<nom>c&#233;l&#232;bre</nom>\r\n<!-- \u00e9t\u00e9 -->");
  EXPECT_EQ(prompts.log, QStringList({"confirm: Convertir les caractères spéciaux ?",
                                      "information: Remplacement terminé"}));
  EXPECT_EQ(undone(), QString::fromUtf8("<nom>célèbre</nom>\r\n<!-- été -->"));
}

TEST_F(TypingTest, CasseChangesTheSelectionAndCanBeUndone) {
  TEditeur& e = document(QString::fromUtf8("Un Élève"));
  e.Memo1->SetSelStart(3);
  e.Memo1->SetSelLength(5);
  prompts.dialogs.push_back([](QDialog& d) {
    auto& casse = dynamic_cast<TFCasse&>(d);
    casse.Majuscules->setChecked(true);
    casse.Button1->click();
    return int(QDialog::Accepted);
  });
  e.Casse();
  EXPECT_EQ(text(), QString::fromUtf8("Un ÉLèVE"));
  EXPECT_EQ(prompts.log, QStringList({"dialog: Changer la casse"}));
  EXPECT_EQ(undone(), QString::fromUtf8("Un Élève"));
}

TEST_F(TypingTest, OptionsRewritesTheHeadAndCanBeUndone) {
  TEditeur& e = document("<?xml version=\"1.0\"?>\r\n<body>\r\n\r\n</body>");
  prompts.dialogs.push_back([](QDialog& d) {
    auto& options = dynamic_cast<TStartDialog&>(d);
    EXPECT_EQ(options.Edit1->text(), "1.0");
    options.Edit2->setText("a.dtd");
    options.Button2->click();
    return int(QDialog::Accepted);
  });
  e.Options();
  EXPECT_EQ(text(), "<?xml version=\"1.0\" ?>\r\n<!DOCTYPE SYSTEM=\"a.dtd\">\r\n<body>\r\n\r\n</body>");
  EXPECT_EQ(undone(), "<?xml version=\"1.0\"?>\r\n<body>\r\n\r\n</body>");
}

TEST_F(TypingTest, EditorFontIsChosenForThisWindow) {
  TEditeur& e = document("");
  QFont choisie(QStringLiteral("DejaVu Sans Mono"));
  choisie.setPixelSize(21);
  choisie.setItalic(true);
  prompts.fonts = {choisie};
  e.OptEdit();
  EXPECT_EQ(e.Memo1->MemoFont().pixelSize(), 21);
  EXPECT_TRUE(e.Memo1->MemoFont().italic());
  e.OptEdit();  // cancelled
  EXPECT_EQ(e.Memo1->MemoFont().pixelSize(), 21);
}

TEST_F(TypingTest, BatchEncodeAndDecodeGiveWhatTheEditorGives) {
  const QByteArray doc = QString::fromUtf8(
                             "<?xml version=\"1.0\"?>\r\n<liste>\r\n<!-- été -->\r\n"
                             "<fiche ville=\"Orléans\">Besançon &amp; Nîmes &#233 &copy;</fiche>\r\n"
                             "</liste>\r\n")
                             .toLatin1();
  write("doc.xml", doc);
  TEditeur& e = document("");
  ASSERT_TRUE(e.OpenFile(path("doc.xml")));
  prompts.answers = {Prompts::Answer::Yes};
  e.Convertir();
  const QByteArray editor = e.Memo1->Text().toLatin1();

  QProcess batch;
  batch.start(TOVELO_BATCH, {"encode", path("doc.xml")});
  ASSERT_TRUE(batch.waitForFinished(30000));
  EXPECT_EQ(batch.exitCode(), 0);
  const QByteArray encoded = batch.readAllStandardOutput();
  EXPECT_EQ(encoded, editor);

  write("encoded.xml", encoded);
  batch.start(TOVELO_BATCH, {"decode", path("encoded.xml"), "-o", path("decoded.xml")});
  ASSERT_TRUE(batch.waitForFinished(30000));
  EXPECT_EQ(batch.exitCode(), 0);
  QFile decoded(path("decoded.xml"));
  ASSERT_TRUE(decoded.open(QIODevice::ReadOnly));
  QString expected = e.Memo1->Text();
  TEditeur::CarXml(expected);
  EXPECT_EQ(decoded.readAll(), expected.toLatin1());

  batch.start(TOVELO_BATCH, {"encode", path("doc.xml"), path("doc.xml")});
  ASSERT_TRUE(batch.waitForFinished(30000));
  EXPECT_EQ(batch.exitCode(), 2);
}
