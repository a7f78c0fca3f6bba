// The data view's rows and write-back: the edge cases of the grid, the write-back faults that
// must not happen, the rows against a plain reading of the whole rest of the text at every "<"
// on random documents and random markup noise, and memory in proportion to the text.
#include <gtest/gtest.h>

#include <QStringList>
#include <random>

#include "Cp1252.h"
#include "DataRows.h"
#include "Generator.h"
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
      {"empty element", {"<r>", "<br/>", "</r>"}, {"r=", "br="}},
      {"apostrophes", {"<r id='1' v=\"l'eau\">", "</r>"}, {"r=", "r->id=1", "r->v=l'eau"}},
      {"blanks and the other quote inside values", {"<p class='a b' id=\"x\" titre=\"l'ete\">", "</p>"},
       {"p=", "p->class=a b", "p->id=x", "p->titre=l'ete"}},
      {"a name ends at a tab, a line break, a quote or a slash",
       {"<r><a\tx=\"1\">v</a><b", "y='2'/><c\"d\">w</c></r>"}, {"r=", "a=v", "a->x=1", "b=", "b->y=2", "c=w"}},
      {"a tag left open ends at the next <", {"<r><a x=\"1\" <b>t</b></a></r>"}, {"r=", "a=", "a->x=1", "b=t"}},
      {"a run of < opens nothing", {"<<<<<r>x</r>"}, {"r=x"}},
      {"a > in a quoted value", {"<r><a t=\"x>y\" u='>'>texte</a></r>"}, {"r=", "a=texte", "a->t=x>y", "a->u=>"}},
      {"no end tag, no value", {"<r><a>texte", "</r>"}, {"r=", "a="}},
      {"control characters dropped", {"<r><a>un\tdeux", "trois</a></r>"}, {"r=", "a=undeuxtrois"}},
      {"a blank in a value stays in it", {"<r a=\"x y\" b=\"2\">", "</r>"}, {"r=", "r->a=x y", "r->b=2"}},
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
      {"empty element has no content", {"<r><br/>texte</r>"}, 1, "br", "x", "<not written>"},
      {"an empty element counts among its name's tags", {"<r><a/><a>x</a></r>"}, 2, "a", "y", "<r><a/><a>y</a></r>"},
      {"a name ending at a tab is counted", {"<r><a\tx=\"1\">p</a><a>q</a></r>"}, 2, "a", "z",
       "<r><a\tx=\"1\">p</a><a>z</a></r>"},
      {"a tag left open has no content", {"<r><a x=\"1\" <b>t</b></r>"}, 1, "a", "z", "<not written>"},
      {"the content after a > in a quoted value", {"<r><a t=\"x>y\">texte</a></r>"}, 1, "a", "z",
       "<r><a t=\"x>y\">z</a></r>"},
      {"a value holding >", {"<r><a t=\"x>y\">texte</a></r>"}, 1, "a->t", "z", "<r><a t=\"z\">texte</a></r>"},
      {"an attribute after a value holding a blank",
       {"<p class='a b' id=\"x\" titre=\"l'ete\"></p>"}, 1, "p->id", "y", "<p class='a b' id=\"y\" titre=\"l'ete\"></p>"},
      {"empty element with a blank", {"<r><br />texte</r>"}, 1, "br", "x", "<not written>"},
      {"line breaks in a value", {"<r><a>x</a></r>"}, 1, "a", "un\ndeux", "<r><a>un\r\ndeux</a></r>"},
      {"a tag in a comment is not counted", {"<r><!-- <a>x</a> --><a>y</a></r>"}, 1, "a", "z",
       "<r><!-- <a>x</a> --><a>z</a></r>"},
  };
  for (const Case& c : cases) EXPECT_EQ(written(c.lines, c.rank, c.label, c.value), c.result) << c.what;
}

