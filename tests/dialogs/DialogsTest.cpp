// The document dialogs: what they read from a document, what they give back, and their buttons.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "CaractsDialog.h"
#include "FBalise.h"
#include "FCasse.h"
#include "ScriptedPrompts.h"
#include "StartDialog.h"
#include "TextStore.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// A document's lines as the source view holds them.
struct Document {
  explicit Document(const QStringList& lines)
      : store(TextStore::normalise(lines.join("\r\n").toLatin1().toStdString())), view(store.lines()) {}
  TextStore store;
  std::unique_ptr<TextLines> view;
};

const QStringList kNouveau = {"<?xml version=\"1.0\"?>", "<body>", "", "</body>"};

// "OK" on the dialog after Init, with the fields set by change.
QStringList okWith(const QStringList& lines, const std::function<void(TStartDialog&)>& change) {
  TStartDialog d;
  Document doc(lines);
  d.Init(*doc.view);
  change(d);
  return d.Result(lines);
}

}  // namespace

TEST(StartDialog, ReadsTheHeadOfANewDocument) {
  TStartDialog d;
  Document doc(kNouveau);
  d.Init(*doc.view);
  EXPECT_EQ(d.windowTitle(), "Déclaration XML");
  EXPECT_EQ(d.Edit1->text(), "1.0");
  EXPECT_FALSE(d.Yes->isChecked());
  EXPECT_FALSE(d.No->isChecked());
  EXPECT_EQ(d.ComboBox1->currentText(), "Default");
  EXPECT_EQ(d.ComboBox1->count(), 17);
  EXPECT_EQ(d.ComboBox1->itemText(3), "ISO-106-46-UCS-2");
  EXPECT_EQ(d.Edit2->text(), "");
  EXPECT_EQ(d.Edit3->text(), "");
}

TEST(StartDialog, WritesTheDeclarationDoctypeAndStyleSheetLines) {
  const auto nothing = [](TStartDialog&) {};
  EXPECT_EQ(okWith(kNouveau, nothing),
            QStringList({"<?xml version=\"1.0\" ?>", "<body>", "", "</body>"}));
  EXPECT_EQ(okWith(kNouveau,
                   [](TStartDialog& d) {
                     d.Edit2->setText("a.dtd");
                     d.Edit3->setText("s.css");
                   }),
            QStringList({"<?xml version=\"1.0\" ?>", "<!DOCTYPE SYSTEM=\"a.dtd\">",
                         "<?xml:stylesheet type=\"text/css\" href=\"s.css\"?>", "<body>", "",
                         "</body>"}));
  // Without a DTD the style sheet is still the third line.
  EXPECT_EQ(okWith(kNouveau, [](TStartDialog& d) { d.Edit3->setText("page.xsl"); }),
            QStringList({"<?xml version=\"1.0\" ?>", "<body>",
                         "<?xml:stylesheet type=\"text/xsl\" href=\"page.xsl\"?>", "", "</body>"}));
  EXPECT_EQ(okWith(kNouveau,
                   [](TStartDialog& d) {
                     d.Yes->setChecked(true);
                     d.ComboBox1->setCurrentText("UTF-8");
                   })
                .first(),
            "<?xml version=\"1.0\" standalone=\"yes\" encoding=\"UTF-8\"?>");
  EXPECT_EQ(okWith(kNouveau, [](TStartDialog& d) { d.ComboBox1->setCurrentText("UTF-8"); }).first(),
            "<?xml version=\"1.0\"  encoding=\"UTF-8\"?>");
  EXPECT_EQ(okWith(kNouveau, [](TStartDialog& d) { d.ComboBox1->setCurrentText(""); }).first(),
            "<?xml version=\"1.0\"  encoding=\"\"?>");
  EXPECT_EQ(okWith(kNouveau,
                   [](TStartDialog& d) {
                     d.Edit1->clear();
                     d.No->setChecked(true);
                   })
                .first(),
            "<?xml version=\"1.0\" standalone=\"no\"?>");
  // Short documents take the new lines at their end.
  EXPECT_EQ(okWith({"<a/>"},
                   [](TStartDialog& d) {
                     d.Edit2->setText("a.dtd");
                     d.Edit3->setText("s.css");
                   }),
            QStringList({"<a/>", "<!DOCTYPE SYSTEM=\"a.dtd\">",
                         "<?xml:stylesheet type=\"text/css\" href=\"s.css\"?>"}));
}

