#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "Desktop.h"
#include "Prompts.h"
#include "QtPrompts.h"
#include "TextPrinter.h"

TEST(Desktop, BrowserParameterQuotesThePathWithForwardSlashes) {
  EXPECT_EQ(browserParameter(QStringLiteral("C:\\Docs\\a.xml")),
            QStringLiteral("\"FILE:///C:/Docs/a.xml\""));
  EXPECT_EQ(browserParameter(QStringLiteral("C:\\My Docs\\a.xml")),
            QStringLiteral("\"FILE:///C:/My Docs/a.xml\""));
  EXPECT_EQ(browserParameter(QStringLiteral("/home/élodie/a b.xml")),
            QStringLiteral("\"FILE:////home/élodie/a b.xml\""));
}

TEST(Prompts, PipeFiltersBecomeQtFilters) {
  EXPECT_EQ(Prompts::qtFilter(QStringLiteral("Fichiers xml (*.xml)|*.xml|Fichiers dtd (*.dtd)|*.dtd")),
            QStringLiteral("Fichiers xml (*.xml);;Fichiers dtd (*.dtd)"));
  // Qt filters by the label's patterns, blank-separated: a label that shows other patterns, or
  // separates them with ";", must still filter by the pattern part.
  EXPECT_EQ(Prompts::qtFilter(QStringLiteral("Fichiers DTD (*.tdt)|*.dtd")),
            QStringLiteral("Fichiers DTD (*.tdt) (*.dtd)"));
  EXPECT_EQ(Prompts::qtFilter(QStringLiteral("Feuilles de style (*.css;*.xsl)|*.css;*.xsl")),
            QStringLiteral("Feuilles de style (*.css *.xsl)"));
}

namespace {

int pdfPages(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray pdf = f.readAll();
  return int(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page>") +
             pdf.count("/Type /Page "));
}

int printPages(const QStringList& lines) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("out.pdf"));
  {
    QPdfWriter writer(path);
    writer.setResolution(300);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(17);
    EXPECT_TRUE(printTextLines(writer, font, lines));
  }
  return pdfPages(path);
}

}  // namespace

TEST(TextPrinter, StartsANewPageOnlyWhenTheNextLineDoesNotFit) {
  EXPECT_EQ(printPages({QStringLiteral("une ligne")}), 1);
  QStringList many;
  for (int i = 0; i < 400; ++i) many << QStringLiteral("ligne %1").arg(i);
  const int pages = printPages(many);
  EXPECT_GT(pages, 1);
  // A line too wide for the page is broken, so it takes more room than a short one.
  QStringList wide;
  for (int i = 0; i < 400; ++i) wide << QString(300, u'm');
  EXPECT_GT(printPages(wide), pages);
  // Tabs are drawn as room, never lost or looping.
  EXPECT_EQ(printPages({QStringLiteral("a\tb\t\tc"), QString(500, u'\t')}), 1);
}

TEST(QtPromptsBoxes, ShowTagKeysAsPlainText) {
  QtPrompts real;
  QString seen;
  Qt::TextFormat format = Qt::RichText;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      seen = box->text();
      format = box->textFormat();
      box->accept();
    }
  });
  real.information(nullptr, QStringLiteral("Balise <a> non déclarée"));
  EXPECT_EQ(seen, QStringLiteral("Balise <a> non déclarée"));
  EXPECT_EQ(format, Qt::PlainText);
}
