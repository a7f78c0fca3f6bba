// The conversions between accented letters and references, on Windows-1252 bytes.
#include <gtest/gtest.h>

#include <random>

#include "Conversion.h"
#include "Wellformed.h"

namespace {

// Tests are written in UTF-8; documents are Windows-1252.
std::string w(const char* utf8) { return QString::fromUtf8(utf8).toLatin1().toStdString(); }

std::string convertir(const std::string& text, int64_t* count = nullptr) {
  return conversion::Convertir(TextStore(TextStore::normalise(text)), count).text();
}

}  // namespace

TEST(Convertir, ConvertsTextAndValuesButNotCommentsCdataOrNames) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"<nom>célèbre</nom>", "<nom>c&#233;l&#232;bre</nom>"},
      {"<!-- été -->", "<!-- été -->"},
      {"<!-- été\r\nencore été -->après", "<!-- été\r\nencore été -->apr&#232;s"},
      {"<!-->é", "<!-->&#233;"},
      {"Ça", "Ça"},
      {"àâäçèéêëîïôöùû", "&#224;&#226;&#228;&#231;&#232;&#233;&#234;&#235;&#238;&#239;&#244;&#246;"
                          "&#249;&#251;"},
      {"ÀÉÈÇ ñ ü", "ÀÉÈÇ ñ ü"},
      // Names keep their letters; quoted values, of either quote, are text for the reader.
      {"<élément>é</élément>", "<élément>&#233;</élément>"},
      {"<a tître=\"été\" b='où'>", "<a tître=\"&#233;t&#233;\" b='o&#249;'>"},
      {"<a x=\"l'été\">", "<a x=\"l'&#233;t&#233;\">"},
      {"<a\r\n  é=\"é\"\r\n>é", "<a\r\n  é=\"&#233;\"\r\n>&#233;"},
      // A reference written in a CDATA section would no longer be one.
      {"<![CDATA[été]]>é", "<![CDATA[été]]>&#233;"},
      {"<!DOCTYPE l [<!ENTITY é \"é\">]>é", "<!DOCTYPE l [<!ENTITY é \"&#233;\">]>&#233;"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(convertir(w(c.in)), w(c.out));
  }
}

TEST(Convertir, CountsTheLettersAndGivesTheSameTextBackWhenThereAreNone) {
  int64_t count = -1;
  const TextStore text(TextStore::normalise(w("<a>sans accent</a><!-- é -->")));
  const TextStore same = conversion::Convertir(text, &count);
  EXPECT_EQ(count, 0);
  EXPECT_TRUE(same == text);
  EXPECT_EQ(convertir(w("<a>éè</a>"), &count), "<a>&#233;&#232;</a>");
  EXPECT_EQ(count, 2);
}

TEST(Convertir, KeepsWellFormedDocumentsWellFormedAcrossChunks) {
  // Long enough to span many chunks of the store, so the walk's state crosses their borders.
  std::mt19937 random(7);
  const char* pieces[] = {"<é a=\"é\">", "</é>", "é", "<!-- é -->", "<![CDATA[é>]]>", "\r\n", "x",
                          // On a line of its own: the checker's window would otherwise see its "/>".
                          "\r\n<b x='à>'/>\r\n"};
  std::string body;
  int depth = 0;
  while (body.size() < 300000) {
    const int k = int(random() % 8);
    if (k == 0) ++depth;
    if (k == 1) {
      if (depth == 0) continue;
      --depth;
    }
    body += w(pieces[k]);
  }
  for (; depth > 0; --depth) body += w("</é>");
  const std::string doc = "<racine>" + body + "</racine>";
  const std::string out = convertir(doc);
  EXPECT_EQ(analysis::Valid(*TextStore(TextStore::normalise(doc)).lines()).code, 0);
  EXPECT_EQ(analysis::Valid(*TextStore(out).lines()).code, 0);
  // What was converted comes back whole.
  std::string back = out;
  conversion::CarXml(back);
  EXPECT_EQ(back, doc);
}

TEST(CodeAccents, ThirteenLettersEverywhereButTheCedilla) {
  std::string s = w("ça été à <é> û");
  conversion::CodeAccents(s);
  EXPECT_EQ(s, w("ça &#233;t&#233; &#224; <&#233;> &#251;"));
  QString q = QString::fromUtf8("garçon près du lac é");
  conversion::CodeAccents(q);
  EXPECT_EQ(q, QString::fromUtf8("garçon pr&#232;s du lac &#233;"));
}

TEST(CarXml, KnownReferencesBecomeCharactersAndNothingElseIsEaten) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"c&#233;l&#232;bre &lt;b&gt;", "célèbre <b>"},
      {"&copy; 2001", "(c) 2001"},
      {"&nbsp;", " "},
      {"&#224;&#226;&#228;&#231;&#232;&#233;&#234;&#235;&#238;&#239;&#244;&#246;&#249;&#251;",
       "àâäçèéêëîïôöùû"},
      // Unknown references and a lone "&" stay; what follows is still converted.
      {"A &amp; B &#233;", "A &amp; B é"},
      {"& &#233;", "& é"},
      {"&&#233;", "&é"},
      // Without its ";" a reference is text as it stands.
      {"&#233 noir", "&#233 noir"},
      {"&lt", "&lt"},
      {"&#233", "&#233"},
      {"&#2331;", "&#2331;"},
      {"&#201;", "&#201;"},
      {"fin &", "fin &"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    std::string bytes = w(c.in);
    conversion::CarXml(bytes);
    EXPECT_EQ(bytes, w(c.out));
    QString text = QString::fromUtf8(c.in);
    conversion::CarXml(text);
    EXPECT_EQ(text, QString::fromUtf8(c.out));
  }
}

TEST(ChangeCase, OnlyTheLettersAToZChange) {
  EXPECT_EQ(conversion::changeCase(QString::fromUtf8("Élève"), true), QString::fromUtf8("ÉLèVE"));
  EXPECT_EQ(conversion::changeCase(QString::fromUtf8("ÉLÈVE Zz"), false), QString::fromUtf8("ÉlÈve zz"));
  EXPECT_EQ(conversion::changeCase(QString(), true), QString());
}
