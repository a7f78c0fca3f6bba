// The tag index against a plain stack walk from the start of the text, on random well-formed
// and ill-formed documents and with blocks of every small size, so that each lookup crosses
// blocks: the element path at every position, and every tag's partner.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Markup.h"
#include "TagIndex.h"

namespace {

using markup::Kind;
using markup::TagIndex;

struct Element {
  int64_t begin, end;  // end: past the tag that closed it, or past the text when never closed
  int parent;
  std::string name;
  bool empty = false;
  int64_t closeBegin = -1;  // the end tag that closed it
  std::string closeName;
};

// Every element the nesting gives, in document order.
std::vector<Element> elementsOf(const std::string& doc) {
  const TextStore text(doc);
  markup::Reader r(text);
  markup::Scanner s(r);
  std::vector<Element> all;
  std::vector<int> open;
  for (int64_t p = 0; p < r.size();) {
    const markup::Token t = s.next(p);
    if (t.kind == Kind::Bad) {
      p = r.find(p + 1, '<');
      continue;
    }
    const std::string name = doc.substr(size_t(t.nameBegin), size_t(t.nameEnd - t.nameBegin));
    if (t.kind == Kind::Start || t.kind == Kind::Empty) {
      all.push_back({t.begin, t.kind == Kind::Empty ? t.end : int64_t(doc.size()) + 1,
                     open.empty() ? -1 : open.back(), name, t.kind == Kind::Empty, -1, {}});
      if (t.kind == Kind::Start) open.push_back(int(all.size()) - 1);
    } else if (t.kind == Kind::End && !open.empty()) {
      all[size_t(open.back())].end = t.end;
      all[size_t(open.back())].closeBegin = t.begin;
      all[size_t(open.back())].closeName = name;
      open.pop_back();
    }
    p = t.end;
  }
  return all;
}

std::string describe(const std::vector<TagIndex::Step>& steps) {
  std::string s;
  for (const auto& step : steps)
    s += "/" + step.name + (step.numbered ? "[" + std::to_string(step.position) + "]" : "");
  return s;
}

std::string referencePath(const std::vector<Element>& all, int64_t pos) {
  std::string s;
  for (size_t i = 0; i < all.size(); ++i) {
    const Element& e = all[i];
    if (!(e.begin < pos && pos < e.end)) continue;
    int64_t before = 0, same = 0;
    for (const Element& o : all)
      if (o.parent == e.parent && o.name == e.name) ++same, before += o.begin < e.begin;
    s += "/" + e.name + (same > 1 ? "[" + std::to_string(before + 1) + "]" : "");
  }
  return s;
}

std::string randomDocument(std::mt19937& rng, bool wellFormed) {
  const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const char* const names[] = {"a", "b", "fiche", "a:b"};
  std::string doc = pick(2) ? "<?xml version=\"1.0\"?>\r\n" : "";
  std::vector<std::string> open;
  const int items = 1 + pick(40);
  for (int i = 0; i < items; ++i) {
    const std::string name = names[pick(4)];
    switch (pick(wellFormed ? 8 : 11)) {
      case 0: doc += "texte"; break;
      case 1: doc += "<!-- <" + name + "> </b> -->"; break;
      case 2: doc += "<" + name + " v='</a>'/>"; break;
      case 3: doc += "\r\n\t"; break;
      case 4: doc += "<![CDATA[<a></a>]]>"; break;
      case 5:
      case 6:
        doc += "<" + name + (pick(3) == 0 ? " t=\"x>y\"" : "") + ">";
        open.push_back(name);
        break;
      case 7:
        if (!open.empty()) {
          doc += "</" + open.back() + ">";
          open.pop_back();
        }
        break;
      case 8: doc += "</" + name + ">"; break;  // any name, or nothing open
      case 9: doc += "a < b"; break;
      default: doc += "<" + name + " t='"; break;  // never ends
    }
  }
  if (wellFormed || pick(2))
    while (!open.empty()) {
      doc += "</" + open.back() + ">";
      open.pop_back();
    }
  return doc;
}

// Every position's path and every element's partners, against the walk from the start.
void expectAsTheWalk(TagIndex& index, const std::string& doc) {
  const std::vector<Element> all = elementsOf(doc);
  const TextStore& text = index.text();
  for (int64_t pos = 0; pos <= int64_t(doc.size()); ++pos)
    ASSERT_EQ(describe(index.elementPath(pos)), referencePath(all, pos)) << doc << " @" << pos;
  for (const Element& e : all) {
    if (e.empty) continue;
    const bool paired = e.closeBegin >= 0 && e.closeName == e.name;
    const markup::Tag partner = index.partnerOf(markup::tagAround(text, e.begin + 1));
    ASSERT_EQ(partner.begin, paired ? e.closeBegin : -1) << doc << " start @" << e.begin;
    if (!paired) continue;
    const markup::Tag back = index.partnerOf(markup::tagAround(text, e.closeBegin + 1));
    ASSERT_EQ(back.begin, e.begin) << doc << " end @" << e.closeBegin;
  }
}

TEST(TagIndex, PathAndPartnersAgreeWithAStackWalkFromTheStart) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 600; ++round) {
    const std::string doc = randomDocument(rng, round % 2 == 0);
    TagIndex index(TextStore(doc), 1 + round % 48);
    expectAsTheWalk(index, doc);
  }
}

