// The colouring rule engine on plain text: parsing of the lists, each kind of rule, the
// control's own items and the merge.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ColorRules.h"

namespace {

// Runs as "start-end:colour" with "k" for keywords and "/z" for a z-order other than 0.
std::string describe(std::span<const TKeyDescr> runs) {
  std::string out;
  for (const TKeyDescr& r : runs) {
    if (!out.empty()) out += ' ';
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lld-%lld:%06X", static_cast<long long>(r.StartPos),
                  static_cast<long long>(r.EndPos), r.Color);
    out += buf;
    if (r.IsKey) out += 'k';
    if (r.ZOrder) out += '/' + std::to_string(r.ZOrder);
  }
  return out;
}

std::string paint(TDrawRules& rules, std::string_view text, int64_t from = 0, int64_t to = -1,
                  const PaintSettings& s = {}) {
  ColourEngine engine;
  engine.Paint(rules, RegionText{text, 0}, from, to < 0 ? int64_t(text.size()) : to, s);
  return describe(engine.Runs());
}

QStringList list(std::initializer_list<const char*> lines) {
  QStringList l;
  for (const char* s : lines) l << QString::fromLatin1(s);
  return l;
}

TEST(ParseColor, NamesAndRedGreenBlueNumbers) {
  const struct {
    const char* text;
    TColor colour;
  } cases[] = {
      {"red", 0x0000FF},     {" Fuchsia ", 0xFF00FF}, {"#00FF00", 0x00FF00},
      {"$0000FF", 0xFF0000}, {"#0000FF", 0xFF0000},   {"#FF0000", 0x0000FF},
      {"$FF0000", 0x0000FF}, {"clRed", 0xFFFFFF},     {"navy", 0x800000},
      {"ff8000", 0x0080FF},  {"\tsilver", 0xC0C0C0},  {"$12345678", 0x785634},
      {"#12#34", 0xFFFFFF},  {"$123456789", 0xFFFFFF}, {"#", 0xFFFFFF},
      {"gray and more", 0xFFFFFF},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ParseColor(QString::fromLatin1(c.text)), c.colour) << c.text;
}

TEST(ParseLists, KeywordsFillThePatternAndTheColourSlots) {
  TColorRule r;
  r.KeyDrawingType = TKeyDrawingType::dtKeyShow;
  r.SetKeywords(list({"a", "", "  ", "b;blue", "c;#0000FF", " ;red", "d"}));
  EXPECT_EQ(r.KeyPattern(), std::string("*A*+\x01*B*+\x02*C*+\x02*D*+\x01*"));
  EXPECT_EQ(r.KeyColors(), (std::vector<TColor>{clRed, clBlue}));
  EXPECT_EQ(r.Keywords().size(), 7);

  // The 42nd new colour finds no slot: its keyword takes the slot of the one before it.
  QStringList many;
  for (int i = 0; i < 42; ++i) many << QStringLiteral("k%1;$%2").arg(i).arg(i + 1, 6, 16, QChar('0'));
  r.SetKeywords(many);
  ASSERT_EQ(r.ParsedKeywords().size(), 42u);
  EXPECT_EQ(r.KeyColors().size(), 41u);
  EXPECT_EQ(r.ParsedKeywords()[40].slot, 41);
  EXPECT_EQ(r.ParsedKeywords()[41].slot, 41);

  // Case kept when matching is case-sensitive; the flag alone does not reparse.
  r.SetKeyCase(true);
  r.SetKeywords(list({"Id="}));
  EXPECT_EQ(r.ParsedKeywords()[0].key, "Id=");
  r.SetKeyCase(false);
  EXPECT_EQ(r.ParsedKeywords()[0].key, "Id=");
}

