// Edge cases of the tag rules and of the well-formedness check, with the shapes where the fast
// overlap pass could drift from the per-tag scan: lines that start inside a comment, keys that
// match without regard to case but never stop the scan, a comment left open at the end.
#include <gtest/gtest.h>

#include <vector>

#include "Wellformed.h"
#include "tags.h"

namespace {

using analyse::Faute;
using analyse::Valid;

struct CasCle {
  QString fenetre;
  QString cle;
};

TEST(Balises, NomBaliseFollowsTheWindowRules) {
  const std::vector<CasCle> cas = {
      {u"<body class=\"x\">"_qs, u"<body>"_qs},
      {u"<body>text</body>"_qs, u"<body>"_qs},
      {u"<a><b/>"_qs, {}},            // "/>" anywhere in the window
      {u"<br/>"_qs, {}},
      {u"<br />"_qs, {}},
      {u"<a/ x>"_qs, {}},             // the blank becomes ">", with "/" before it
      {u"<?xml version=\"1.0\"?>"_qs, {}},
      {u"<!-- c -->"_qs, {}},
      {u"<abc"_qs, u"<abc"_qs},       // neither blank nor ">": the whole window
      {u"<"_qs, u"<"_qs},
      {u"< x"_qs, u"<>"_qs},
      {u"<a\tb>"_qs, u"<a\tb>"_qs},   // a tab is no blank
      {u""_qs, {}},
  };
  for (const CasCle& c : cas) EXPECT_EQ(analyse::NomBalise(c.fenetre), c.cle) << c.fenetre.toStdString();

  const std::vector<CasCle> fins = {
      {u"</body>"_qs, u"<body>"_qs},
      {u"</body >x"_qs, u"<body>"_qs},
      {u"</>"_qs, u"<>"_qs},          // its "/>" goes with the removed "/"
      {u"</"_qs, u"<"_qs},
      {u"</a><b/>"_qs, {}},
      {u"<//a>"_qs, {}},
  };
  for (const CasCle& c : fins)
    EXPECT_EQ(analyse::cleFinBalise(c.fenetre), c.cle) << c.fenetre.toStdString();
}

TEST(Balises, TagWindowStopsAt64CharactersAndTheLineEnd) {
  const QString ligne = u"x<"_qs + QString(100, u'n');
  EXPECT_EQ(analyse::fenetreBalise(ligne, 1).size(), analyse::kFenetreBalise);
  EXPECT_EQ(analyse::fenetreBalise(u"ab<c>"_qs, 2), u"<c>"_qs);
  EXPECT_TRUE(analyse::fenetreBalise(u"ab"_qs, 5).isEmpty());
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
    EXPECT_EQ(analyse::ValeurGuillemets(c.fenetre), c.cle) << c.fenetre.toStdString();
  const QString long_ = u"\""_qs + QString(2000, u'v');
  EXPECT_EQ(analyse::ValeurGuillemets(long_).size(), 1024);
}

TEST(Balises, ControleAttributsChecksQuotesUpToTheFirstChevron) {
  const std::vector<std::pair<QString, int>> cas = {
      {u"<p lang=fr>"_qs, 4},
      {u"<p lang='fr'>"_qs, 0},
      {u"<p lang = \"fr\">"_qs, 0},
      {u"<p lang=\t\"fr\">"_qs, 0},              // control characters are dropped too
      {u"<a href=\"x.php?id=3\">"_qs, 4},         // "=" inside a value
      {u"<p lang=\"fr>"_qs, 4},                  // cut at ">": no closing quote left
      {u"<p> x=y"_qs, 0},                        // after the tag's ">"
      {u"<p a=\"1\" b='2' c=\"3\">"_qs, 0},
      {u"<p a=\"1\"b=\"2\">"_qs, 0},
      {u"<p a="_qs, 4},
      {u"<p"_qs + QString(1030, u' ') + u"a=b>"_qs, 0},  // past the 1024 characters read
  };
  for (const auto& [texte, code] : cas)
    EXPECT_EQ(analyse::ControleAttributs(texte), code) << texte.toStdString();
}

TEST(Balises, KeysCompareWithoutRegardToCaseInWindows1252) {
  EXPECT_TRUE(analyse::memeCleSansCasse(u"<é>"_qs, u"<É>"_qs));
  EXPECT_TRUE(analyse::memeCleSansCasse(u"<ÿœš>"_qs, u"<ŸŒŠ>"_qs));
  EXPECT_TRUE(analyse::memeCleSansCasse(u"<Body>"_qs, u"<bODY>"_qs));
  EXPECT_FALSE(analyse::memeCleSansCasse(u"<ß>"_qs, u"<SS>"_qs));
  EXPECT_FALSE(analyse::memeCleSansCasse(u"<a>"_qs, u"<a"_qs));
}

TEST(Balises, CommentStateTurnsOffThenOn) {
  // Positions of the characters that are examined.
  const auto examines = [](const QStringList& lignes) {
    analyse::EtatCommentaire etat;
    QString vus;
    for (const QString& l : lignes)
      for (qsizetype p = 0; p < l.size(); ++p)
        if (!etat.ignore(l, p)) vus += l[p];
    return vus;
  };
  EXPECT_EQ(examines({u"a<!-- b -->c"_qs}), u"a-->c"_qs);
  EXPECT_EQ(examines({u"<!-->x"_qs}), u"-->x"_qs);  // "-->" inside "<!-->" ends it at once
  EXPECT_EQ(examines({u"a<!--"_qs, u"b"_qs, u"c-->d"_qs}), u"a-->d"_qs);
  EXPECT_EQ(examines({u"--><!---->x"_qs}), u"-->-->x"_qs);
}

struct CasValid {
  const char* nom;
  QStringList lignes;
  int code;
  QString texte;
};

void verifie(const std::vector<CasValid>& cas) {
  for (const CasValid& c : cas) {
    const Faute f = Valid(c.lignes);
    EXPECT_EQ(f.code, c.code) << c.nom;
    EXPECT_EQ(f.texte, c.texte) << c.nom;
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
      {"semicolon as the tenth character", {u"&12345678;"_qs}, 0, {}},
      {"semicolon as the eleventh character", {u"&123456789;"_qs}, 5, u"&123456789"_qs},
  });
}

