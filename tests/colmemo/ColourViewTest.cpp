// The source view painted with its colours: the colour of chosen characters on the rendered
// viewport, the repaint triggers and the hot spots under the mouse.
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>

#include "ShownMemo.h"

namespace {

// The pixel of a character's cell that stands furthest from the background: the middle of a
// stroke, drawn in the pen's colour.
QColor ink(const QImage& image, const QRect& cell, const QColor& background) {
  QColor best = background;
  int bestDistance = 0;
  for (int y = std::max(0, cell.top()); y <= std::min(image.height() - 1, cell.bottom()); ++y)
    for (int x = std::max(0, cell.left()); x <= std::min(image.width() - 1, cell.right()); ++x) {
      const QColor c = image.pixelColor(x, y);
      const int d = std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue());
      if (d > bestDistance) {
        bestDistance = d;
        best = c;
      }
    }
  return best;
}

bool near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
             std::abs(a.blue() - b.blue()) <
         90;
}

struct Coloured : Shown {
  explicit Coloured(QSize size = QSize(500, 300)) : Shown(size) {
    memo->SetColorRules(SourceViewRules());
  }
  QRect cell(qint64 pos) {
    const QRectF a = view->positionRect(pos);
    const QRectF b = view->positionRect(pos + 1);
    const qreal right = b.top() == a.top() && b.left() > a.left() ? b.left() : a.left() + 6;
    return QRectF(a.left(), a.top(), right - a.left(), a.height()).toAlignedRect().adjusted(0, 0, -1, -1);
  }
  QImage image() { return vp->grab().toImage(); }
  QColor background() { return view->palette().color(QPalette::Base); }
  QColor colourAt(const QImage& img, qint64 pos) { return ink(img, cell(pos), background()); }
  QColor text() { return view->palette().color(QPalette::Text); }
};

const QColor kBlue(0, 0, 255), kFuchsia(255, 0, 255), kGray(128, 128, 128), kMaroon(128, 0, 0);

TEST(ColourView, SourceViewRulesOnScreen) {
  Coloured w;
  const QString doc = QStringLiteral(
      "<?xml version=\"1.0\"?>\r\n"
      "<!DOCTYPE a [\r\n<!ELEMENT a ANY>\r\n]>\r\n"
      "<!-- note -->\r\n"
      "<a id=\"1\"><ville\r\n>Lyon</ville>\r\n"
      "texte <b>");
  w.memo->SetText(doc);
  const QImage img = w.image();
  const auto at = [&](const char* what, int skip = 0) {
    return w.colourAt(img, doc.indexOf(QLatin1String(what)) + skip);
  };
  const struct {
    QColor got;
    QColor expected;
    const char* what;
  } checks[] = {
      {at("xml"), kBlue, "tag"},
      {at("version"), kFuchsia, "version="},
      {at("version", 7), kFuchsia, "version= ="},
      {at("1.0"), kBlue, "attribute value"},
      {at("note"), kGray, "comment"},
      {at("DOCTYPE"), kMaroon, "declaration"},
      {at("ELEMENT"), kMaroon, "internal subset"},
      {at("]>"), kMaroon, "end of the subset"},
      {at("id="), kFuchsia, "id="},
      {at("ville"), kBlue, "tag before its break"},
      {at(">Lyon"), kBlue, "its > on the next row"},
      {at("Lyon"), w.text(), "content"},
      {at("texte"), w.text(), "text"},
      {at("<b>", 1), kBlue, "last tag"},
  };
  for (const auto& c : checks)
    EXPECT_TRUE(near(c.got, c.expected)) << c.what << ": " << c.got.name().toStdString();
}

TEST(ColourView, PartlyShownLastRowStaysPlainUntilScrolledIntoView) {
  Coloured w;
  QStringList lines;
  for (int i = 0; i < 40; ++i) lines << QStringLiteral("<ligne n=\"%1\">").arg(i);
  w.memo->SetLines(lines);
  QApplication::processEvents();
  // Half a row beyond the whole rows.
  const int h = w.view->rowHeight();
  const int whole = w.vp->height() / h;
  w.top.resize(w.top.width(), w.top.height() - w.vp->height() + whole * h + h / 2);
  QApplication::processEvents();
  ASSERT_EQ(w.vp->height() % h, h / 2);
  const int partial = w.vp->height() / h;
  QImage img = w.image();
  EXPECT_TRUE(near(w.colourAt(img, w.memo->LineStart(partial - 1) + 1), kBlue));
  QRect cut = w.cell(w.memo->LineStart(partial) + 1);
  EXPECT_TRUE(near(ink(img, cut, w.background()), w.text()));

  w.view->scrollRows(1);
  QApplication::processEvents();
  img = w.image();
  EXPECT_TRUE(near(w.colourAt(img, w.memo->LineStart(partial) + 1), kBlue));
}

