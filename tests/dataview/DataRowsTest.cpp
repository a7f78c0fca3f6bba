// The data view's rows and write-back: the edge cases of the grid, the write-back faults that
// must not happen, and the rows against a plain version of the rules on random documents.
#include <gtest/gtest.h>

#include <QStringList>

#include "Cp1252.h"
#include "DataRows.h"
#include "Generateur.h"
#include "tags.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

TextStore storeOf(const QStringList& lines) { return TextStore(cp1252::encode(lines.join("\r\n")).toStdString()); }

QString decode(const std::string& s) { return cp1252::decode(QByteArray::fromStdString(s)); }

// "label=value" per row.
QStringList rowsOf(const QStringList& lines) {
  const dataview::DataRows d = dataview::Remplit(storeOf(lines));
  QStringList out;
  for (size_t i = 0; i < d.rows.size(); ++i) out << decode(d.label(i)) + "=" + decode(d.value(i));
  return out;
}

// The document after writing value into the row of that rank and label; "<unchanged>" when
// nothing was written, "<not written>" when the place does not exist.
QString written(const QStringList& lines, int rank, const char* label, const QString& value) {
  TextStore text = storeOf(lines);
  const dataview::Write w =
      dataview::EcritBalise(text, rank, label, cp1252::encode(value).toStdString());
  if (!w.found) return "<not written>";
  if (w.from < 0) return "<unchanged>";
  text.replace(w.from, w.length, w.text);
  return decode(text.text());
}

const QStringList kFiches = {"<liste>", "<fiche id=\"1\">", "<ville>Paris</ville>", "</fiche>", "</liste>"};

TEST(DataRows, RowsOfElementsAndAttributes) {
  struct Case {
    const char* what;
    QStringList lines;
    QStringList rows;
  };
  const std::vector<Case> cases = {
      {"the five-line document", kFiches, {"liste=", "fiche=", "fiche->id=1", "ville=Paris"}},
      {"comments and sections make no row", {"<r>", "<!-- <a>x</a> -->", "<![CDATA[<b>y</b>]]>", "</r>"}, {"r="}},
      {"empty element", {"<r>", "<br/>", "</r>"}, {"r=", "br/="}},
      {"apostrophes", {"<r id='1' v=\"l'eau\">", "</r>"}, {"r=", "r->id=1", "r->v=l"}},
      {"no end tag, no value", {"<r><a>texte", "</r>"}, {"r=", "a="}},
      {"control characters dropped", {"<r><a>un\tdeux", "trois</a></r>"}, {"r=", "a=undeuxtrois"}},
      {"a blank in a value ends the list", {"<r a=\"x y\" b=\"2\">", "</r>"}, {"r=", "r->a=x y", "r->y\" b=2"}},
  };
  for (const Case& c : cases) EXPECT_EQ(rowsOf(c.lines), c.rows) << c.what;
  const dataview::DataRows d = dataview::Remplit(storeOf({"<r><a/><b></b><a/></r>"}));
  EXPECT_EQ(d.rank(3), 2);
}