TEST(StartDialog, ReadsBackWhatItWroteAndApostrophesAsQuotes) {
  const QStringList ecrit = okWith(kNouveau, [](TStartDialog& d) {
    d.Edit2->setText("a.dtd");
    d.Edit3->setText("s.css");
    d.No->setChecked(true);
    d.ComboBox1->setCurrentText("ISO-8859-1");
  });
  TStartDialog d;
  Document doc(ecrit);
  d.Init(*doc.view);
  EXPECT_EQ(d.Edit2->text(), "a.dtd");
  EXPECT_EQ(d.Edit3->text(), "s.css");
  EXPECT_TRUE(d.No->isChecked());
  EXPECT_EQ(d.ComboBox1->currentText(), "ISO-8859-1");

  Document apostrophes({"<?xml version='1.1' standalone='yes' encoding='UTF-16'?>",
                        "<!DOCTYPE r SYSTEM 'r.dtd'>", "<?xml:stylesheet href='x.css'?>"});
  const DocumentHead head = readHead(*apostrophes.view);
  EXPECT_EQ(head.version, "1.1");
  EXPECT_EQ(head.standalone, DocumentHead::Standalone::Yes);
  EXPECT_EQ(head.encoding, "UTF-16");
  EXPECT_EQ(head.dtd, "r.dtd");
  EXPECT_EQ(head.style, "x.css");
  // Another standalone value chooses nothing.
  Document autre({"<?xml version=\"1.0\" standalone=\"peut-être\"?>"});
  EXPECT_EQ(readHead(*autre.view).standalone, DocumentHead::Standalone::None);
}

TEST(StartDialog, ReplacesOrRemovesTheOldLines) {
  const QStringList avec = {"<?xml version=\"1.0\"?>", "<!DOCTYPE SYSTEM=\"a.dtd\">",
                            "<?xml:stylesheet type=\"text/css\" href=\"s.css\"?>", "<body>", "</body>"};
  EXPECT_EQ(okWith(avec, [](TStartDialog& d) { d.Edit2->clear(); }),
            QStringList({"<?xml version=\"1.0\" ?>", "<body>",
                         "<?xml:stylesheet type=\"text/css\" href=\"s.css\"?>", "</body>"}));
  // No declaration line: none is written, the other lines are still replaced.
  EXPECT_EQ(okWith({"<body>", "<!DOCTYPE body SYSTEM \"old.dtd\">", "</body>"},
                   [](TStartDialog& d) { d.Edit2->setText("new.dtd"); }),
            QStringList({"<body>", "<!DOCTYPE SYSTEM=\"new.dtd\">", "</body>"}));
  // An internal subset over several lines stays whole: its first line alone would leave the
  // rest dangling.
  const QStringList interne = {"<?xml version=\"1.0\"?>", "<!DOCTYPE l [", "<!ELEMENT l (#PCDATA)>",
                               "]>", "<l/>"};
  EXPECT_EQ(okWith(interne, [](TStartDialog& d) { d.Edit2->setText("a.dtd"); }),
            QStringList({"<?xml version=\"1.0\" ?>", "<!DOCTYPE l [", "<!ELEMENT l (#PCDATA)>", "]>",
                         "<l/>"}));
}

TEST(StartDialog, BrowseGivesPathsRelativeToTheDocumentsFolder) {
  ScriptedPrompts prompts;
  prompts.files = {"/docs/dtd/a.dtd", "/b/style.css", ""};
  TStartDialog d;
  d.SetBase("/docs/");
  d.Edit3->setText("garde.css");
  d.SpeedButton1->click();
  d.SpeedButton2->click();
  EXPECT_EQ(d.Edit2->text(), "dtd/a.dtd");
  EXPECT_EQ(d.Edit3->text(), "../b/style.css");
  ASSERT_EQ(prompts.requests.size(), 2u);
  EXPECT_EQ(prompts.requests[0].filter, "Fichiers DTD (*.tdt)|*.dtd");
  EXPECT_EQ(prompts.requests[0].defaultSuffix, "dtd");
  EXPECT_EQ(prompts.requests[1].filter, "Feuilles de style (*.css;*.xsl)|*.css;*.xsl");
  EXPECT_EQ(relativePath("/docs/", "/docs/a.dtd"), "a.dtd");
}

TEST(StartDialog, OnlyOkConfirms) {
  TStartDialog d;
  d.Button2->click();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  TStartDialog e;
  e.Button1->click();
  EXPECT_EQ(e.result(), QDialog::Rejected);
}

TEST(FBalise, ListsEachStartTagKeyOnceInOrder) {
  Document doc({"<a>", "<b x=\"1\">", "</a>", "<a>", "<br/>", "<?xml version=\"1.0\"?>",
                "<!-- commentaire -->", "<br />", "<A>", "<a><b/>", "<!-- <c> -->"});
  EXPECT_EQ(tagKeysOf(*doc.view), QStringList({"<a>", "<b>", "<br>", "<c>"}));
}