TEST(ColourView, SelectionShowsOverColoursAndGivesThemBack) {
  Coloured w;
  w.memo->SetText(QStringLiteral("<abc> <def>"));
  w.memo->SetSelStart(1);
  w.memo->SetSelLength(3);
  QImage img = w.image();
  const QColor highlighted = w.view->palette().color(QPalette::Active, QPalette::HighlightedText);
  EXPECT_TRUE(near(ink(img, w.cell(2), w.view->palette().color(QPalette::Active, QPalette::Highlight)),
                   highlighted));
  EXPECT_TRUE(near(w.colourAt(img, 7), kBlue));
  // Left leaves a caret at the selection's end, then moves it; the tag is blue again at once.
  w.key(Qt::Key_Left);
  EXPECT_EQ(w.memo->SelStart(), 3);
  EXPECT_EQ(w.memo->SelLength(), 0);
  img = w.image();
  EXPECT_TRUE(near(w.colourAt(img, 2), kBlue));
}

TEST(ColourView, OneCharacterTypedRescansItsLineOnly) {
  Coloured w;
  TDrawRules rules = SourceViewRules();
  rules.Add().KeyDrawingType = TKeyDrawingType::dtEventDraw;
  w.memo->SetColorRules(rules);
  w.memo->SetColorLimMax(4);
  std::vector<std::string> scanned;
  w.memo->SetOnDraw([&](const TColorRule&, std::string_view text, std::span<TKeyDescr>, int& n) {
    scanned.emplace_back(text);
    n = 0;
  });
  w.memo->SetText(QStringLiteral("<a>\r\n<b>\r\n<c>\r\n<d>"));
  w.memo->SetSelStart(w.memo->LineStart(2) + 1);
  QApplication::processEvents();
  w.image();
  scanned.clear();
  w.key(Qt::Key_X);
  w.image();
  ASSERT_FALSE(scanned.empty());
  EXPECT_EQ(scanned.front(), "<xc>");
  for (const std::string& s : scanned) EXPECT_EQ(s, "<xc>");
  // The typed letter takes the tag's colour.
  EXPECT_TRUE(near(w.colourAt(w.image(), w.memo->LineStart(2) + 1), kBlue));

  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Backspace}) {
    scanned.clear();
    w.key(key);
    w.image();
    ASSERT_FALSE(scanned.empty());
    EXPECT_EQ(scanned.back(), w.memo->Text().toStdString()) << key;
  }
}

TEST(ColourView, HotSpotsUnderlinedWithBlockMarkersAndClickable) {
  Shown w(QSize(500, 200));
  THotSpot hot;
  hot.Active = true;
  hot.MarkerColor = 0x00FF00;
  w.memo->SetHotSpot(hot);
  const QString doc = QStringLiteral("voir \x1emot\x1f fin");
  w.memo->SetText(doc);
  QApplication::processEvents();
  QImage img = w.vp->grab().toImage();
  const auto cellOf = [&](qint64 pos) {
    const QRectF a = w.view->positionRect(pos);
    const QRectF b = w.view->positionRect(pos + 1);
    return QRectF(a.left(), a.top(), b.left() - a.left(), a.height()).toAlignedRect();
  };
  const QColor background = w.view->palette().color(QPalette::Base);
  // The markers are blocks of their colour.
  const QRect marker = cellOf(5);
  EXPECT_EQ(img.pixelColor(marker.center()), QColor(0, 255, 0));
  // The word is blue, and a row of its cells is blue from side to side: the underline.
  const QRect word = cellOf(6).united(cellOf(8)).adjusted(1, 0, -1, 0);
  EXPECT_TRUE(near(ink(img, word, background), QColor(0, 0, 255)))
      << ink(img, word, background).name().toStdString();
  bool underlined = false;
  for (int y = word.center().y(); y <= word.bottom() && !underlined; ++y) {
    int blue = 0;
    for (int x = word.left() + 1; x < word.right(); ++x)
      blue += near(img.pixelColor(x, y), QColor(0, 0, 255));
    underlined = blue >= word.width() - 3;
  }
  EXPECT_TRUE(underlined);

  QSignalSpy clicked(w.memo, &TColorMemo::HotSpotClick);
  for (const qint64 pos : {6, 7, 8}) {
    const QPoint p = cellOf(pos).center();
    QTest::mouseMove(w.vp, p);
    EXPECT_EQ(w.vp->cursor().shape(), Qt::PointingHandCursor) << pos;
    QTest::mouseClick(w.vp, Qt::LeftButton, {}, p);
  }
  ASSERT_EQ(clicked.count(), 3);
  for (const auto& args : clicked) EXPECT_EQ(args.at(0).toString(), QStringLiteral("mot"));
  QTest::mouseMove(w.vp, cellOf(11).center());
  EXPECT_EQ(w.vp->cursor().shape(), Qt::IBeamCursor);
  QTest::mouseClick(w.vp, Qt::LeftButton, {}, cellOf(11).center());
  EXPECT_EQ(clicked.count(), 3);
}

