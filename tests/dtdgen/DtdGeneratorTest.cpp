// "Générer DTD interne" on whole documents: the declarations it writes, where it writes them,
// and what it removes.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include "Cp1252.h"
#include "Generator.h"
#include "DtdGenerator.h"
#include "LineViews.h"
#include "TextStore.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QStringList generated(const QStringList& lines) {
  TextStore text(cp1252::encode(lines.join("\r\n")).toStdString());
  dtdgen::Gendtd(text);
  return cp1252::decode(QByteArray::fromStdString(text.text())).split("\r\n");
}

const QStringList kListe = {"<?xml version=\"1.0\"?>", "<liste version=\"2\">", "<fiche>", "<ville>Paris</ville>",
                            "<tel>01</tel>", "</fiche>", "</liste>"};
const QStringList kDtd = {"<!DOCTYPE liste [",          "<!ELEMENT liste (fiche)*>", "<!ELEMENT fiche (ville,tel)>",
                          "<!ELEMENT ville (#PCDATA)>", "<!ELEMENT tel (#PCDATA)>",  "<!ATTLIST liste  version>",
                          "]>"};

QStringList with(QStringList lines, int at, const QStringList& inserted) {
  for (int i = 0; i < inserted.size(); ++i) lines.insert(at + i, inserted[i]);
  return lines;
}

TEST(DtdGenerator, ElementDeclarationBodies) {
  struct Case {
    const char* window;
    const char* body;
  };
  for (const Case& c : {Case{"<fiche id=\"1\">", "fiche (#PCDATA)"}, Case{"<br />", "br EMPTY"}, Case{"<br/>", "br EMPTY"},
                        Case{"<a><b/>", "a EMPTY"}, Case{"</a>", ""}, Case{"<?xml?>", ""}, Case{"<!-- x -->", ""},
                        Case{"<>", ""}})
    EXPECT_EQ(dtdgen::ElementDtd(c.window), c.body) << c.window;
}

TEST(DtdGenerator, WritesTheDeclarationsAfterTheXmlDeclarationAndReplacesThemNextTime) {
  const QStringList once = generated(kListe);
  EXPECT_EQ(once, with(kListe, 1, kDtd));
  EXPECT_EQ(generated(once), once);
}

TEST(DtdGenerator, DeclarationsFollowTheFirstTags) {
  struct Case {
    const char* what;
    QStringList lines;
    QStringList dtd;  // the lines between "<!DOCTYPE" and "]>"
  };
  const std::vector<Case> cases = {
      {"record with attributes keeps (#PCDATA)",
       {"<?xml version=\"1.0\"?>", "<liste version=\"2\">", "<fiche id=\"1\">", "<ville>Paris</ville>", "</fiche>", "</liste>"},
       {"<!ELEMENT liste (fiche)*>", "<!ELEMENT fiche (#PCDATA)>", "<!ELEMENT ville (#PCDATA)>",
        "<!ATTLIST liste  version>", "<!ATTLIST fiche  id>"}},
      {"attributes looked for in the first text beginning with the name",
       {"<?xml version=\"1.0\"?>", "<fiches version=\"2\">", "<fiche id=\"1\">", "</fiche>", "</fiches>"},
       {"<!ELEMENT fiches (fiche)*>", "<!ELEMENT fiche (#PCDATA)>", "<!ATTLIST fiches  version>",
        "<!ATTLIST fiche  version>"}},
      {"empty elements and elements in comments",
       {"<?xml version=\"1.0\"?>", "<r>", "<br />", "<!-- <note> -->", "</r>"},
       {"<!ELEMENT r (br)*>", "<!ELEMENT br EMPTY>", "<!ELEMENT note (#PCDATA)>"}},
      {"an = in a value names no attribute",
       {"<?xml version=\"1.0\"?>", "<r><a href=\"x.php?id=3\" b = \"1\">", "</a></r>"},
       {"<!ELEMENT r (a)*>", "<!ELEMENT a (#PCDATA)>", "<!ATTLIST a  href>", "<!ATTLIST a  b>"}},
      {"a root alone", {"<?xml version=\"1.0\"?>", "<r/>"}, {"<!ELEMENT r EMPTY>"}},
  };
  for (const Case& c : cases) {
    const QStringList out = generated(c.lines);
    const int from = out.indexOf(QRegularExpression("<!DOCTYPE.*"));
    const int to = out.indexOf("]>");
    ASSERT_GE(from, 0) << c.what;
    EXPECT_EQ(out.mid(from + 1, to - from - 1), c.dtd) << c.what;
  }
}