// The rows read plainly: the whole rest of the text from every "<" that the comment and section
// state lets through.
bool endsName(char c) { return std::string_view(" \t\r\n><\"'/").find(c) != std::string_view::npos; }

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
      const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
      // The tag ends at a "<", or at the first ">" outside a value quoted after "=".
      size_t end = 1;
      for (char quote = 0, last = 0; end < x.size() && x[end] != '<'; ++end) {
        const char c = x[end];
        if (quote) {
          if (c == quote) quote = 0, last = c;
          continue;
        }
        if (c == '>') break;
        if ((c == '"' || c == '\'') && last == '=') quote = c;
        if (!space(c)) last = c;
      }
      const bool closed = end < x.size() && x[end] == '>';
      const std::string g = x.substr(0, end);  // without its ">"
      size_t nameEnd = 1;
      while (nameEnd < g.size() && !endsName(g[nameEnd])) ++nameEnd;
      const std::string name = g.substr(1, nameEnd - 1);
      if (name.empty()) continue;
      const std::string r = x.substr(closed ? end + 1 : end);
      std::string v;
      if (closed && r.find("</" + name + ">") != std::string::npos) v = r.substr(0, r.find('<'));
      std::erase_if(v, [](char c) { return uint8_t(c) < 32; });
      out << decode(name) + "=" + decode(v);
      // Attributes: name = value, the value quoted (to the tag's end when the quote never closes)
      // or up to a blank.
      size_t k = nameEnd;
      while (k < g.size()) {
        while (k < g.size() && (space(g[k]) || g[k] == '/')) ++k;
        const size_t a = k;
        while (k < g.size() && !space(g[k]) && g[k] != '=' && g[k] != '/') ++k;
        const std::string attr = g.substr(a, k - a);
        while (k < g.size() && space(g[k])) ++k;
        if (k >= g.size() || g[k] != '=') continue;
        ++k;
        while (k < g.size() && space(g[k])) ++k;
        std::string value;
        if (k < g.size() && (g[k] == '"' || g[k] == '\'')) {
          const size_t close = g.find(g[k], k + 1);
          value = g.substr(k + 1, close == std::string::npos ? std::string::npos : close - k - 1);
          k = close == std::string::npos ? g.size() : close + 1;
        } else {
          const size_t v0 = k;
          while (k < g.size() && !space(g[k])) ++k;
          value = g.substr(v0, k - v0);
        }
        if (!attr.empty()) out << decode(name + "->" + attr) + "=" + decode(value);
      }
    }
    pos += line.size() + 2;
  }
  return out;
}

// Random markup noise: tags left open, stray quotes and slashes, comments and sections cut short.
QStringList noise(std::mt19937& rng, int pieces) {
  static const char* const kPieces[] = {"<",   ">",  "a",    "bc", " ",   "=",   "'",    "\"",       "/",     "\t", "=\"",
                                        "</a>", "<a", "<bc ", "x=", "<!--", "-->", "]]", "<![CDATA[", "<?p ?>", "\n"};
  QString text;
  for (int i = 0; i < pieces; ++i) text += kPieces[rng() % std::size(kPieces)];
  return text.split('\n');
}

TEST(DataRowsDifferential, RowsMatchThePlainReading) {
  reference::Generator gen(20261209u);
  for (int d = 0; d < 400; ++d) {
    QStringList lines = d % 3 == 2 ? gen.recordsDocument(15) : gen.document();
    if (d % 4 == 0) lines.insert(lines.size() / 2, "<!-- <c>x</c> ]] <e a='1'>y</e> --> <f b=\"2\">z</f>");
    ASSERT_EQ(rowsOf(lines), plainRows(lines)) << lines.join("\n").toStdString();
  }
  std::mt19937 rng(20261208u);
  for (int d = 0; d < 400; ++d) {
    const QStringList lines = noise(rng, 5 + d / 4);
    ASSERT_EQ(rowsOf(lines), plainRows(lines)) << lines.join("\n").toStdString();
  }
}

// Text where many "<" meet no ">" made every "<" read the rest of the text into its label.
TEST(DataRows, MemoryStaysInProportionToTheText) {
  std::mt19937 rng(7u);
  std::string random;
  for (int i = 0; i < 40000; ++i) random += i % 10 == 0 ? '<' : char(" abc=\"'/x\r"[rng() % 11]);
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"a run of <", std::string(10000, '<')},
      {"open tags with attributes", [] {
         std::string s;
         for (int i = 0; i < 3000; ++i) s += "<a b=1 ";
         return s;
       }()},
      {"random text with a < every ten characters", random},
  };
  for (const auto& c : cases) {
    const dataview::DataRows d = dataview::Remplit(TextStore(TextStore::normalise(c.text)));
    EXPECT_LT(d.memoryUsed(), 64 * int64_t(c.text.size())) << c.what;
  }
}

}  // namespace
