#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>

#include "LineViews.h"
#include "Wellformed.h"
#include "WizardLines.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using wizards::TreeNode;

analysis::Fault check(const QStringList& lines) { return analysis::Valid(StringListLines(lines)); }

TEST(SimpleDocument, WritesTheFirstFieldAlwaysAndTheOthersWhenFilled) {
  const QString decl = QStringLiteral("<?xml version=\"1.0\"?>");
  struct Case {
    const char* what;
    QString document, record;
    QStringList fields;
    QStringList expected;
  } cases[] = {
      {"defaults", "Body", "Record", {"Champ", "", "", "", "", "", ""},
       {decl, "<Body>", "<Record>", "<Champ> </Champ>", "</Record>", "</Body>"}},
      {"fields 2 and 4 filled, 3 empty", "Body", "Record", {"Nom", "Prenom", "", "Ville", "", "", ""},
       {decl, "<Body>", "<Record>", "<Nom> </Nom>", "<Prenom> </Prenom>", "<Ville> </Ville>",
        "</Record>", "</Body>"}},
      {"all seven", "D", "R", {"a", "b", "c", "d", "e", "f", "g"},
       {decl, "<D>", "<R>", "<a> </a>", "<b> </b>", "<c> </c>", "<d> </d>", "<e> </e>",
        "<f> </f>", "<g> </g>", "</R>", "</D>"}},
      {"emptied first field and document", "", "Record", {"", "", "", "", "", "", ""},
       {decl, "<>", "<Record>", "<> </>", "</Record>", "</>"}},
      {"name with a blank, as typed", "Body", "Record", {"Nom client", "", "", "", "", "", ""},
       {decl, "<Body>", "<Record>", "<Nom client> </Nom client>", "</Record>", "</Body>"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(wizards::simpleDocument(c.document, c.record, c.fields), c.expected) << c.what;
}

QList<TreeNode> startTree() {
  return {{"Body", 0},        {"Livre", 1},       {"Partie1", 2},     {"Paragraphe1", 3},
          {"Paragraphe2", 3}, {"Paragraphe3", 3}, {"Partie2", 2},     {"Paragraphe4", 3},
          {"Paragraphe5", 3}};
}

TEST(TreeDocument, NestsTheElementsAsTheTree) {
  const QString decl = QStringLiteral("<?xml version=\"1.0\"?>");
  struct Case {
    const char* what;
    QList<TreeNode> nodes;
    QStringList expected;
  } cases[] = {
      {"start tree", startTree(),
       {decl, "<Body>", "<Livre>", "<Partie1>", "<Paragraphe1> </Paragraphe1>",
        "<Paragraphe2> </Paragraphe2>", "<Paragraphe3> </Paragraphe3>", "</Partie1>",
        "<Partie2>", "<Paragraphe4> </Paragraphe4>", "<Paragraphe5> </Paragraphe5>",
        "</Partie2>", "</Livre>", "</Body>"}},
      {"root only", {{"Body", 0}}, {}},
      {"no node", {}, {}},
      {"root and one child", {{"Body", 0}, {"a", 1}}, {decl, "<Body>", "<a> </a>", "</Body>"}},
      {"branch four levels deep",
       {{"R", 0}, {"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}},
       {decl, "<R>", "<a>", "<b>", "<c>", "<d> </d>", "</c>", "</b>", "</a>", "</R>"}},
      {"deep branch then a shallow sibling",
       {{"R", 0}, {"a", 1}, {"b", 2}, {"c", 3}, {"x", 1}},
       {decl, "<R>", "<a>", "<b>", "<c> </c>", "</b>", "</a>", "<x> </x>", "</R>"}},
      {"two siblings of the same name with children",
       {{"Body", 0}, {"Partie", 1}, {"P", 2}, {"Partie", 1}, {"P", 2}, {"P", 2}},
       {decl, "<Body>", "<Partie>", "<P> </P>", "</Partie>", "<Partie>", "<P> </P>", "<P> </P>",
        "</Partie>", "</Body>"}},
      {"second top-level node goes inside the first",
       startTree() + QList<TreeNode>{{"Annexe", 0}, {"Note", 1}},
       {decl, "<Body>", "<Livre>", "<Partie1>", "<Paragraphe1> </Paragraphe1>",
        "<Paragraphe2> </Paragraphe2>", "<Paragraphe3> </Paragraphe3>", "</Partie1>",
        "<Partie2>", "<Paragraphe4> </Paragraphe4>", "<Paragraphe5> </Paragraphe5>",
        "</Partie2>", "</Livre>", "<Annexe>", "<Note> </Note>", "</Annexe>", "</Body>"}},
      {"top-level nodes without children", {{"A", 0}, {"B", 0}, {"C", 0}},
       {decl, "<A>", "<B> </B>", "<C> </C>", "</A>"}},
  };
  for (const Case& c : cases) EXPECT_EQ(wizards::treeDocument(c.nodes), c.expected) << c.what;
}

// Reads back the elements of a generated document with their depths.
QList<TreeNode> elementsOf(const QStringList& lines) {
  QList<TreeNode> out;
  int depth = 0;
  for (const QString& line : lines.mid(1)) {
    if (line.startsWith(QLatin1String("</"))) {
      --depth;
    } else if (line.contains(QLatin1String("> </"))) {
      out << TreeNode{line.mid(1, line.indexOf('>') - 1), depth};
    } else {
      out << TreeNode{line.mid(1, line.size() - 2), depth++};
    }
  }
  return out;
}

// The new window checks and builds the tree of what the wizard gives: any tree drawn must give
// a well-formed document with the tree's nesting (later top-level nodes inside the first).
TEST(TreeDocument, AnyTreeGivesAWellFormedDocumentOfTheSameShape) {
  QRandomGenerator random(20261208);
  for (int round = 0; round < 300; ++round) {
    QList<TreeNode> nodes{{"racine", 0}};
    const int count = 1 + int(random.bounded(40));
    for (int i = 0; i < count; ++i) {
      // A node goes at most one level below the previous one.
      const int level = int(random.bounded(nodes.last().level + 2));
      nodes << TreeNode{QStringLiteral("n%1").arg(random.bounded(4)), level};
    }
    const QStringList lines = wizards::treeDocument(nodes);
    EXPECT_EQ(check(lines).code, analysis::kNoFault) << lines.join('\n').toStdString();
    const QList<TreeNode> read = elementsOf(lines);
    ASSERT_EQ(read.size(), nodes.size());
    bool insideFirst = false;  // from the second top-level node on, one level deeper
    for (qsizetype i = 0; i < nodes.size(); ++i) {
      insideFirst = insideFirst || (i > 0 && nodes[i].level == 0);
      EXPECT_EQ(read[i].name, nodes[i].name);
      EXPECT_EQ(read[i].level, nodes[i].level + (insideFirst ? 1 : 0)) << i;
    }
  }
}

// The sheet of an untouched dialog: its combo boxes' start texts, everything else empty.
wizards::PadSheet untouchedSheet() {
  wizards::PadSheet s;
  s.values.insert("Program_Type", "Shareware");
  s.values.insert("Program_Release_Status", "Major Update");
  s.values.insert("Program_Cost_Other_Code", "EUR");
  s.values.insert("Program_Install_Support", "Install ans Uninstall");
  return s;
}

// The sheet of an untouched dialog, as a document of its own.
QStringList untouchedSheetLines() {
  QFile f(QStringLiteral(WIZARDS_TESTDATA "/fiche-vierge.xml"));
  if (!f.open(QIODevice::ReadOnly)) return {QStringLiteral("<unreadable>")};
  QString text = QString::fromUtf8(f.readAll());
  text.chop(1);  // the final line break
  return text.split(QLatin1Char('\n'));
}
const QStringList kUntouchedSheet = untouchedSheetLines();

}  // namespace

// Shared with the dialog tests.
QStringList untouchedPadSheetLines() { return kUntouchedSheet; }

namespace {

TEST(PadSheet, UntouchedSheetIsCompleteWithEmptyElementTags) {
  const QStringList lines = wizards::padSheet(untouchedSheet());
  EXPECT_EQ(lines, kUntouchedSheet);
  EXPECT_EQ(check(lines).code, analysis::kNoFault);
}

// The lines of lines that differ from the untouched sheet, as "index: line".
QStringList changed(const QStringList& lines) {
  QStringList out;
  const qsizetype shared = std::min(lines.size(), kUntouchedSheet.size());
  qsizetype i = 0;
  while (i < shared && lines[i] == kUntouchedSheet[i]) ++i;
  qsizetype tail = 0;
  while (tail < shared - i &&
         lines[lines.size() - 1 - tail] == kUntouchedSheet[kUntouchedSheet.size() - 1 - tail])
    ++tail;
  for (qsizetype k = i; k < lines.size() - tail; ++k) out << lines[k];
  return out;
}

TEST(PadSheet, ChosenValuesReplaceTheirEmptyElements) {
  struct Case {
    const char* what;
    std::function<void(wizards::PadSheet&)> fill;
    QStringList lines;  // the lines that replace the untouched ones
  } cases[] = {
      {"address 2 loses its trailing blank only when empty",
       [](auto& s) { s.values["Address_2"] = "BP 12"; },
       {"    <Address_2>BP 12</Address_2> "}},
      {"expiry information and its criterion",
       [](auto& s) {
         s.hasExpireInfo = true;
         s.expireBasedOn = "Utilisations";
       },
       {"      <Has_Expire_Info>Y</Has_Expire_Info>",
        "      <Expire_Based_On>Utilisations</Expire_Based_On>"}},
      {"membership numbers and flags",
       [](auto& s) {
         s.aspMember = true;
         s.values["ASP_Member_Number"] = "1234";
       },
       {"    <ASP_Member>Y</ASP_Member>", "    <ASP_Member_Number>1234</ASP_Member_Number>"}},
      {"a memo holding one empty line keeps its tags",
       [](auto& s) { s.eula = QStringList{""}; },
       {"    <EULA>", "    ", "    </EULA>"}},
      {"memo lines at six spaces in a description",
       [](auto& s) { s.french.desc250 = QStringList{"Un éditeur", "  indenté"}; },
       {"      <Char_Desc_250>", "      Un éditeur", "        indenté", "      </Char_Desc_250>"}},
      {"typed markup is escaped",
       [](auto& s) { s.values["Company_Name"] = "Dupont & Fils <b>"; },
       {"    <Company_Name>Dupont &amp; Fils &lt;b&gt;</Company_Name>"}},
      {"a description line holding \"></\" is no longer cut",
       [](auto& s) { s.english.desc450 = QStringList{"a></b"}; },
       {"      <Char_Desc_450>", "      a&gt;&lt;/b", "      </Char_Desc_450>"}},
      {"a reference typed is kept as typed, not read as one",
       [](auto& s) { s.values["Country"] = "R&D &amp;"; },
       {"    <Country>R&amp;D &amp;amp;</Country>"}},
      {"a combo box gives any text",
       [](auto& s) { s.values["Program_Type"] = "Gratuit & libre"; },
       {"    <Program_Type>Gratuit &amp; libre</Program_Type>"}},
  };
  for (const Case& c : cases) {
    wizards::PadSheet s = untouchedSheet();
    c.fill(s);
    const QStringList lines = wizards::padSheet(s);
    EXPECT_EQ(changed(lines), c.lines) << c.what;
    EXPECT_EQ(check(lines).code, analysis::kNoFault) << c.what;
  }
}

TEST(PadSheet, EmptyElementRuleCutsEveryLineHoldingAnEmptyPair) {
  const std::pair<QString, QString> cases[] = {
      {"    <Country></Country>", "    <Country />"},
      {"    <Address_2></Address_2> ", "    <Address_2 />"},
      {"<a>x</a>", "<a>x</a>"},
      {"<a></a><b>y</b>", "<a />"},  // textual: whatever follows goes
      {"></", " />"},
      {"", ""},
  };
  for (const auto& [line, expected] : cases) {
    QStringList lines{line};
    wizards::BalisesVides(lines);
    EXPECT_EQ(lines.value(0), expected) << line.toStdString();
  }
}

}  // namespace