TEST(ParseLists, PairsAndLineEndMarkers) {
  TColorRule r;
  r.DefKeyColor = clGray;
  r.SetKeyBegEndLst(list({"<!--;-->", "abcdefgh;12345678;lime", "x;", "<", "<;>"}));
  ASSERT_EQ(r.UsableMarkers(), 3);  // "<" leaves its entry empty and hides "<;>"
  EXPECT_EQ(r.Markers()[0].EndKey, "-->");
  EXPECT_EQ(r.Markers()[0].Color, clGray);
  EXPECT_EQ(r.Markers()[1].BeginKey, "abcdef");
  EXPECT_EQ(r.Markers()[1].EndKey, "123456");
  EXPECT_EQ(r.Markers()[1].Color, 0x00FF00u);
  EXPECT_EQ(r.Markers()[2].EndKey, "");
  r.SetKeyBegEndLst(list({";>", "<;>"}));
  EXPECT_EQ(r.UsableMarkers(), 0);

  QStringList pairs;
  for (int i = 0; i < 45; ++i) pairs << QStringLiteral("a%1;b").arg(i);
  r.SetKeyBegEndLst(pairs);
  EXPECT_EQ(r.UsableMarkers(), 40);

  r.SetKeyLineEndLst(list({";;GREEN", ";x", "//;red", "--", "", "#"}));
  ASSERT_EQ(r.UsableMarkers(), 4);
  EXPECT_EQ(r.Markers()[0].BeginKey, ";");
  EXPECT_EQ(r.Markers()[0].Color, 0x008000u);
  EXPECT_EQ(r.Markers()[1].BeginKey, ";x");
  EXPECT_EQ(r.Markers()[1].Color, clGray);
  EXPECT_EQ(r.Markers()[2].BeginKey, "//");
  EXPECT_EQ(r.Markers()[2].Color, clRed);
  EXPECT_EQ(r.Markers()[3].EndKey, "");
}

TEST(ParseLists, PrepareParsesLoadedListsUntilOneRuleHasALine) {
  TDrawRules rules;
  TColorRule& empty = rules.Add();
  TColorRule& lineEnd = rules.Add();
  lineEnd.KeyDrawingType = TKeyDrawingType::dtBeginLineEnd;
  rules.Prepare();
  EXPECT_TRUE(rules.NeedsPrepare);
  lineEnd.LoadLists({}, list({"<;>"}), list({"//"}));
  EXPECT_TRUE(lineEnd.Markers().empty() || lineEnd.UsableMarkers() == 0);
  rules.Prepare();
  EXPECT_FALSE(rules.NeedsPrepare);
  ASSERT_EQ(lineEnd.UsableMarkers(), 1);
  EXPECT_EQ(lineEnd.Markers()[0].BeginKey, "//");  // the line-end markers replace the pairs
  EXPECT_EQ(empty.UsableMarkers(), 0);

  // A copy ends with the parsed forms that Prepare would build.
  TDrawRules copy(rules);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy[1].Markers()[0].BeginKey, "//");
  EXPECT_EQ(copy[1].KeyBegEndLst(), list({"<;>"}));
}