// An index made from the one before an edit (read whole or in part) answers as one made anew:
// edits of random markup at random places, a few in a row.
TEST(TagIndex, AnIndexCarriedOverAnEditAnswersAsANewOne) {
  std::mt19937 rng(7);
  const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const char* const snippets[] = {"", "<a>", "</a>", "<b/>", "x", "<!--", "-->", "<", "'", "</fiche>",
                                         "<fiche>", "\r\n"};
  for (int round = 0; round < 300; ++round) {
    TextStore text(randomDocument(rng, round % 2 == 0));
    auto index = std::make_unique<TagIndex>(text, 1 + pick(24));
    for (int edit = 0; edit < 4; ++edit) {
      index->extend(pick(3) == 0 ? int64_t(1) << 40 : pick(int(text.size()) + 1));
      TextStore edited = text;
      const int64_t from = pick(int(text.size()) + 1);
      edited.replace(from, pick(6), snippets[pick(12)]);
      auto next = std::make_unique<TagIndex>(edited, *index);
      expectAsTheWalk(*next, edited.text());
      if (HasFatalFailure()) return;
      text = edited;
      index = std::move(next);
    }
  }
}

TEST(TagIndex, TagsThatAreNotMarkupOfTheTextHaveNoPartner) {
  struct Case {
    const char* name;
    std::string doc;
    int64_t pos;
  } cases[] = {
      {"an end tag in a comment", "<r><!-- </r> --></r>", 9},
      {"a start tag in a value", "<r v='<a>'></r></a>", 7},
      {"an end tag with nothing open", "</a><r></r>", 1},
      {"names that differ", "<r><a></b></r>", 4},
  };
  for (const Case& c : cases) {
    const TextStore text(c.doc);
    TagIndex index(text, 4);
    EXPECT_FALSE(index.partnerOf(markup::tagAround(text, c.pos)).found()) << c.name;
  }
}

TEST(TagIndex, PathTexts) {
  const std::string doc = "<liste><fiche/><fiche><nom>x</nom></fiche><fiche><nom>é</nom></fiche></liste>";
  const TextStore text(doc);
  TagIndex index(text, 8);
  const auto at = [&](const char* probe) { return index.elementPath(int64_t(doc.rfind(probe)) + 1); };
  EXPECT_EQ(markup::pathText(at("é")), QStringLiteral("liste › fiche[3] › nom"));
  EXPECT_EQ(markup::xpathText(at("é")), QStringLiteral("/liste/fiche[3]/nom"));
  EXPECT_EQ(markup::xpathText(at("fiche/")), QStringLiteral("/liste/fiche[1]"));
  EXPECT_EQ(markup::xpathText({}), QStringLiteral("/"));
  EXPECT_EQ(markup::pathText({}), QString());
}

}  // namespace