TEST(FBalise, ResultIsTheChosenKeyOnlyAfterOkOrADoubleClick) {
  Document doc({"<a>", "<b>"});
  {
    TFBalise d;
    d.Init(*doc.view);
    EXPECT_EQ(d.windowTitle(), "Insérer balise");
    d.Button2->click();
    EXPECT_EQ(d.Result(), "");  // nothing selected
  }
  {
    TFBalise d;
    d.Init(*doc.view);
    d.ListBox1->setCurrentRow(1);
    d.Button1->click();
    EXPECT_EQ(d.Result(), "");
  }
  {
    TFBalise d;
    d.Init(*doc.view);
    d.ListBox1->setCurrentRow(1);
    d.Button2->click();
    EXPECT_EQ(d.Result(), "<b>");
  }
  {
    TFBalise d;
    d.Init(*doc.view);
    d.ListBox1->setCurrentRow(0);
    d.ListBox1DblClick();
    EXPECT_EQ(d.Result(), "<a>");
  }
}

TEST(CaractsDialog, EveryCellGivesTheReferenceOfTheCharacterItShows) {
  const QMap<QString, QChar> named = {{"&quot;", u'"'}, {"&amp;", u'&'}, {"&lt;", u'<'},
                                      {"&gt;", u'>'}, {"&reg;", QChar(0xAE)}, {"&nbsp;", QChar(0xA0)}};
  TCaractsDialog d;
  QSet<QChar> shown;
  for (int r = 0; r < TCaractsDialog::kRows; ++r) {
    for (int c = 0; c < TCaractsDialog::kColumns; ++c) {
      SCOPED_TRACE(QStringLiteral("%1,%2").arg(c).arg(r).toStdString());
      const QString cell = d.StringGrid1->item(r, c)->text();
      ASSERT_EQ(cell.size(), 1);
      const QString ref = TCaractsDialog::reference(c, r);
      const QChar given = ref.startsWith("&#") ? QChar(ref.mid(2, ref.size() - 3).toInt())
                                               : named.value(ref, QChar(0));
      EXPECT_EQ(given, cell[0]) << ref.toStdString();
      shown.insert(cell[0]);
      // Each character is a byte of Windows-1252.
      EXPECT_LT(cell[0].unicode(), 256);
    }
  }
  EXPECT_EQ(shown.size(), 40);
  EXPECT_EQ(TCaractsDialog::reference(2, 4), "&#201;");
  EXPECT_EQ(TCaractsDialog::reference(0, 0), "&quot;");
  EXPECT_EQ(TCaractsDialog::reference(4, 7), "&nbsp;");
}

TEST(CaractsDialog, ResultAfterOkOnly) {
  {
    TCaractsDialog d;
    EXPECT_EQ(d.windowTitle(), "Caractères spéciaux");
    d.StringGrid1->setCurrentCell(4, 2);  // row 4, column 2: É
    d.Button1->click();
    EXPECT_EQ(d.Result(), "&#201;");
  }
  {
    TCaractsDialog d;
    d.Button1->click();
    EXPECT_EQ(d.Result(), "");
  }
  {
    TCaractsDialog d;
    d.StringGrid1->setCurrentCell(4, 2);
    d.Button2->click();
    EXPECT_EQ(d.Result(), "");
  }
}

TEST(FCasse, OkChangesTheCaseOfAToZOnlyAndAnythingElseKeepsTheText) {
  {
    TFCasse d;
    d.Init(QString::fromUtf8("Élève"));
    EXPECT_EQ(d.windowTitle(), "Changer la casse");
    EXPECT_TRUE(d.Minuscules->isChecked());
    EXPECT_TRUE(d.RadioGroup1->font().bold());
    d.Majuscules->setChecked(true);
    d.Button1->click();
    EXPECT_EQ(d.Result(), QString::fromUtf8("ÉLèVE"));
  }
  {
    TFCasse d;
    d.Init(QString::fromUtf8("Élève ABC"));
    d.Button1->click();
    EXPECT_EQ(d.Result(), QString::fromUtf8("Élève abc"));
  }
  {
    TFCasse d;
    d.Init("Abc");
    d.Majuscules->setChecked(true);
    d.Button2->click();
    EXPECT_EQ(d.Result(), "Abc");
  }
  {
    TFCasse d;
    d.Init("Abc");
    d.show();
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_EQ(d.Result(), "Abc");
  }
}
