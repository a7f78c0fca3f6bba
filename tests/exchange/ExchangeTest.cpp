// Export and import on documents of a few lines: what the files and the document receive.
#include <gtest/gtest.h>

#include "Exchange.h"

namespace {

std::string exportText(const std::string& crlf) { return exchange::Exportetxt(*TextStore(crlf).lines()); }
std::string exportHtml(const std::string& crlf) {
  return exchange::ExporteHtm(*TextStore(crlf).lines(), "C:/doc.xml");
}
std::string page(const std::string& body) {
  return "<html>\r\n<head><title>C:/doc.xml</title>\r\n</head>\r\n<body>\r\n" + body +
         "</body>\r\n</html>\r\n";
}

TEST(Export, TextAndHtmlOfTheSameLines) {
  const struct {
    const char* name;
    std::string document, text, html;
  } cases[] = {
      {"references become letters in text only", "<nom>c&#233;l&#232;bre</nom>",
       "c\xE9l\xE8" "bre\r\n", "c&#233;l&#232;bre<br>\r\n"},
      {"a line of markup only is left out", "<a>\r\n<b/>\r\nx\r\n</a>", "x\r\n", "x<br>\r\n"},
      {"indentation before markup stays", "  <b/>", "  \r\n", "  <br>\r\n"},
      {"a tag over two lines goes whole", "<a\r\nb=\"1\">x</a>y", "xy\r\n", "xy<br>\r\n"},
      {"text after a tag that ends on the next line", "u<a\r\n>v", "u\r\nv\r\n", "u<br>\r\nv<br>\r\n"},
      {"named references", "&lt;b&gt; &copy;&nbsp;", "<b> (c) \r\n", "&lt;b&gt; &copy;&nbsp;<br>\r\n"},
      {"empty document", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(exportText(c.document), c.text);
    EXPECT_EQ(exportHtml(c.document), page(c.html));
  }
}

TEST(Import, RecordsOfATabDelimitedFile) {
  using R = std::vector<exchange::Record>;
  EXPECT_EQ(exchange::readRecords("Paris\t01\r\nLyon\t04\r\n"), (R{{"Paris", "01"}, {"Lyon", "04"}}));
  EXPECT_EQ(exchange::readRecords("a\r\n\r\n\tb\t"), (R{{"a"}, {""}, {"", "b", ""}}));
  EXPECT_EQ(exchange::readRecords(""), R{});
}

std::string imported(const std::string& document, const std::vector<exchange::Record>& records,
                     const std::vector<std::string>& names, const std::string& record = "Enregistrement") {
  TextStore text(document);
  const exchange::Insertion at = exchange::recordsInsertion(text, records, names, record);
  text.replace(at.position, 0, at.bytes);
  return text.text();
}

TEST(Import, RecordsLandInsideTheRootElement) {
  const std::vector<exchange::Record> villes = {{"Paris", "01"}, {"Lyon", "04"}};
  const std::string recs =
      "<Enregistrement>\r\n<ville>Paris</ville>\r\n<tel>01</tel>\r\n</Enregistrement>\r\n"
      "<Enregistrement>\r\n<ville>Lyon</ville>\r\n<tel>04</tel>\r\n</Enregistrement>\r\n";
  const std::vector<std::string> names = {"ville", "tel"};
  const struct {
    const char* name;
    std::string document, result;
  } cases[] = {
      {"before the root's end tag", "<?xml version=\"1.0\"?>\r\n<body>\r\n\r\n</body>",
       "<?xml version=\"1.0\"?>\r\n<body>\r\n\r\n" + recs + "</body>"},
      {"before the last line holding an end tag", "<a>\r\n<b></b>\r\n  </a>\r\n<!-- fin -->",
       "<a>\r\n<b></b>\r\n" + recs + "  </a>\r\n<!-- fin -->"},
      {"a root on one line is split before its end tag", "<?xml version=\"1.0\"?><a><b/></a>",
       "<?xml version=\"1.0\"?><a><b/>\r\n" + recs + "</a>"},
      {"without end tag, after the declaration", "<?xml version=\"1.0\"?>\r\n<a/>",
       "<?xml version=\"1.0\"?>\r\n<a/>\r\n" + recs},
      {"without end tag, after a final break", "<a/>\r\n", "<a/>\r\n" + recs},
      {"into an empty document", "", recs},
      {"a </ in a comment after the root is text", "<r>\r\n<a>1</a>\r\n</r>\r\n<!-- fin </r> -->",
       "<r>\r\n<a>1</a>\r\n" + recs + "</r>\r\n<!-- fin </r> -->"},
      {"nor in an instruction or a section", "<r><![CDATA[</x>]]>\r\n</r>\r\n<?fin </r> ?>",
       "<r><![CDATA[</x>]]>\r\n" + recs + "</r>\r\n<?fin </r> ?>"},
      {"a section holding the only </", "<r><![CDATA[\r\n</x>]]></r>", "<r><![CDATA[\r\n</x>]]>\r\n" + recs + "</r>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(imported(c.document, villes, names), c.result);
  }
}

TEST(Import, FieldValuesKeepTheDocumentWellFormed) {
  EXPECT_EQ(imported("<a>\r\n</a>", {{"R&D <x>", "\xE9t\xE9"}, {"1", "2", "3"}}, {"n", ""}, "r"),
            "<a>\r\n<r>\r\n<n>R&amp;D &lt;x&gt;</n>\r\n<champ1>\xE9t\xE9</champ1>\r\n</r>\r\n"
            "<r>\r\n<n>1</n>\r\n<champ1>2</champ1>\r\n<champ2>3</champ2>\r\n</r>\r\n</a>");
}

}  // namespace