TEST(DtdGenerator, TouchesNothingButItsOwnDoctype) {
  struct Case {
    const char* what;
    QStringList lines;
    QStringList result;
  };
  const QStringList body = {"<liste version=\"2\">", "<fiche>", "<ville>Paris</ville>", "<tel>01</tel>", "</fiche>", "</liste>"};
  const QStringList system = {"<?xml version=\"1.0\"?>", "<!DOCTYPE liste SYSTEM \"liste.dtd\">"};
  const QStringList publicId = {"<?xml version=\"1.0\"?>", "<!DOCTYPE liste PUBLIC \"-//x//y\" \"l.dtd\">"};
  const QStringList cdata = {"<![CDATA[ x ]]>"};
  std::vector<Case> cases = {
      {"a SYSTEM DOCTYPE stays, the new one follows it", system + body, with(system + body, 2, kDtd)},
      {"a PUBLIC DOCTYPE stays, and so does a later CDATA end",
       publicId + body.mid(0, 2) + cdata + body.mid(2), with(publicId + body.mid(0, 2) + cdata + body.mid(2), 2, kDtd)},
      {"no declaration: before the root", body, kDtd + body},
      {"root on the declaration's line",
       {"<?xml version=\"1.0\"?><liste version=\"2\">", "<fiche>", "<ville>Paris</ville>", "<tel>01</tel>", "</fiche>",
        "</liste>"},
       QStringList{"<?xml version=\"1.0\"?>"} + kDtd + body},
      {"an old DOCTYPE that ends on the root's line", QStringList{"<?xml version=\"1.0\"?>", "<!DOCTYPE liste [",
                                                                   "<!ELEMENT a (#PCDATA)>", "]><liste version=\"2\">"} +
                                                          body.mid(1),
       QStringList{"<?xml version=\"1.0\"?>"} + kDtd + body},
      {"a DOCTYPE inside the root is text of the document",
       {"<?xml version=\"1.0\"?>", "<liste version=\"2\">", "<fiche>", "<ville>Paris</ville>", "<tel>01</tel>", "</fiche>",
        "<![CDATA[", "<!DOCTYPE x [ ]>", "]]>", "</liste>"},
       with({"<?xml version=\"1.0\"?>", "<liste version=\"2\">", "<fiche>", "<ville>Paris</ville>", "<tel>01</tel>",
             "</fiche>", "<![CDATA[", "<!DOCTYPE x [ ]>", "]]>", "</liste>"},
            1, kDtd)},
  };
  const QStringList small = {"<r>", "<a>1</a>", "</r>"};
  const QStringList smallDtd = {"<!DOCTYPE r [", "<!ELEMENT r (a)*>", "<!ELEMENT a (#PCDATA)>", "]>"};
  const QStringList publicFirst = {"<!DOCTYPE liste PUBLIC \"-//x//y\" \"l.dtd\">"};
  const QStringList systemName = {"<SYSTEMS>", "<a>1</a>", "</SYSTEMS>"};
  cases.push_back({"no declaration, a small document", small, smallDtd + small});
  cases.push_back({"a PUBLIC DOCTYPE on the first line", publicFirst + body, publicFirst + kDtd + body});
  cases.push_back({"a root whose name holds SYSTEM", systemName,
                   QStringList{"<!DOCTYPE SYSTEMS [", "<!ELEMENT SYSTEMS (a)*>", "<!ELEMENT a (#PCDATA)>", "]>"} +
                       systemName});
  // Generating again finds the DOCTYPE of the first time wherever it stands and replaces it.
  for (const Case& c : cases) {
    EXPECT_EQ(generated(c.lines), c.result) << c.what;
    EXPECT_EQ(generated(c.result), c.result) << c.what << ", generated twice";
  }
}

TEST(DtdGenerator, NoElementNoChange) {
  EXPECT_EQ(generated({"du texte", "<?xml version=\"1.0\"?>"}), QStringList({"du texte", "<?xml version=\"1.0\"?>"}));
}