TEST(Valid, OverlapScansStartAtTheLineAndStopOnTheExactKey) {
  verifie({
      {"nested on lines", {u"<r>"_qs, u"<a>"_qs, u"<b>"_qs, u"</b>"_qs, u"</a>"_qs, u"</r>"_qs}, 0, {}},
      {"crossing on lines", {u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs}, 7, u"<b>"_qs},
      // The scan for <a> empties on </rec> and then meets </root> unmatched.
      {"inner element on the record's line",
       {u"<root>"_qs, u"<rec><a>x</a></rec>"_qs, u"</root>"_qs}, 7, u"<a>"_qs},
      {"same without the enclosing element", {u"<rec><a>x</a></rec>"_qs}, 0, {}},
      // </a> empties the list for <A> but is another key: the scan goes on to </r>.
      {"case-insensitive close never stops", {u"<r>"_qs, u"<A>"_qs, u"</a>"_qs, u"</r>"_qs}, 7, u"<A>"_qs},
      {"case-insensitive close at the end", {u"<A>"_qs, u"</a>"_qs}, 0, {}},
      {"an earlier end tag of the line kills the scan",
       {u"<r>"_qs, u"<x>"_qs, u"</x><y>"_qs, u"</y>"_qs, u"</r>"_qs}, 7, u"<y>"_qs},
      {"a stop earlier on the line answers the later tag",
       {u"<r>"_qs, u"<k></k><k>"_qs, u"</k>"_qs, u"</r>"_qs}, 0, {}},
      {"a tag inside a comment opens nothing", {u"<r><!-- <x>"_qs, u"--> </r>"_qs}, 0, {}},
  });
}

