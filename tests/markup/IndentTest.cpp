#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "Indent.h"

namespace {

std::string indentText(const std::string& lfText, indent::Outcome* outcome = nullptr) {
  return indent::indented(TextStore::fromBytes(lfText), outcome).text();
}

std::string crlf(const std::string& lfText) { return TextStore::normalise(lfText); }

TEST(Indent, ElementsGoOneALineAndEverythingElseIsKept) {
  struct Case {
    const char* name;
    std::string in, out;
  };
  const Case cases[] = {
      {"nested elements", "<r><a><b/></a><c>1</c></r>", "<r>\n\t<a>\n\t\t<b/>\n\t</a>\n\t<c>1</c>\n</r>"},
      {"old indentation replaced", "<r>\n    <a>x</a>\n        <a>y</a>\n</r>\n", "<r>\n\t<a>x</a>\n\t<a>y</a>\n</r>\n"},
      {"prolog items one a line", "<?xml version=\"1.0\"?><!DOCTYPE r [ <!ELEMENT r (#PCDATA)> ]><!-- c --><r/>",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE r [ <!ELEMENT r (#PCDATA)> ]>\n<!-- c -->\n<r/>"},
      {"mixed content kept", "<r><p>un <b>mot</b>\n  et  <i>deux</i></p></r>",
       "<r>\n\t<p>un <b>mot</b>\n  et  <i>deux</i></p>\n</r>"},
      {"xml:space preserve kept", "<r><pre xml:space='preserve'>\n <a/>  <b/></pre></r>",
       "<r>\n\t<pre xml:space='preserve'>\n <a/>  <b/></pre>\n</r>"},
      {"CDATA is text", "<r><s><![CDATA[<x> ]]></s><t>\n<![CDATA[a]]><u/></t></r>",
       "<r>\n\t<s><![CDATA[<x> ]]></s>\n\t<t>\n<![CDATA[a]]><u/></t>\n</r>"},
      {"comments and instructions indented as children", "<r><!--a--><?pi x?><a/></r>",
       "<r>\n\t<!--a-->\n\t<?pi x?>\n\t<a/>\n</r>"},
      {"blank-only and empty content kept", "<r><a>  </a><b></b></r>", "<r>\n\t<a>  </a>\n\t<b></b>\n</r>"},
      {"quoted > and multi-line attributes kept", "<r><a t=\"x>y\"\n   u='2'><b/></a></r>",
       "<r>\n\t<a t=\"x>y\"\n   u='2'>\n\t\t<b/>\n\t</a>\n</r>"},
      {"references are text", "<r><a>&amp;</a><b>&#233;<c/></b></r>", "<r>\n\t<a>&amp;</a>\n\t<b>&#233;<c/></b>\n</r>"},
      {"leading and trailing text kept", "  <?xml version=\"1.0\"?><r/>  \n\n", "  <?xml version=\"1.0\"?>\n<r/>  \n\n"},
      {"top-level text kept in place", "<r/>texte<s/>", "<r/>texte<s/>"},
      {"a DOCTYPE whose subset holds > and ]", "<!DOCTYPE r [<!ENTITY e \"]>\"><!-- ]> -->]><r><a/></r>",
       "<!DOCTYPE r [<!ENTITY e \"]>\"><!-- ]> -->]>\n<r>\n\t<a/>\n</r>"},
  };
  for (const Case& c : cases) {
    indent::Outcome o;
    EXPECT_EQ(indentText(c.in, &o), crlf(c.out)) << c.name;
    EXPECT_TRUE(o.indented) << c.name;
    EXPECT_EQ(indentText(crlf(c.out)), crlf(c.out)) << c.name << ": indenting twice";
  }
}

TEST(Indent, MarkupThatDoesNotNestIsLeftAsItIs) {
  struct Case {
    const char* name;
    std::string in;
    int64_t fault;
  };
  const Case cases[] = {
      {"end tag of another element", "<r><a></b></r>", 6},
      {"element never closed", "<r><a></a>", 0},
      {"end tag with nothing open", "</r>", 0},
      {"tag without its >", "<r><a</r>", 3},
      {"comment without its end", "<r><!-- </r>", 3},
      {"attribute without quotes", "<r><a b=c/></r>", 3},
      {"unquoted attribute value never ends", "<r a=\"x></r>", 0},
      {"< followed by a blank", "<r>< a/></r>", 3},
  };
  for (const Case& c : cases) {
    indent::Outcome o;
    EXPECT_EQ(indentText(c.in, &o), crlf(c.in)) << c.name;
    EXPECT_FALSE(o.indented) << c.name;
    EXPECT_EQ(o.faultPosition, c.fault) << c.name;
  }
}

// Random documents, well formed or broken by a mutation; every one is indented, indented again,
// and handed with its result to xmllint.
class RandomDocument {
 public:
  explicit RandomDocument(unsigned seed) : rng_(seed) {}

  std::string make() {
    std::string d;
    if (pick(3) == 0) d += "<?xml version=\"1.0\"?>" + blanks();
    if (pick(4) == 0) d += "<!DOCTYPE r [\n<!ENTITY e \"é]>\">\n]>" + blanks();
    if (pick(3) == 0) d += "<!-- début -->" + blanks();
    element(d, 0);
    d += blanks();
    if (pick(3) == 0) mutate(d);
    return d;
  }

 private:
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  std::string blanks() {
    static const char* const kinds[] = {"", " ", "\n", "\n  ", "\t\n\t", "\n\n"};
    return kinds[pick(6)];
  }
  std::string name() {
    static const char* const names[] = {"a", "b", "fiche", "nom", "x:y", "é"};
    return names[pick(6)];
  }
  void element(std::string& d, int depth) {
    const std::string n = name();
    d += "<" + n;
    if (pick(3) == 0) d += " id=\"v" + std::to_string(pick(9)) + "\"";
    if (pick(4) == 0) d += "\n  t='a > b'";
    if (pick(12) == 0) d += " xml:space=\"preserve\"";
    if (depth > 4 || pick(5) == 0) {
      d += pick(2) ? "/>" : " />";
      return;
    }
    d += ">";
    const int children = pick(5);
    for (int i = 0; i < children; ++i) {
      d += blanks();
      switch (pick(8)) {
        case 0: d += "texte &amp; suite"; break;
        case 1: d += "<!-- note <a> -->"; break;
        case 2: d += "<?pi data?>"; break;
        case 3: d += "<![CDATA[ <b>&</b> ]]>"; break;
        default: element(d, depth + 1); break;
      }
    }
    d += blanks() + "</" + n + ">";
  }
  void mutate(std::string& d) {
    const size_t at = size_t(pick(int(d.size())));
    switch (pick(4)) {
      case 0: d.erase(at, 1); break;
      case 1: d.insert(at, 1, "<>&/\"= "[pick(7)]); break;
      case 2: d.insert(at, "<z>"); break;
      default: d.insert(at, "x"); break;
    }
  }
  std::mt19937 rng_;
};

class Xmllint {
 public:
  Xmllint() : dir_(std::filesystem::temp_directory_path() / ("tovelo-indent-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_);
  }
  ~Xmllint() { std::filesystem::remove_all(dir_); }
  static bool available() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

  // The document's canonical form with blank-only text between tags set aside; empty when
  // xmllint finds the document ill formed.
  std::string canonical(const std::string& document) {
    const auto in = dir_ / "doc.xml";
    const auto out = dir_ / "c14n.xml";
    std::ofstream(in, std::ios::binary) << document;
    const std::string command = "xmllint --nonet --c14n " + in.string() + " >" + out.string() + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream f(out, std::ios::binary);
    const std::string c((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // Blanks from a ">" up to a "<" go.
    const auto blank = [](char b) { return b == ' ' || b == '\t' || b == '\r' || b == '\n'; };
    std::string squeezed = "ok:";
    for (size_t i = 0; i < c.size(); ++i) {
      squeezed += c[i];
      if (c[i] != '>') continue;
      size_t j = i + 1;
      while (j < c.size() && blank(c[j])) ++j;
      if (j < c.size() && c[j] == '<') i = j - 1;
    }
    return squeezed;
  }

 private:
  std::filesystem::path dir_;
};

TEST(Indent, RandomDocumentsKeepTheirContentAndTheirWellFormedness) {
  if (!Xmllint::available()) GTEST_SKIP() << "xmllint is missing";
  Xmllint lint;
  int wellFormed = 0, indentedOnes = 0;
  for (unsigned seed = 1; seed <= 250; ++seed) {
    const std::string document = RandomDocument(seed).make();
    indent::Outcome o;
    const std::string once = indentText(document, &o);
    ASSERT_EQ(indentText(once), once) << "seed " << seed << ": indenting twice\n" << document;
    const std::string before = lint.canonical(crlf(document));
    ASSERT_EQ(lint.canonical(once), before) << "seed " << seed << "\n" << document << "\n---\n" << once;
    wellFormed += !before.empty();
    indentedOnes += o.indented;
  }
  // The generator must exercise both sides.
  EXPECT_GT(wellFormed, 100);
  EXPECT_LT(wellFormed, 240);
  EXPECT_GT(indentedOnes, wellFormed);
}

}  // namespace
