#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "TagMatch.h"

namespace {

using markup::partnerOf;
using markup::tagAround;

struct Found {
  int64_t begin, end;
  bool operator==(const Found&) const = default;
};

Found partnerAt(const std::string& doc, int64_t pos, int64_t reach = INT64_MAX) {
  const TextStore text(doc);
  const markup::Tag t = tagAround(text, pos);
  if (!t.found()) return {-1, -1};
  const markup::Tag p = partnerOf(text, t, reach);
  return {p.begin, p.end};
}

TEST(TagMatch, TheTagAtThePositionAndItsPartner) {
  const std::string doc = "<r>\r\n<a x='>'>texte<!-- </a> --><a/><![CDATA[</a>]]></a>\r\n</r>";
  // <a ...> is [5, 14), the comment [19, 32), <a/> [32, 36), its </a> [52, 56), </r> [58, 62).
  struct Case {
    const char* name;
    int64_t pos;
    Found partner;
  } cases[] = {
      {"on the <", 5, {52, 56}},
      {"inside the start tag, past a quoted >", 11, {52, 56}},
      {"just after the >", 14, {52, 56}},
      {"on the end tag", 54, {5, 14}},
      {"root start", 1, {58, 62}},
      {"root end", 60, {0, 3}},
      {"an end tag in a comment", 24, {-1, -1}},
      {"on an empty element", 33, {-1, -1}},
      {"in text", 16, {-1, -1}},
  };
  for (const Case& c : cases) EXPECT_EQ(partnerAt(doc, c.pos), c.partner) << c.name;
}

TEST(TagMatch, IllFormedDocumentsGiveAPartnerAsFarAsTheNestingAllows) {
  struct Case {
    const char* name;
    std::string doc;
    int64_t pos;
    Found partner;
  } cases[] = {
      {"unclosed inner element: the outer end closes nothing", "<r><a></r>", 1, {-1, -1}},
      {"unclosed inner element, seen from it", "<r><a></r>", 4, {-1, -1}},
      {"never closed", "<r><a></a>", 1, {-1, -1}},
      {"end tag with nothing open", "</a><r></r>", 1, {-1, -1}},
      {"siblings before the break still match", "<r><a></a><b></r>", 4, {6, 10}},
      {"a stray < in text does not stop the search back", "<r>a < b</r>", 10, {0, 3}},
      {"out of reach", "<r><a/><a/><a/></r>", 1, {-1, -1}},
  };
  for (const Case& c : cases) {
    const int64_t reach = std::string(c.name) == "out of reach" ? 8 : INT64_MAX;
    EXPECT_EQ(partnerAt(c.doc, c.pos, reach), c.partner) << c.name;
  }
}

// Random well-formed documents whose tags' places are known as they are written: every
// position in every start and end tag finds the other one, both ways, with or without a reach
// that covers the element.
TEST(TagMatch, RandomDocumentsFindEveryPartner) {
  std::mt19937 rng(20261208);
  const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  for (int round = 0; round < 200; ++round) {
    std::string doc;
    struct Element {
      int64_t startBegin, startEnd, endBegin, endEnd;
    };
    std::vector<Element> elements;
    const std::function<void(int)> element = [&](int depth) {
      static const char* const names[] = {"a", "b", "fiche", "a:b"};
      const std::string name = names[pick(4)];
      Element e{int64_t(doc.size()), 0, 0, 0};
      doc += "<" + name + (pick(3) == 0 ? " t=\"x>y\"" : "") + ">";
      e.startEnd = int64_t(doc.size());
      for (int i = pick(depth > 3 ? 1 : 4); i > 0; --i) {
        switch (pick(6)) {
          case 0: doc += "texte"; break;
          case 1: doc += "<!-- </" + name + "> -->"; break;
          case 2: doc += "<" + name + "/>"; break;
          case 3: doc += "\r\n"; break;
          default: element(depth + 1); break;
        }
      }
      e.endBegin = int64_t(doc.size());
      doc += "</" + name + ">";
      e.endEnd = int64_t(doc.size());
      elements.push_back(e);
    };
    element(0);
    const TextStore text(doc);
    for (const Element& e : elements) {
      for (int64_t p = e.startBegin; p < e.startEnd; p += 1 + pick(3)) {
        const markup::Tag t = tagAround(text, p);
        ASSERT_EQ(t.begin, e.startBegin) << doc << " @" << p;
        const markup::Tag q = partnerOf(text, t, pick(2) ? INT64_MAX : e.endEnd - e.startEnd);
        ASSERT_EQ(q.begin, e.endBegin) << doc << " @" << p;
        ASSERT_EQ(q.end, e.endEnd) << doc;
      }
      const markup::Tag t = tagAround(text, e.endBegin + 1);
      ASSERT_TRUE(t.isEnd) << doc;
      const markup::Tag q = partnerOf(text, t, pick(2) ? INT64_MAX : e.endBegin - e.startBegin);
      ASSERT_EQ(q.begin, e.startBegin) << doc << " end @" << e.endBegin;
    }
  }
}

}  // namespace