TEST(Valid, OverlapScanOfALineThatStartsInsideAComment) {
  verifie({
      // The scan of the second line sees <x></x> before "-->": it stops on </x> for <x> only.
      {"balanced tags before the comment's end", {u"<r><!--"_qs, u"<x></x> --><k></k>"_qs, u"</r>"_qs}, 0, {}},
      {"unmatched end tag before the comment's end", {u"<r><!--"_qs, u"</q> --><k></k>"_qs, u"</r>"_qs},
       7, u"<k>"_qs},
      {"open tag before the comment's end stays open", {u"<r><!--"_qs, u"<q> --><k></k>"_qs, u"</r>"_qs},
       7, u"<k>"_qs},
      // <r> before "-->" is matched by the shared walk's </r>, which the scan absorbs.
      {"an entry from before the comment's end absorbs an end tag",
       {u"<r><!--"_qs, u"<r> --></r><k></k>"_qs}, 0, {}},
      {"an entry of another key absorbs nothing", {u"<r><!--"_qs, u"<q> --></r><k></k>"_qs}, 7, u"<k>"_qs},
      {"a new comment on the line keeps the scan's own tags open",
       {u"<r><!--"_qs, u"<q><!-- x --><k></k>"_qs, u"</r>"_qs}, 7, u"<k>"_qs},
      {"stop before the comment's end", {u"<r><!--"_qs, u"<k></k> --><k>"_qs, u"</k></r>"_qs}, 0, {}},
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

TEST(Valid, OverlapTestOfOneTag) {
  const QStringList lignes = {u"<r>"_qs, u"<a>"_qs, u"<b>"_qs, u"</a>"_qs, u"</b>"_qs, u"</r>"_qs};
  EXPECT_FALSE(analyse::Chevauche(lignes, u"<r>"_qs, 0));
  EXPECT_TRUE(analyse::Chevauche(lignes, u"<a>"_qs, 1));   // </b> unmatched after </a>
  EXPECT_TRUE(analyse::Chevauche(lignes, u"<b>"_qs, 2));   // </a> unmatched
  EXPECT_FALSE(analyse::Chevauche(lignes, u"<x>"_qs, 6));  // past the end: nothing scanned
  EXPECT_TRUE(analyse::Chevauche({u"<A>"_qs, u"</a>"_qs, u"</r>"_qs}, u"<A>"_qs, 0));
  EXPECT_FALSE(analyse::Chevauche({u"<A>"_qs, u"</A>"_qs, u"</r>"_qs}, u"<A>"_qs, 0));
}

TEST(Messages, EveryCodeHasTheEditorsText) {
  const std::vector<std::pair<Faute, QString>> cas = {
      {{1, u"<a>"_qs}, u"Balise <a> non fermée"_qs},
      {{2, u"<a>"_qs}, u"Balise <a> non ouverte"_qs},
      {{3, u"<r>"_qs}, u"Racine <r> non unique"_qs},
      {{4, u"<p>"_qs}, u"Attribut dans la balise <p> incorrect"_qs},
      {{5, u"&T company"_qs}, u"&T company Manque ; en fin d'entité"_qs},
      {{6, {}}, u"Déclaration xml ou attribut standalone incorrect"_qs},
      {{7, u"<b>"_qs}, u"Balise <b> chevauchée"_qs},
      {{11, u"<b>"_qs}, u"Balise <b> non déclarée"_qs},
      {{12, u"<a>"_qs}, u"Attribut dans balise <a> manquant"_qs},
      {{0, {}}, {}},
  };
  for (const auto& [faute, texte] : cas) EXPECT_EQ(analyse::messageFaute(faute), texte) << faute.code;
}

// Shapes that make the per-tag scans quadratic; the answers are worked out by hand.
TEST(Valid, AdversarialShapesKeepTheirAnswers) {
  constexpr int n = 6000;
  QStringList profond;
  for (int i = 0; i < n; ++i) profond << QStringLiteral("<e%1>").arg(i);
  for (int i = n - 1; i >= 0; --i) profond << QStringLiteral("</e%1>").arg(i);
  EXPECT_EQ(Valid(profond).code, 0);

  // The same name nested deep: each scan stops on its own end tag.
  QStringList meme{u"<r>"_qs};
  for (int i = 0; i < n; ++i) meme << u"<e>"_qs;
  for (int i = 0; i < n; ++i) meme << u"</e>"_qs;
  meme << u"</r>"_qs;
  EXPECT_EQ(Valid(meme).code, 0);

  // Every scan empties on an end tag of another case and runs to the end of the text.
  QStringList casse;
  for (int i = 0; i < n; ++i) casse << QStringLiteral("<A%1>").arg(i) << QStringLiteral("</a%1>").arg(i);
  EXPECT_EQ(Valid(casse).code, 0);
  casse.prepend(u"<r>"_qs);
  casse << u"</r>"_qs;
  const Faute f = Valid(casse);
  EXPECT_EQ(f.code, 7);
  EXPECT_EQ(f.texte, u"<A0>"_qs);

  // Unclosed siblings: the earliest one is named.
  QStringList freres{u"<r>"_qs};
  for (int i = 0; i < n; ++i) freres << QStringLiteral("<s%1>").arg(i);
  freres << u"</r>"_qs;
  const Faute g = Valid(freres);
  EXPECT_EQ(g.code, 1);
  EXPECT_EQ(g.texte, u"<s0>"_qs);

  // Thousands of tags on one line, and as many lines that start inside a comment.
  QString ligne = u"<r>"_qs;
  for (int i = 0; i < n; ++i) ligne += u"<a><b></b></a>"_qs;
  EXPECT_EQ(Valid({ligne + u"</r>"_qs}).code, 0);
  QStringList commentaires{u"<r><!--"_qs};
  for (int i = 0; i < n; ++i) commentaires << u"<x></x> --><k></k><!--"_qs;
  commentaires << u"--></r>"_qs;
  EXPECT_EQ(Valid(commentaires).code, 0);
  commentaires[n / 2] = u"</x> --><k></k><!--"_qs;
  const Faute h = Valid(commentaires);
  EXPECT_EQ(h.code, 7);
  EXPECT_EQ(h.texte, u"<k>"_qs);

  // "<" with neither blank nor ">": every window is a key of 64 characters.
  EXPECT_EQ(Valid({QString(n * 4, u'<')}).code, 3);
  QString distincts;
  for (int i = 0; i < n; ++i) distincts += QStringLiteral("<%1").arg(i, 5, 10, QChar(u'0'));
  EXPECT_EQ(Valid({distincts}).code, 1);
}

}  // namespace
