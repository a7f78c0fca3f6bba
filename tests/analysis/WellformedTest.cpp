// Edge cases of the tag rules and of the well-formedness check, with the shapes where the fast
// overlap pass could drift from the per-tag scan: lines that start inside a comment, keys that
// match without regard to case but never stop the scan, a comment left open at the end.
#include <gtest/gtest.h>

#include <vector>

#include "Octets.h"
#include "Wellformed.h"
#include "tags.h"

namespace {

using analysis::Fault;

struct CasCle {
  QString fenetre;
  QString cle;
};

TEST(Balises, NomBaliseReadsTheTagsOwnText) {
  const std::vector<CasCle> cas = {
      {u"<body class=\"x\">"_qs, u"<body>"_qs},
      {u"<body>text</body>"_qs, u"<body>"_qs},
      {u"<a><b/>"_qs, u"<a>"_qs},           // a later empty element is another tag
      {u"<br/>"_qs, {}},
      {u"<br />"_qs, {}},
      {u"<a/ x>"_qs, {}},                   // a name ending in "/"
      {u"<annotation name=\"org.qtproject.QtDBus.QtTypeName.Out0\" value=\"QVariantMap\"/>"_qs, {}},
      {u"<a title=\"x>y\"/>"_qs, {}},       // the value's ">" is not the tag's own
      {u"<a title='x/>y'>"_qs, u"<a>"_qs},
      {u"<?xml version=\"1.0\"?>"_qs, {}},
      {u"<!-- c -->"_qs, {}},
      {u"<svg"_qs, u"<svg>"_qs},            // attributes on the next lines
      {u"<svg width=\"1\""_qs, u"<svg>"_qs},
      {u"<"_qs, u"<>"_qs},
      {u"< x"_qs, u"<>"_qs},
      {u"<a\tb>"_qs, u"<a>"_qs},             // a tab ends the name as a blank does
      {u"<a<b>"_qs, u"<a>"_qs},             // no tag holds a "<"
      {u""_qs, {}},
  };
  for (const CasCle& c : cas) {
    const std::string w = octets(c.fenetre);
    EXPECT_EQ(analysis::NomBalise(w).toQString(), c.cle) << c.fenetre.toStdString();
    analysis::LineTags t(w);
    EXPECT_EQ(w.empty() ? QString() : t.startKey(0).toQString(), c.cle) << c.fenetre.toStdString();
  }

  const std::vector<CasCle> fins = {
      {u"</body>"_qs, u"<body>"_qs},
      {u"</body >x"_qs, u"<body>"_qs},
      {u"</>"_qs, u"<>"_qs},
      {u"</"_qs, u"<>"_qs},
      {u"</a><b/>"_qs, u"<a>"_qs},
      {u"</a/>"_qs, {}},
      {u"<//a>"_qs, {}},
  };
  for (const CasCle& c : fins) {
    const std::string w = octets(c.fenetre);
    EXPECT_EQ(analysis::endTagKey(w).toQString(), c.cle) << c.fenetre.toStdString();
    analysis::LineTags t(w);
    EXPECT_EQ(t.endKey(0).toQString(), c.cle) << c.fenetre.toStdString();
  }
}

TEST(Balises, ATagOfAnyLengthKeepsItsKey) {
  const std::string ligne = "x<" + std::string(100, 'n');
  EXPECT_EQ(analysis::LineTags(ligne).startKey(1).text(), "<" + std::string(100, 'n') + ">");
  // "/>" counts only at the tag's own end, however close the next tag.
  for (int n : {0, 57, 60, 2000}) {
    const std::string l = "<a>" + std::string(size_t(n), 'x') + "<b/>";
    EXPECT_EQ(analysis::LineTags(l).startKey(0).text(), "<a>") << n;
    EXPECT_FALSE(analysis::LineTags(l).startKey(int64_t(l.size()) - 4).valid) << n;
  }
  const std::string vide = "<e a=\"" + std::string(3000, 'v') + "\"/>";
  EXPECT_FALSE(analysis::LineTags(vide).startKey(0).valid);
}

TEST(Balises, ValeurGuillemetsTakesTheFirstQuotedValue) {
  const std::vector<CasCle> cas = {
      {u"standalone=\"yes\"?>"_qs, u"yes"_qs},
      {u"standalone='no' x=\"y\""_qs, u"no"_qs},
      {u"a='b\"c'"_qs, u"b"_qs},      // either quote ends the value
      {u"sans guillemets"_qs, u"sans guillemets"_qs},
      {u"x=\"ouvert"_qs, u"ouvert"_qs},
      {u"x=\"\""_qs, {}},
  };
  for (const CasCle& c : cas)
    EXPECT_EQ(enTexte(analysis::ValeurGuillemets(octets(c.fenetre))), c.cle) << c.fenetre.toStdString();
  EXPECT_EQ(analysis::ValeurGuillemets("\"" + std::string(2000, 'v')).size(), 1024u);
}

TEST(Balises, ControleAttributsSkipsEachValueWhole) {
  const std::vector<std::pair<QString, int>> cas = {
      {u"<p lang=fr>"_qs, 4},
      {u"<p lang='fr'>"_qs, 0},
      {u"<p lang = \"fr\">"_qs, 0},
      {u"<p lang=\t\"fr\">"_qs, 0},              // control characters are dropped too
      {u"<a href=\"x.php?id=3\">"_qs, 0},         // "=" inside a value
      {u"<x xmlns:sys=\"clr-namespace:System;assembly=mscorlib\">"_qs, 0},
      {u"<p t='say \"hi\"' u=\"it's\">"_qs, 0},   // the other quote inside a value
      {u"<p title=\"a>b\" c='1'>"_qs, 0},
      {u"<p lang=\"fr>"_qs, 4},                  // no closing quote on the line
      {u"<p lang='fr\">"_qs, 4},                 // closed by the other quote only
      {u"<p a=\"x<y\">"_qs, 4},                  // a tag holds no "<"
      {u"<p> x=y"_qs, 0},                        // after the tag's ">"
      {u"<p a=\"1\" b='2' c=\"3\">"_qs, 0},
      {u"<p a=\"1\"b=\"2\">"_qs, 0},
      {u"<p a="_qs, 4},
      {u"<p d=\""_qs + QString(2000, u'v') + u"\">"_qs, 0},  // values of any length
      {u"<p"_qs + QString(1030, u' ') + u"a=b>"_qs, 4},
  };
  for (const auto& [t, code] : cas) EXPECT_EQ(analysis::ControleAttributs(octets(t)), code) << t.toStdString();
}

TEST(Balises, EntityReferencesOfAnyLength) {
  const std::vector<std::pair<const char*, bool>> cas = {
      {"&amp;", true},          {"&Lauri.Watts;", true}, {"&a-b_c:d.e9;", true}, {"&#233;", true},
      {"&#x1F600;", true},      {"&#xe9;", true},        {"&;", false},          {"& b", false},
      {"&#;", false},           {"&#x;", false},         {"&#X41;", false},      {"&#12a;", false},
      {"&9a;", false},          {"&amp", false},         {"&a b;", false},
  };
  for (const auto& [t, reference] : cas) EXPECT_EQ(analysis::isReference(t, 0), reference) << t;
}

TEST(Balises, KeysCompareWithoutRegardToCaseInWindows1252) {
  const auto meme = [](const QString& a, const QString& b) { return analysis::sameKeyIgnoringCase(octets(a), octets(b)); };
  EXPECT_TRUE(meme(u"<é>"_qs, u"<É>"_qs));
  EXPECT_TRUE(meme(u"<ÿœš>"_qs, u"<ŸŒŠ>"_qs));
  EXPECT_TRUE(meme(u"<Body>"_qs, u"<bODY>"_qs));
  EXPECT_FALSE(meme(u"<ß>"_qs, u"<SS>"_qs));
  EXPECT_FALSE(meme(u"<a>"_qs, u"<a"_qs));
  EXPECT_FALSE(meme(u"<×>"_qs, u"<÷>"_qs));  // signs, not letters: 0xD7 and 0xF7 stay apart
}

TEST(Balises, CommentStateTurnsOffThenOn) {
  // Positions of the characters that are examined.
  const auto examines = [](const std::vector<std::string>& lignes) {
    analysis::CommentState etat;
    std::string vus;
    for (const std::string& l : lignes)
      for (size_t p = 0; p < l.size(); ++p)
        if (!etat.skips(l, int64_t(p))) vus += l[p];
    return vus;
  };
  EXPECT_EQ(examines({"a<!-- b -->c"}), "a-->c");
  EXPECT_EQ(examines({"<!-->x"}), "-->x");  // "-->" inside "<!-->" ends it at once
  EXPECT_EQ(examines({"a<!--", "b", "c-->d"}), "a-->d");
  EXPECT_EQ(examines({"--><!---->x"}), "-->-->x");
  EXPECT_EQ(examines({"a<![CDATA[<b>]]>c"}), "a]]>c");
  EXPECT_EQ(examines({"<![CDATA[", "<Super>", "]]>x"}), "]]>x");
  // The walk over whole lines hands over the same "<" as the state one position at a time.
  const std::vector<std::string> lignes = {"<a><!-- <b> -->", "<c> <!-- <d>", "--> <e", "<!--->< <f>",
                                          "<![CDATA[<g>", "]]><h>"};
  std::vector<std::string> vus, attendus;
  bool dedans = false;
  analysis::CommentState etat;
  for (const std::string& l : lignes) {
    analysis::walkLine(l, dedans, [&](int64_t q) {
      vus.push_back(l.substr(size_t(q), 3));
      return true;
    });
    for (size_t p = 0; p < l.size(); ++p)
      if (!etat.skips(l, int64_t(p)) && l[p] == '<' && !analysis::opensComment(l, int64_t(p)))
        attendus.push_back(l.substr(p, 3));
  }
  EXPECT_EQ(vus, attendus);
  EXPECT_EQ(vus, (std::vector<std::string>{"<a>", "<c>", "<e", "< <", "<f>", "<h>"}));
}

struct CasValid {
  const char* nom;
  QStringList lignes;
  int code;
  QString texte;
};

void verifie(const std::vector<CasValid>& cas) {
  for (const CasValid& c : cas) {
    const Fault f = produitValid(c.lignes);
    EXPECT_EQ(f.code, c.code) << c.nom;
    EXPECT_EQ(f.text, c.texte) << c.nom;
  }
}

TEST(Valid, OpenCloseAndDeclarationFaults) {
  verifie({
      {"empty document", {}, 0, {}},
      {"unclosed, earliest entry", {u"<r>"_qs, u"<a><b>"_qs, u"</r>"_qs}, 1, u"<a>"_qs},
      {"closing removes the first equal entry without regard to case",
       {u"<r><A><a></A>"_qs, u"</r>"_qs}, 1, u"<a>"_qs},
      {"last unopened end tag wins", {u"<a>"_qs, u"</x>"_qs, u"</y>"_qs}, 2, u"<y>"_qs},
      {"root check respects case", {u"<r>"_qs, u"<R></R>"_qs, u"</r>"_qs}, 0, {}},
      {"a tag inside a comment is not the root", {u"<!-- <r> -->"_qs, u"<r></r>"_qs}, 0, {}},
      {"attribute fault names its tag", {u"<r>"_qs, u"<p lang=fr></p>"_qs, u"</r>"_qs}, 4, u"<p>"_qs},
      {"standalone found past a line break", {u"<?xml version=\"1.0\""_qs, u" standalone='maybe'?>"_qs}, 6, {}},
      {"standalone value inside 'yes no'", {u"<?xml standalone=\"s n\"?>"_qs}, 0, {}},
      {"standalone without quotes", {u"<?xml standalone=yes?>"_qs}, 6, {}},
      {"standalone past 1024 characters", {u"<?xml"_qs + QString(1100, u' ') + u"standalone=\"x\"?>"_qs}, 0, {}},
      {"only the first declaration counts",
       {u"<?xml version=\"1.0\"?>"_qs + QString(1100, u' '), u"<?xml standalone=\"x\"?>"_qs}, 0, {}},
      {"entity at the end of a line", {u"<a>x &amp</a>"_qs}, 5, u"&amp</a>"_qs},
      {"entity shorter than ten characters", {u"a &b"_qs}, 5, u"&b"_qs},
      {"long entity names", {u"<a>&Lauri.Watts; &kde-frameworks.version; &#x1F600;</a>"_qs}, 0, {}},
      {"a name must follow", {u"<a>&123456789;</a>"_qs}, 5, u"&123456789"_qs},
      {"entities in comments and CDATA are text",
       {u"<a><!-- x & y -->"_qs, u"<![CDATA[if (a && b)"_qs, u"]]><!--"_qs, u"&"_qs, u"--></a>"_qs}, 0, {}},
      {"checked again after the section", {u"<a><![CDATA[&]]> & </a>"_qs}, 5, u"& </a>"_qs},
  });
}

TEST(Valid, OverlapScansStartAtTheLineAndStopOnTheExactKey) {
  verifie({
      {"nested on lines", {u"<r>"_qs, u"<a>"_qs, u"<b>"_qs, u"</b>"_qs, u"</a>"_qs, u"</r>"_qs}, 0, {}},
      {"crossing on lines", {u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs}, 7, u"<b>"_qs},
      // <rec> stands before <a> on its line: the scan for <a> stops on </a>.
      {"inner element on the record's line", {u"<root>"_qs, u"<rec><a>x</a></rec>"_qs, u"</root>"_qs}, 0, {}},
      {"same without the enclosing element", {u"<rec><a>x</a></rec>"_qs}, 0, {}},
      // </a> empties the list for <A> but is another key: the scan goes on to </r>.
      {"case-insensitive close never stops", {u"<r>"_qs, u"<A>"_qs, u"</a>"_qs, u"</r>"_qs}, 7, u"<A>"_qs},
      {"case-insensitive close at the end", {u"<A>"_qs, u"</a>"_qs}, 0, {}},
      {"an earlier end tag of the line is passed over",
       {u"<r>"_qs, u"<x>"_qs, u"</x><y>"_qs, u"</y>"_qs, u"</r>"_qs}, 0, {}},
      {"end tags of the line pair off before the tag",
       {u"<channel>"_qs, u"<item><title>t</title><description>d</description><pubDate>x</pubDate></item>"_qs,
        u"<item>"_qs, u"<description>d"_qs, u"</description><pubDate>x</pubDate>"_qs, u"</item>"_qs, u"</channel>"_qs},
       0, {}},
      {"a stop earlier on the line answers the later tag",
       {u"<r>"_qs, u"<k></k><k>"_qs, u"</k>"_qs, u"</r>"_qs}, 0, {}},
      {"a tag inside a comment opens nothing", {u"<r><!-- <x>"_qs, u"--> </r>"_qs}, 0, {}},
  });
}

TEST(Valid, OverlapScanOfALineThatStartsInsideAComment) {
  verifie({
      // The scan of the second line sees <x></x> before "-->"; they stand before <k>.
      {"balanced tags before the comment's end", {u"<r><!--"_qs, u"<x></x> --><k></k>"_qs, u"</r>"_qs}, 0, {}},
      {"unmatched end tag before the comment's end is passed over",
       {u"<r><!--"_qs, u"</q> --><k></k>"_qs, u"</r>"_qs}, 0, {}},
      {"open tag before the comment's end is an outer entry", {u"<r><!--"_qs, u"<q> --><k></k>"_qs, u"</r>"_qs},
       0, {}},
      // <r> before "-->" is matched by the shared walk's </r>, which the scan absorbs.
      {"an entry from before the comment's end absorbs an end tag",
       {u"<r><!--"_qs, u"<r> --></r><k></k>"_qs}, 0, {}},
      // </q> closes <k>'s own <q>, the newest: the <q> before "-->" stays an outer entry.
      {"the scan's own entry closes first",
       {u"<r><!--"_qs, u"<q> --><k><q></q></k>"_qs, u"</r>"_qs}, 0, {}},
      {"the same at the end of the text", {u"<!--"_qs, u"<q> --><k><q></q></k>"_qs}, 0, {}},
      {"an entry of the comment absorbs an end tag of its key",
       {u"<r><q><!--"_qs, u"<q> --><k></q></k>"_qs, u"</r>"_qs}, 0, {}},
      {"an entry of another key absorbs nothing", {u"<r><!--"_qs, u"<q> --></r><k></k>"_qs}, 0, {}},
      {"a new comment on the line ends the scan's own tags",
       {u"<r><q><!--"_qs, u"<!-- <q> --><k></q></k>"_qs, u"</r>"_qs}, 7, u"<k>"_qs},
      {"no stop before the comment's end", {u"<r><!--"_qs, u"<k></k> --><k>"_qs, u"</k></r>"_qs}, 0, {}},
  });
}

TEST(Valid, OverlapPassStartsWithTheCommentStateLeftOpen) {
  verifie({
      {"crossing tags before a comment left open",
       {u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs, u"<!-- open"_qs}, 0, {}},
      {"an earlier \"-->\" lets the pass see them",
       {u"-->"_qs, u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs, u"<!-- open"_qs}, 7, u"<b>"_qs},
      {"tags after the first marker are asked",
       {u"<!-- -->"_qs, u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs, u"<!-- open"_qs}, 7, u"<b>"_qs},
  });
}

// Well-formed files that real programs write, and the real faults beside them.
TEST(Valid, RealWorldShapesAndTheirFaults) {
  verifie({
      {"long empty element",
       {u"<method name=\"Get\">"_qs,
        u"  <annotation name=\"org.qtproject.QtDBus.QtTypeName.Out0\" value=\"QVariantMap\"/>"_qs, u"</method>"_qs},
       0, {}},
      {"empty element after a start tag", {u"<r><a/></r>"_qs}, 0, {}},
      {"empty element inside text", {u"<p>texte<br/>suite</p>"_qs}, 0, {}},
      {"link with a query", {u"<a href=\"page.php?id=3&amp;b=4\">x</a>"_qs}, 0, {}},
      {"CDATA holding markup", {u"<default><![CDATA[['<Super>Home']]]></default>"_qs}, 0, {}},
      {"CDATA across lines", {u"<s><![CDATA["_qs, u"if (a < b) x = '</s>';"_qs, u"]]></s>"_qs}, 0, {}},
      {"end tag in CDATA", {u"<![CDATA[</x>]]>"_qs}, 0, {}},
      {"start tag over several lines", {u"<svg"_qs, u"   width=\"10\">"_qs, u"<g/></svg>"_qs}, 0, {}},
      {"value holding \">\"", {u"<xsl:if test=\"count(x) > 1\"><y/></xsl:if>"_qs}, 0, {}},
      {"element nested in one of its own name on a line",
       {u"<itemizedlist>"_qs, u"<listitem><para>Un<footnote><para>Voir</para></footnote></para></listitem>"_qs,
        u"</itemizedlist>"_qs},
       0, {}},
      {"long tag name", {u"<"_qs + QString(70, u'n') + u">x</"_qs + QString(70, u'n') + u">"_qs}, 0, {}},
      {"unclosed stays", {u"<r>"_qs, u"<a href=\"x?y=1\">"_qs, u"</r>"_qs}, 1, u"<a>"_qs},
      {"unopened stays", {u"<r/>"_qs, u"</a>"_qs}, 2, u"<a>"_qs},
      {"unquoted stays", {u"<r><p lang=fr/></r>"_qs}, 4, u"<p>"_qs},
      {"unterminated value stays", {u"<r><p lang=\"fr></p></r>"_qs}, 4, u"<p>"_qs},
      {"lone ampersand stays", {u"<r>AT&T company</r>"_qs}, 5, u"&T company"_qs},
      {"overlap stays", {u"<a>"_qs, u"<b/><b>"_qs, u"</a>"_qs, u"</b>"_qs}, 7, u"<b>"_qs},
  });
}

// A line that starts inside a CDATA section is scanned for overlaps from its first character,
// as one that starts inside a comment.
TEST(Valid, OverlapScanOfALineThatStartsInsideACdataSection) {
  verifie({
      {"balanced tags before the section's end", {u"<r><![CDATA["_qs, u"<x></x> ]]><k></k>"_qs, u"</r>"_qs}, 0, {}},
      {"an entry of the section absorbs an end tag of its key",
       {u"<r><q><![CDATA["_qs, u"<q> ]]><k></q></k>"_qs, u"</r>"_qs}, 0, {}},
      {"a comment on the line ends the scan's own tags",
       {u"<r><q><![CDATA["_qs, u"<!-- <q> ]]><k></q></k>"_qs, u"</r>"_qs}, 7, u"<k>"_qs},
  });
}

TEST(Valid, OverlapTestOfOneTag) {
  const QStringList lignes = {u"<r>"_qs, u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs, u"</r>"_qs};
  EXPECT_FALSE(produitChevauche(lignes, u"<r>"_qs, 0, 0));
  EXPECT_TRUE(produitChevauche(lignes, u"<a>"_qs, 1, 0));   // </b> unmatched after </a>
  EXPECT_TRUE(produitChevauche(lignes, u"<b>"_qs, 2, 0));   // </a> unmatched
  EXPECT_FALSE(produitChevauche(lignes, u"<x>"_qs, 6, 0));  // past the end: nothing scanned
  EXPECT_TRUE(produitChevauche({u"<A>"_qs, u"</a>"_qs, u"</r>"_qs}, u"<A>"_qs, 0, 0));
  EXPECT_FALSE(produitChevauche({u"<A>"_qs, u"</A>"_qs, u"</r>"_qs}, u"<A>"_qs, 0, 0));
}

// What stands before the tag on its line: start tags are outer entries, which never make the
// answer true and may stay in the list when the scan stops; end tags close what they can.
TEST(Valid, OverlapTestOfATagLaterOnItsLine) {
  struct Cas {
    const char* nom;
    QStringList lignes;
    QString cle;
    int ligne;
    qsizetype position;
    bool chevauche;
  };
  const QString fiche = u"<rec><nom>Dupont</nom><ville>Lyon</ville></rec>"_qs;
  const std::vector<Cas> cas = {
      {"record: inner element", {u"<liste>"_qs, fiche, u"</liste>"_qs}, u"<nom>"_qs, 1, 5, false},
      {"record: second element", {u"<liste>"_qs, fiche, u"</liste>"_qs}, u"<ville>"_qs, 1, 22, false},
      {"record: the record itself", {u"<liste>"_qs, fiche, u"</liste>"_qs}, u"<rec>"_qs, 1, 0, false},
      {"end tag before the tag", {u"<x>"_qs, u"</x><y>"_qs, u"</y>"_qs, u"</r>"_qs}, u"<y>"_qs, 1, 4, false},
      {"a later unmatched end tag still counts", {u"<r><a>"_qs, u"<b></a>"_qs, u"</b></r>"_qs}, u"<b>"_qs, 1, 0, true},
      {"inner entries close first", {u"<a><b><a></a></b>"_qs, u"</a>"_qs, u"</r>"_qs}, u"<b>"_qs, 0, 3, false},
      {"outer entry closed after the tag", {u"<a><b>"_qs, u"</a>"_qs, u"</b>"_qs, u"</r>"_qs}, u"<b>"_qs, 0, 3, false},
      {"inner entry left at the end", {u"<a><b></a>"_qs}, u"<b>"_qs, 0, 3, true},
      {"inner entry left open", {u"<a><b><c></a></b>"_qs}, u"<b>"_qs, 0, 3, true},
      {"no stop before the tag", {u"<k></k><k>"_qs, u"</k>"_qs, u"</r>"_qs}, u"<k>"_qs, 0, 7, false},
  };
  for (const Cas& c : cas)
    EXPECT_EQ(produitChevauche(c.lignes, c.cle, c.ligne, c.position), c.chevauche) << c.nom;
}

TEST(Messages, EveryCodeHasTheEditorsText) {
  const std::vector<std::pair<Fault, QString>> cas = {
      {{1, u"<a>"_qs, {}, {}}, u"Balise <a> non fermée"_qs},
      {{2, u"<a>"_qs, {}, {}}, u"Balise <a> non ouverte"_qs},
      {{3, u"<r>"_qs, {}, {}}, u"Racine <r> non unique"_qs},
      {{4, u"<p>"_qs, {}, {}}, u"Attribut dans la balise <p> incorrect"_qs},
      {{5, u"&T company"_qs, {}, {}}, u"&T company Manque ; en fin d'entité"_qs},
      {{6, {}, {}, {}}, u"Déclaration xml ou attribut standalone incorrect"_qs},
      {{7, u"<b>"_qs, {}, {}}, u"Balise <b> chevauchée"_qs},
      {{11, u"<b>"_qs, {}, {}}, u"Balise <b> non déclarée"_qs},
      {{12, u"<a>"_qs, {}, {}}, u"Attribut dans balise <a> manquant"_qs},
      {{0, {}, {}, {}}, {}},
  };
  for (const auto& [faute, t] : cas) EXPECT_EQ(analysis::faultMessage(faute), t) << faute.code;
}

// Shapes that make the per-tag scans quadratic; the answers are worked out by hand.
TEST(Valid, AdversarialShapesKeepTheirAnswers) {
  constexpr int n = 6000;
  QStringList profond;
  for (int i = 0; i < n; ++i) profond << QStringLiteral("<e%1>").arg(i);
  for (int i = n - 1; i >= 0; --i) profond << QStringLiteral("</e%1>").arg(i);
  EXPECT_EQ(produitValid(profond).code, 0);

  // The same name nested deep: each scan stops on its own end tag.
  QStringList meme{u"<r>"_qs};
  for (int i = 0; i < n; ++i) meme << u"<e>"_qs;
  for (int i = 0; i < n; ++i) meme << u"</e>"_qs;
  meme << u"</r>"_qs;
  EXPECT_EQ(produitValid(meme).code, 0);

  // Every scan empties on an end tag of another case and runs to the end of the text.
  QStringList casse;
  for (int i = 0; i < n; ++i) casse << QStringLiteral("<A%1>").arg(i) << QStringLiteral("</a%1>").arg(i);
  EXPECT_EQ(produitValid(casse).code, 0);
  casse.prepend(u"<r>"_qs);
  casse << u"</r>"_qs;
  const Fault f = produitValid(casse);
  EXPECT_EQ(f.code, 7);
  EXPECT_EQ(f.text, u"<A0>"_qs);

  // Unclosed siblings: the earliest one is named.
  QStringList freres{u"<r>"_qs};
  for (int i = 0; i < n; ++i) freres << QStringLiteral("<s%1>").arg(i);
  freres << u"</r>"_qs;
  const Fault g = produitValid(freres);
  EXPECT_EQ(g.code, 1);
  EXPECT_EQ(g.text, u"<s0>"_qs);

  // Thousands of tags on one line, and as many lines that start inside a comment.
  QString ligne = u"<r>"_qs;
  for (int i = 0; i < n; ++i) ligne += u"<a><b></b></a>"_qs;
  EXPECT_EQ(produitValid({ligne + u"</r>"_qs}).code, 0);
  QStringList commentaires{u"<r><!--"_qs};
  for (int i = 0; i < n; ++i) commentaires << u"<x></x> --><k></k><!--"_qs;
  commentaires << u"--></r>"_qs;
  EXPECT_EQ(produitValid(commentaires).code, 0);
  commentaires[n / 2] = u"<!-- --><m><q></m></q><!--"_qs;
  const Fault h = produitValid(commentaires);
  EXPECT_EQ(h.code, 7);
  EXPECT_EQ(h.text, u"<m>"_qs);

  // "<" with neither blank nor ">": every tag stops at the next "<".
  EXPECT_EQ(produitValid({QString(n * 4, u'<')}).code, 3);
  QString distincts;
  for (int i = 0; i < n; ++i) distincts += QStringLiteral("<%1").arg(i, 5, 10, QChar(u'0'));
  EXPECT_EQ(produitValid({distincts}).code, 1);
}

}  // namespace