TEST(DataRows, WriteBackAtThePlaceOfTheSameRank) {
  struct Case {
    const char* what;
    QStringList lines;
    int rank;
    const char* label;
    QString value;
    QString result;
  };
  const QString lyon = QStringList({"<liste>", "<fiche id=\"1\">", "<ville>Lyon</ville>", "</fiche>", "</liste>"}).join("\r\n");
  const std::vector<Case> cases = {
      {"element value", kFiches, 1, "ville", "Lyon", lyon},
      {"a bare line break is layout", kFiches, 1, "fiche", "x", "<not written>"},
      {"same value", kFiches, 1, "ville", "Paris", "<unchanged>"},
      {"second of two, villes not counted", {"<r><ville>A</ville><villes>B</villes><ville>C</ville></r>"}, 2, "ville", "D",
       "<r><ville>A</ville><villes>B</villes><ville>D</ville></r>"},
      {"rank beyond the tags", kFiches, 2, "ville", "x", "<not written>"},
      {"attribute between apostrophes", {"<r id='1'>", "</r>"}, 1, "r->id", "2", "<r id='2'>\r\n</r>"},
      {"attribute not in the tag", kFiches, 1, "fiche->nom", "x", "<not written>"},
      // The write lands in the attribute itself, never in a name or value that holds its name.
      {"id not inside nid", {"<r nid=\"9\" id=\"1\"></r>"}, 1, "r->id", "2", "<r nid=\"9\" id=\"2\"></r>"},
      {"id not inside the element's name", {"<idx v=\"id\" id=\"1\"></idx>"}, 1, "idx->id", "2",
       "<idx v=\"id\" id=\"2\"></idx>"},
      {"a value holding an apostrophe is written whole", {"<r v=\"eau\"></r>"}, 1, "r->v", "l'eau", "<r v=\"l'eau\"></r>"},
      {"apostrophe into apostrophes", {"<r v='eau'></r>"}, 1, "r->v", "l'eau", "<r v=\"l'eau\"></r>"},
      {"both quotes", {"<r v='eau'></r>"}, 1, "r->v", "l'\"eau\"", "<r v=\"l'&quot;eau&quot;\"></r>"},
      {"an apostrophe read whole", {"<r v=\"l'eau\"></r>"}, 1, "r->v", "l'eau", "<unchanged>"},
      {"empty element has no content", {"<r><br/>texte</r>"}, 1, "br/", "x", "<not written>"},
      {"empty element with a blank", {"<r><br />texte</r>"}, 1, "br", "x", "<not written>"},
      {"line breaks in a value", {"<r><a>x</a></r>"}, 1, "a", "un\ndeux", "<r><a>un\r\ndeux</a></r>"},
      {"a tag in a comment is not counted", {"<r><!-- <a>x</a> --><a>y</a></r>"}, 1, "a", "z",
       "<r><!-- <a>x</a> --><a>z</a></r>"},
  };
  for (const Case& c : cases) EXPECT_EQ(written(c.lines, c.rank, c.label, c.value), c.result) << c.what;
}

// The rows by the rules as written: LitElement on the whole rest of the text at every "<".
QStringList plainRows(const QStringList& lines) {
  const std::string t = cp1252::encode(lines.join("\r\n")).toStdString();
  QStringList out;
  bool on = false;
  size_t pos = 0;
  for (const QString& l : lines) {
    const std::string line = cp1252::encode(l).toStdString();
    for (size_t p = 0; p < line.size(); ++p) {
      if (line.compare(p, 4, "<!--") == 0) on = true;
      else if (line.compare(p, 3, "-->") == 0) on = false;
      else if (line.compare(p, 3, "<![") == 0) on = true;
      else if (line.compare(p, 2, "]]") == 0) on = false;
      if (on || line[p] != '<') continue;
      const std::string x = t.substr(pos + p);
      if (x.compare(0, 2, "<?") == 0 || x.compare(0, 2, "<!") == 0 || x.compare(0, 2, "</") == 0) continue;
      const size_t gt = x.find('>');
      const std::string g = gt == std::string::npos ? x : x.substr(0, gt + 1);
      const std::string r = x.substr(g.size());
      const size_t blank = g.find(' ');
      const std::string k = blank == std::string::npos ? g : g.substr(0, blank) + ">";
      const std::string name = k.size() >= 2 ? k.substr(1, k.size() - 2) : "";
      if (name.empty()) continue;
      std::string v;
      if (r.find("</" + name + ">") != std::string::npos) v = r.substr(0, r.find('<'));
      std::erase_if(v, [](char c) { return uint8_t(c) < 32; });
      out << decode(name) + "=" + decode(v);
      std::string q = g;
      for (;;) {
        const size_t b = q.find(' ');
        if (b == std::string::npos) break;
        q = q.substr(b + 1);
        while (!q.empty() && uint8_t(q.front()) <= 32) q.erase(0, 1);
        while (!q.empty() && uint8_t(q.back()) <= 32) q.pop_back();
        const size_t eq = q.find('=');
        if (eq == std::string::npos) break;
        const std::string attr = q.substr(0, eq);
        q = q.substr(eq + 1);
        if (attr.empty()) break;
        out << decode(name + "->" + attr) + "=" + decode(std::string(analysis::ValeurGuillemets(q)));
      }
    }
    pos += line.size() + 2;
  }
  return out;
}

TEST(DataRowsDifferential, RowsMatchThePlainRules) {
  reference::Generateur gen(20261209u);
  for (int d = 0; d < 400; ++d) {
    QStringList lines = d % 3 == 2 ? gen.documentFiches(15) : gen.document();
    if (d % 4 == 0) lines.insert(lines.size() / 2, "<!-- <c>x</c> ]] <e a='1'>y</e> --> <f b=\"2\">z</f>");
    ASSERT_EQ(rowsOf(lines), plainRows(lines)) << lines.join("\n").toStdString();
  }
}

}  // namespace