TEST(ScanSourceView, TagsKeywordsCommentsAndDeclarations) {
  TDrawRules rules = SourceViewRules();
  const struct {
    const char* text;
    const char* runs;
  } cases[] = {
      {"<?xml version=\"1.0\"?>", "0-5:FF0000 6-13:FF00FFk 14-20:FF0000"},
      {"<a xid=\"1\">", "0-10:FF0000"},
      {"<a _id=\"1\">", "0-3:FF0000 4-6:FF00FFk 7-10:FF0000"},
      {"<a Version=\"1\">", "0-14:FF0000"},
      {"id= x", "0-2:FF00FFk"},
      {"<!-->", "0-4:808080"},
      {"<!-- <a> -->", "0-11:808080"},
      // A comment followed by "]>" is one maroon stretch up to it, tags in between included.
      {"<!-- c --><b>]>", "0-14:000080"},
      {"<!DOCTYPE a [\r\n<!ELEMENT a ANY>\r\n]>\r\n<a/>",
       "0-34:000080 37-40:FF0000"},
      // An unterminated "<" ends the tags: later ones stay uncoloured, earlier ones keep theirs.
      {"<a> x < y <b", "0-2:FF0000"},
      // A tag over two lines is one run, its line break included.
      {"<a\r\nb=\"1\">", "0-9:FF0000"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(paint(rules, c.text), c.runs) << c.text;
}

TEST(ScanKeywords, CaseWordBoundariesAndRegion) {
  TDrawRules rules;
  TColorRule& r = rules.Add();
  r.KeyDrawingType = TKeyDrawingType::dtKeyShow;
  r.SetKeywords(list({"ENCODING=", "a=a;blue"}));
  EXPECT_EQ(paint(rules, "encoding= Encoding= ENCODING="), "0-8:0000FFk 10-18:0000FFk 20-28:0000FFk");
  // A failed occurrence hides one that starts inside it.
  EXPECT_EQ(paint(rules, "xa=a=a "), "");
  EXPECT_EQ(paint(rules, " a=a "), "1-3:FF0000k");
  // Digits, "_", accented letters and line breaks are not word letters; "@" is.
  EXPECT_EQ(paint(rules, "1a=a_ \xe9" "a=a\r\n@a=a"), "1-3:FF0000k 7-9:FF0000k");
  // The character before the region is the text's own; the region's end is not a letter.
  EXPECT_EQ(paint(rules, "xa=ay", 1, 4), "");
  EXPECT_EQ(paint(rules, " a=ay", 1, 4), "1-3:FF0000k");
  r.PartWord = true;
  EXPECT_EQ(paint(rules, "xa=ay"), "1-3:FF0000k");

  r.SetKeyCase(true);
  r.SetKeywords(list({"Id="}));
  EXPECT_EQ(paint(rules, "id= ID= Id="), "8-10:0000FFk");
  r.Enabled = false;
  EXPECT_EQ(paint(rules, "id= ID= Id="), "");
}

TEST(ScanPairs, BeginEndAndLineEndRules) {
  TDrawRules rules;
  TColorRule& r = rules.Add();
  r.SetKeyBegEndLst(list({"[[;]];blue", "(;)"}));
  // The earliest begin marker is chosen; the scan goes on after the end marker's first character.
  EXPECT_EQ(paint(rules, "([[x]])[[(]]"), "0-6:0000FF 7-11:FF0000");
  // An end marker beyond the region's end is not seen.
  EXPECT_EQ(paint(rules, "(ab)", 0, 3), "");
  r.SetKeyBegEndLst(list({"<;"}));  // no end marker: nothing, and the scan ends
  EXPECT_EQ(paint(rules, "<a>"), "");

  r.KeyDrawingType = TKeyDrawingType::dtBeginLineEnd;
  r.SetKeyLineEndLst(list({"//", "#;green"}));
  EXPECT_EQ(paint(rules, "a // b # c\r\n#d\r\nx #"), "2-9:0000FF 12-13:008000 18-18:008000");
  EXPECT_EQ(paint(rules, "// ab\r\n", 0, 4), "0-3:0000FF");
}

TEST(ScanOwnItems, HotSpotsTabsCaretLineSelectionAndMerge) {
  TDrawRules rules = SourceViewRules();
  PaintSettings s;
  s.hotSpotActive = true;
  s.wantTabs = true;
  s.background = 0x123456;
  s.hotSpotMarkerColor = 0xABCDEF;
  // Markers as blocks, the text between them in the hot-spot colour; an empty hot spot and an
  // unclosed one colour no text.
  EXPECT_EQ(paint(rules, "a\x1eword\x1f \x1e\x1f \x1ex", 0, -1, s),
            "1-1:ABCDEF/253 2-5:FF0000/252 6-6:ABCDEF/253 8-9:ABCDEF/253");
  // A tab hides the tag's colour; the selection hides everything under it.
  EXPECT_EQ(paint(rules, "<a\tb>", 0, -1, s), "0-1:FF0000 2-2:123456/255 3-4:FF0000");
  s.selStart = 1;
  s.selLength = 6;
  EXPECT_EQ(paint(rules, "<a\tb> id=", 0, -1, s), "0-0:FF0000 1-1:0000FF/254 2-2:123456/255 3-6:0000FF/254 7-8:FF00FFk");

  // The caret line is drawn in the font colour under the rules, and never outside the region.
  PaintSettings caret;
  caret.redrawAlways = true;
  caret.fontColor = 0x010101;
  caret.caretLineStart = 3;
  caret.caret = 9;
  EXPECT_EQ(paint(rules, "x\r\nab<c>def", 3, 11, caret), "3-4:010101 5-7:FF0000 8-9:010101");
  caret.selStart = 0;
  caret.selLength = 1000;
  EXPECT_EQ(paint(rules, "x\r\nab<c>def", 3, 6, caret), "3-5:0000FF/254");
}

TEST(Merge, HigherZOrderWinsElseTheLaterItem) {
  TDrawRules rules;
  TColorRule& low = rules.Add();
  low.SetKeyBegEndLst(list({"(;);red"}));
  TColorRule& high = rules.Add();
  high.SetKeyBegEndLst(list({"[;];blue"}));
  TColorRule& later = rules.Add();
  later.SetKeyBegEndLst(list({"{;};lime"}));
  // Later rules win at equal z-order; adjacent items of one look make one run.
  EXPECT_EQ(paint(rules, "([{}])"), "0-0:0000FF 1-1:FF0000 2-3:00FF00 4-4:FF0000 5-5:0000FF");
  high.ZOrder = 9;
  EXPECT_EQ(paint(rules, "([{}])"), "0-0:0000FF 1-4:FF0000/9 5-5:0000FF");
  EXPECT_EQ(paint(rules, "()[]"), "0-1:0000FF 2-3:FF0000/9");
}

TEST(EventRules, HandlerItemsAreRelativeAndBounded) {
  TDrawRules rules;
  TColorRule& r = rules.Add();
  r.KeyDrawingType = TKeyDrawingType::dtEventDraw;
  r.ZOrder = 7;
  std::string seen;
  int give = 3;
  PaintSettings s;
  s.onDraw = [&](const TColorRule& sender, std::string_view fromPos, std::span<TKeyDescr> a,
                 int& count) {
    EXPECT_EQ(&sender, &r);
    seen = std::string(fromPos);
    const TKeyDescr items[] = {{0, 1, clBlue, 0, 0}, {3, 100, clRed, 3, 0}, {-9, -2, clGray, 0, 0}};
    for (size_t i = 0; i < a.size() && i < 3; ++i) a[i] = items[i];
    count = give;
  };
  const std::string text = "ab\r\ncdefgh";
  ColourEngine engine;
  engine.Paint(rules, RegionText{text, 0}, 4, 8, s);
  EXPECT_EQ(describe(engine.Runs()), "");  // no buffer, no items
  engine.SetColorLimMax(2);
  engine.Paint(rules, RegionText{text, 0}, 4, 8, s);
  EXPECT_EQ(seen, "cdef");
  // Two records fit the buffer: the third is never read; the second ends at the region's end.
  EXPECT_EQ(describe(engine.Runs()), "4-5:FF0000/7 7-7:0000FF/3");
  give = -5;
  engine.Paint(rules, RegionText{text, 0}, 4, 8, s);
  EXPECT_EQ(describe(engine.Runs()), "");
  engine.SetColorLimMax(0);
  give = 2;
  engine.Paint(rules, RegionText{text, 0}, 4, 8, s);
  EXPECT_EQ(describe(engine.Runs()), "");
}

// The begin/end scan keeps each marker's last hit instead of searching again at every step;
// a plain version that searches every marker every time must give the same items.
std::vector<TKeyDescr> plainPairs(const TColorRule& r, std::string_view text) {
  std::vector<TKeyDescr> out;
  size_t p = 0;
  for (;;) {
    int chosen = -1;
    size_t at = std::string_view::npos;
    for (int i = 0; i < r.UsableMarkers(); ++i) {
      const size_t hit = text.find(r.Markers()[size_t(i)].BeginKey, p);
      if (hit < at) {
        at = hit;
        chosen = i;
      }
    }
    if (chosen < 0) break;
    const TKeyPair& m = r.Markers()[size_t(chosen)];
    const size_t e = m.EndKey.empty() ? std::string_view::npos : text.find(m.EndKey, at + 1);
    if (e == std::string_view::npos) break;
    out.push_back({int64_t(at), int64_t(e + m.EndKey.size()) - 1, m.Color, 0, 0});
    p = e + 1;
  }
  return out;
}

TEST(ScanPairs, SameItemsAsSearchingEveryMarkerAtEveryStep) {
  std::mt19937 random(12);
  const char alphabet[] = "<>!-]ab\r\n";
  for (int round = 0; round < 300; ++round) {
    TDrawRules rules;
    TColorRule& r = rules.Add();
    QStringList pairs;
    const int n = 1 + int(random() % 4);
    for (int i = 0; i < n; ++i) {
      QString b, e;
      for (unsigned k = 0; k < 1 + random() % 3; ++k) b += QChar(alphabet[random() % 7]);
      for (unsigned k = 0; k < 1 + random() % 3; ++k) e += QChar(alphabet[random() % 7]);
      pairs << b + ';' + e + ';' + QString::number(i + 1);
    }
    r.SetKeyBegEndLst(pairs);
    std::string text;
    for (unsigned k = 0; k < random() % 200; ++k) text += alphabet[random() % 9];
    ColourEngine engine;
    engine.StartPaint();
    const int count = engine.ScanRule(r, RegionText{text, 0}, 0, int64_t(text.size()), 0);
    const std::vector<TKeyDescr> got(engine.Items().begin(), engine.Items().begin() + count);
    ASSERT_EQ(got, plainPairs(r, text)) << text;
  }
}

}  // namespace