TEST(ColourView, KeywordsDrawnByTheOwnerAndScrollingRecolours) {
  Coloured w;
  std::vector<std::pair<QString, QRect>> drawn;
  w.memo->SetOnDrawKey([&](QPainter& canvas, const QString& key, QRect& rect, TColor) {
    drawn.emplace_back(key, rect);
    canvas.fillRect(rect, QColor(0, 200, 0));
  });
  QStringList lines{QStringLiteral("<?xml version=\"1.0\"?>")};
  for (int i = 0; i < 60; ++i) lines << QStringLiteral("<r id=\"%1\">").arg(i);
  w.memo->SetLines(lines);
  QImage img = w.image();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.front().first, QStringLiteral("version="));
  EXPECT_GT(drawn.front().second.width(), 20);
  EXPECT_EQ(img.pixelColor(drawn.front().second.center()), QColor(0, 200, 0));

  QSignalSpy scrolled(w.memo, &TColorMemo::VScroll);
  w.view->verticalScrollBar()->setValue(w.view->verticalScrollBar()->value() + 400);
  QApplication::processEvents();
  EXPECT_GE(scrolled.count(), 1);
  drawn.clear();
  img = w.image();
  const qint64 top = w.memo->LineStart(w.view->firstVisibleLine());
  EXPECT_TRUE(near(w.colourAt(img, top + 1), kBlue));
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.front().first, QStringLiteral("id="));
}

}  // namespace

namespace {

TEST(ColourView, ScanStartsKeyMaxHeightMinusOneLinesAboveTheFirstShown) {
  for (const int height : {1, 3}) {
    Coloured w;
    TDrawRules rules = SourceViewRules();
    rules[0].KeyMaxHeight = height;
    w.memo->SetColorRules(rules);
    QStringList lines{QStringLiteral("<a"), QStringLiteral("b"), QStringLiteral("cc>")};
    for (int i = 0; i < 60; ++i) lines << QStringLiteral("texte");
    w.memo->SetLines(lines);
    w.view->scrollRows(2);
    QApplication::processEvents();
    ASSERT_EQ(w.view->firstVisibleLine(), 2);
    const QColor c = w.colourAt(w.image(), w.memo->LineStart(2));
    EXPECT_TRUE(near(c, height == 3 ? kBlue : w.text())) << height;
  }
}

}  // namespace

// A whole text set by code (the options dialog's rewrite, a redo) one character longer on as
// many lines is no keystroke: every line takes the colours of its own text.
TEST(ColourView, WholeTextSetOneCharacterLongerRecoloursEveryLine) {
  Coloured w;
  const QStringList before = {QStringLiteral("<?xml version=\"1.0\" standalone=\"no\"?>"),
                              QStringLiteral("<a>"), QStringLiteral("<b>texte</b>"),
                              QStringLiteral("</a>")};
  w.memo->SetLines(before);
  const qint64 caret = w.memo->LineStart(2) + 4;
  w.memo->SetSelStart(caret);
  QApplication::processEvents();
  w.image();
  QStringList after = before;
  after[0].replace(QStringLiteral("\"no\""), QStringLiteral("\"yes\""));
  w.memo->SetLines(after);
  w.memo->SetSelStart(caret + 1);
  const QImage img = w.image();
  for (int line : {1, 3}) {
    const qint64 close = w.memo->LineStart(line) + w.memo->Line(line).size() - 1;
    EXPECT_TRUE(near(w.colourAt(img, close), kBlue)) << "'>' of line " << line;
  }
}