// The declarations read plainly: every field searched in every line of the record, and the
// text searched from the top for each element's first tag.
dtdgen::Declarations plainDeclarations(const QStringList& lines) {
  std::vector<std::string> ls;
  for (const QString& l : lines) ls.push_back(cp1252::encode(l).toStdString());
  const auto nameOf = [](const std::string& entry) {
    const size_t blank = entry.find(' ', 10);
    return entry.substr(10, blank == std::string::npos ? std::string::npos : blank - 10);
  };
  dtdgen::Declarations d;
  std::vector<std::string> seen;
  for (const std::string& line : ls) {
    for (size_t p = line.find('<'); p != std::string::npos; p = line.find('<', p + 1)) {
      const std::string body = dtdgen::ElementDtd(std::string_view(line).substr(p, 64));
      if (body.empty()) continue;
      if (d.root.empty()) d.root = body.substr(0, body.find(' '));
      const std::string entry = "<!ELEMENT " + body + ">";
      std::string upper = entry;
      for (char& c : upper) c = cp1252::upperByte(c);
      if (std::find(seen.begin(), seen.end(), upper) == seen.end()) {
        seen.push_back(upper);
        d.entries.push_back(entry);
      }
    }
  }
  if (d.entries.size() >= 2) {
    const std::string record = nameOf(d.entries[1]);
    d.entries[0] = "<!ELEMENT " + d.root + " (" + record + ")*>";
    size_t first = 0;
    while (first < ls.size() && ls[first].find("<" + record + ">") == std::string::npos) ++first;
    std::string children;
    for (size_t i = first + 1; first > 0 && i < ls.size(); ++i) {
      if (ls[i].find("</" + record + ">") != std::string::npos) break;
      for (const std::string& e : d.entries)
        if (ls[i].find("<" + nameOf(e) + ">") != std::string::npos) children += "," + nameOf(e);
    }
    if (!children.empty()) d.entries[1] = "<!ELEMENT " + record + " (" + children.substr(1) + ")>";
  }
  const std::string text = cp1252::encode(lines.join("\r\n")).toStdString();
  const size_t elements = d.entries.size();
  for (size_t e = 0; e < elements; ++e) {
    const std::string q = nameOf(d.entries[e]);
    size_t at = std::string::npos;
    for (size_t i = 0, position = 0; i < ls.size() && at == std::string::npos; position += ls[i].size() + 2, ++i)
      if (const size_t c = ls[i].find("<" + q); c != std::string::npos) at = position + c;
    if (at == std::string::npos) continue;
    std::string s = text.substr(at, 1024);
    if (s.find('>') != std::string::npos) s.resize(s.find('>') + 1);
    for (size_t eq = s.find('='); eq != std::string::npos; eq = s.find('=')) {
      size_t k = eq;
      while (k > 0 && s[k - 1] == ' ') --k;
      const size_t nameEnd = k;
      while (k > 0 && s[k - 1] != ' ') --k;
      const std::string name = s.substr(k, nameEnd - k);
      if (k > 0 && !name.empty() && name.find_first_of("<>\"'=") == std::string::npos &&
          std::none_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 32; }))
        d.entries.push_back("<!ATTLIST " + q + "  " + name + ">");
      s = s.substr(eq + 1);
    }
  }
  return d;
}

TEST(DtdGeneratorDifferential, DeclarationsMatchThePlainReading) {
  reference::Generator gen(20261211u);
  for (int d = 0; d < 300; ++d) {
    QStringList lines = d % 3 == 0 ? gen.recordsDocument(12) : d % 3 == 1 ? gen.longDocument(6) : gen.document();
    if (d % 4 == 0) lines.insert(lines.size() / 2, "<r2 a=\"1\" b = '2' c=x=y><<Ab v=\"=\"></r2>");
    const StringListLines view(lines);
    dtdgen::Declarations fast = dtdgen::collect(view);
    if (!fast.entries.empty()) dtdgen::DtdAttrib(view, fast);
    const dtdgen::Declarations plain = plainDeclarations(lines);
    ASSERT_EQ(fast.entries, plain.entries) << lines.join("\n").toStdString();
    ASSERT_EQ(fast.root, plain.root);
  }
}

}  // namespace
