// The tree builder, the occurrence search, the start-tag search and the duplication: edge cases,
// and each against a plain version that follows the rules character by character on random
// documents.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <QStringList>

#include "Cp1252.h"
#include "Generator.h"
#include "LineViews.h"
#include "Tree.h"
#include "TreeModel.h"
#include "tags.h"

namespace {

std::string bytes(const QString& s) { return cp1252::encode(s).toStdString(); }

// "label" per node, indented by two blanks a level, as the batch program prints them.
QStringList shape(const tree::Tree& t) {
  QStringList out;
  for (int32_t i = 0; i < t.size(); ++i) {
    int depth = 0;
    for (int32_t p = t.parent(i); p >= 0; p = t.parent(p)) ++depth;
    out << QString(depth * 2, u' ') + QString::fromLatin1(t.label(i));
  }
  return out;
}

QStringList built(const QStringList& lines) { return shape(tree::buildTree(StringListLines(lines))); }

// The plain builder: every character in turn, the section state, the key of each tag.
struct PlainNode {
  std::string label;
  int parent;
};
std::vector<PlainNode> plainTree(const QStringList& lines) {
  std::vector<PlainNode> nodes;
  int current = -1;
  bool section = false;
  for (const QString& l : lines) {
    const std::string line = bytes(l);
    for (size_t p = 0; p < line.size(); ++p) {
      if (line.compare(p, 2, "]]") == 0) section = false;
      if (line.compare(p, 3, "<![") == 0) section = true;
      if (section || line[p] != '<') continue;
      const std::string tag = line.substr(p);
      if (tag.size() > 1 && tag[1] == '/') current = current >= 0 ? nodes[size_t(current)].parent : -1;
      const analysis::TagKey key = analysis::NomBalise(tag);
      if (!key.valid) continue;
      nodes.push_back({key.text(), current});
      current = int(nodes.size()) - 1;
    }
  }
  return nodes;
}

// The occurrence search as the tree control does it: mark the label, count, unmark.
int plainOccurrence(std::vector<std::string> labels, int selected) {
  if (selected < 0) return 0;
  const std::string l = labels[size_t(selected)];
  labels[size_t(selected)] = l + " ";
  int n = 0;
  for (size_t i = 1; i < labels.size(); ++i) {
    if (labels[i] == l) ++n;
    if (labels[i] == l + " ") {
      ++n;
      break;
    }
  }
  return n;
}

// The duplication on the whole text joined by CR LF.
std::pair<int64_t, std::string> plainDuplicate(const QStringList& lines, const std::string& s, int n) {
  const std::string t = bytes(lines.join("\r\n"));
  int64_t p = 0;
  int j = 0;
  bool found = false;
  for (const QString& l : lines) {
    const std::string line = bytes(l);
    const size_t c = s.empty() ? std::string::npos : line.find(s);
    if (c != std::string::npos && ++j == n) {
      p += int64_t(c);
      found = true;
      break;
    }
    p += int64_t(line.size()) + 2;
  }
  if (!found || p <= 0) return {-1, {}};
  // One blank or tab of indentation comes along.
  const bool indented = t[size_t(p - 1)] == ' ' || t[size_t(p - 1)] == '\t';
  std::string e = t.substr(size_t(indented ? p - 1 : p));
  const size_t end = e.find("</" + s.substr(1));
  if (end != std::string::npos) {
    const size_t close = e.find('>', end);
    if (close != std::string::npos) e.resize(close + 1);
  }
  std::string c = "\r\n";
  bool on = true;
  char quote = 0;
  for (size_t i = 0; i < e.size(); ++i) {
    const char ch = e[i];
    if (ch == '\r' || ch == '\n') c += ch;
    if (ch == '<' && !on) c += ch;
    if (on) c += ch;
    if (ch == '"' && !on) c += ch;
    // Inside a tag, a quote right after "=" and blanks opens a value that runs to the same
    // quote (or a "<"), and a ">" in it is text.
    if (quote) {
      if (ch == quote || ch == '<') quote = 0;
      if (ch != '<') continue;
    }
    if (ch == '<') on = true;
    if (ch == '>') on = false;
    if (on && (ch == '"' || ch == '\'')) {
      size_t k = i;
      while (k > 0 && std::string_view(" \t\r\n").find(e[k - 1]) != std::string_view::npos) --k;
      if (k > 0 && e[k - 1] == '=') quote = ch;
    }
  }
  const int64_t where = (indented ? p - 1 : p) + int64_t(e.size());
  return {where, c};
}

TEST(TreeBuilder, NodesFollowTheTreeRules) {
  struct Case {
    const char* what;
    QStringList lines;
    QStringList nodes;
  };
  const std::vector<Case> cases = {
      {"empty element makes no node", {"<r>", "<a>x</a>", "<b/>", "</r>"}, {"<r>", "  <a>"}},
      {"a tag is its own text", {"<r><a/><b t=\"x>y\"><c k='v'", "/></b></r>"}, {"<r>", "  <b>"}},
      {"CDATA skipped, comment not", {"<r>", "<![CDATA[<x>]]>", "<!-- <y> -->", "</r>"}, {"<r>", "  <y>"}},
      {"section across lines", {"<r><![CDATA[", "<x>", "]]><z/><k>", "</k></r>"}, {"<r>", "  <k>"}},
      {"siblings and nesting", {"<r><a><b></b></a><c>", "</c></r>"}, {"<r>", "  <a>", "    <b>", "  <c>"}},
      {"attributes cut at the blank", {"<fiche id=\"1\">", "</fiche>"}, {"<fiche>"}},
      {"end tag with nothing open", {"<!-- </x> -->", "<r></r>"}, {"<r>"}},
      {"declarations make no node", {"<?xml version=\"1.0\"?>", "<!DOCTYPE r>", "<r>", "</r>"}, {"<r>"}},
      {"no tag at all", {"du texte"}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(built(c.lines), c.nodes) << c.what;
}

TEST(TreeBuilder, SubtreesAgreeWithParents) {
  const tree::Tree t = tree::buildTree(StringListLines({"<r><a>", "<b/>", "<c></c></a><d></d></r>", "<s></s>"}));
  ASSERT_EQ(shape(t), QStringList({"<r>", "  <a>", "    <c>", "  <d>", "<s>"}));
  for (int32_t i = 0; i < t.size(); ++i)
    for (int32_t j = 0; j < t.size(); ++j) {
      bool under = false;
      for (int32_t p = t.parent(j); p >= 0; p = t.parent(p)) under = under || p == i;
      EXPECT_EQ(under, j > i && j < t.end(i)) << i << " " << j;
    }
  EXPECT_EQ(t.depth(2), 2);
  EXPECT_FALSE(t.hasChildren(4));
}

TEST(TreeModelRows, CollapsingAndExpandingShowTheRightRows) {
  TreeModel m;
  m.setTree(tree::buildTree(StringListLines({"<r><a>", "<c></c></a>", "<d><e></e></d></r>", "<s></s>"})));
  const auto rows = [&m] {
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r) out << m.index(r).data().toString();
    return out.join(" ");
  };
  EXPECT_EQ(rows(), "<r> <a> <c> <d> <e> <s>");
  m.setExpanded(3, false);
  EXPECT_EQ(rows(), "<r> <a> <c> <d> <s>");
  m.setExpanded(0, false);
  EXPECT_EQ(rows(), "<r> <s>");
  EXPECT_FALSE(m.indexOf(4).isValid());
  m.setExpanded(0, true);  // <d> stays collapsed under it
  EXPECT_EQ(rows(), "<r> <a> <c> <d> <s>");
  EXPECT_EQ(m.nodeOf(m.index(4)), 5);
  m.collapseAll();
  EXPECT_EQ(rows(), "<r> <s>");
  m.setExpanded(0, true);
  EXPECT_EQ(rows(), "<r> <a> <d> <s>");
  m.expandAll();
  EXPECT_EQ(rows(), "<r> <a> <c> <d> <e> <s>");
  EXPECT_EQ(m.index(4).data(TreeModel::DepthRole).toInt(), 2);
}

TEST(TreeModelRows, RandomTogglesShowTheRowsOfExpandedAncestorsAndSayWhichChanged) {
  // A view keeps only what the model's signals tell it: a mirror fed by them must show the
  // nodes whose ancestors are all expanded, after every step.
  std::mt19937 random(17);
  for (int round = 0; round < 40; ++round) {
    QStringList lines;
    int open = 0;
    for (int i = 0; i < 60; ++i) {
      if (open > 0 && random() % 3 == 0) {
        lines << "</n>";
        --open;
      } else {
        lines << "<n>";
        ++open;
      }
    }
    TreeModel m;
    m.setTree(tree::buildTree(StringListLines(lines)));
    const tree::Tree& t = m.tree();
    std::vector<int32_t> mirror;
    const auto refill = [&] {
      mirror.clear();
      for (int r = 0; r < m.rowCount(); ++r) mirror.push_back(m.nodeOf(m.index(r)));
    };
    refill();
    QObject::connect(&m, &QAbstractItemModel::modelReset, refill);
    QObject::connect(&m, &QAbstractItemModel::rowsRemoved, [&](const QModelIndex&, int first, int last) {
      mirror.erase(mirror.begin() + first, mirror.begin() + last + 1);
    });
    QObject::connect(&m, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
      for (int r = first; r <= last; ++r) mirror.insert(mirror.begin() + r, m.nodeOf(m.index(r)));
    });
    std::vector<bool> expanded(size_t(t.size()), true);
    for (int step = 0; step < 50; ++step) {
      const int what = int(random() % 20);
      if (what == 0) {
        m.collapseAll();
        expanded.assign(expanded.size(), false);
      } else if (what == 1) {
        m.expandAll();
        expanded.assign(expanded.size(), true);
      } else {
        const auto node = int32_t(random() % uint32_t(t.size()));
        const bool on = random() % 2 == 0;
        m.setExpanded(node, on);
        expanded[size_t(node)] = on;
      }
      std::vector<int32_t> plain;
      for (int32_t n = 0; n < t.size(); ++n) {
        bool shown = true;
        for (int32_t p = t.parent(n); p >= 0 && shown; p = t.parent(p)) shown = expanded[size_t(p)];
        if (shown) plain.push_back(n);
      }
      std::vector<int32_t> rows;
      for (int r = 0; r < m.rowCount(); ++r) rows.push_back(m.nodeOf(m.index(r)));
      ASSERT_EQ(rows, plain) << "round " << round << " step " << step;
      ASSERT_EQ(mirror, plain) << "round " << round << " step " << step;
      for (size_t r = 0; r < plain.size(); ++r) ASSERT_EQ(m.indexOf(plain[r]).row(), int(r));
    }
  }
}

TEST(TreeSearch, OccurrenceAndStartTag) {
  const QStringList lines = {"<liste>", "<item>", "</item>", "<item></item><item>", "</item>", "<item>", "</item>", "</liste>"};
  const StringListLines view(lines);
  const tree::Tree t = tree::buildTree(view);
  ASSERT_EQ(t.size(), 5);
  EXPECT_EQ(tree::occurrence(t, -1), 0);
  EXPECT_EQ(tree::occurrence(t, 0), 0);  // the first node is never counted
  EXPECT_EQ(tree::occurrence(t, 3), 3);
  // The third <item> node: lines are counted, so it lands on the next line holding "<item".
  const tree::Place third = tree::nthLineHolding(view, "<item", 3);
  EXPECT_EQ(third.line, 5);
  EXPECT_EQ(third.position, 7 + 2 + 6 + 2 + 7 + 2 + 19 + 2 + 7 + 2);
  const tree::Place none = tree::nthLineHolding(view, "<item", 4);
  EXPECT_EQ(none.line, -1);
  EXPECT_EQ(none.position, int64_t(bytes(lines.join("\r\n")).size()));
}

TEST(TreeDuplicate, CopiesTagsAndOneCharacterOfIndentation) {
  const QStringList lines = {"<fiches>", "\t<rec id=\"7\">", "\t\t<ville>Paris</ville>", "\t\t<tel>01</tel>", "\t</rec>", "</fiches>"};
  const StringListLines view(lines);
  const tree::Insertion ins = tree::duplicateElement(view, tree::nthLineHolding(view, "<rec", 1), "<rec");
  EXPECT_EQ(ins.text, "\r\n\t<rec id=\"7\">\r\n<ville></ville>\r\n<tel></tel>\r\n</rec>");
  EXPECT_EQ(ins.position, int64_t(bytes(lines.mid(0, 5).join("\r\n")).size()));
  // A start tag at the start of a line copies no indentation; none at the text's start.
  const StringListLines flat({"<a>", "<b>x \"q\"</b>", "</a>"});
  EXPECT_EQ(tree::duplicateElement(flat, tree::nthLineHolding(flat, "<b", 1), "<b").text, "\r\n<b>\"\"</b>");
  EXPECT_EQ(tree::duplicateElement(flat, tree::nthLineHolding(flat, "<a", 1), "<a").position, -1);
  // The end of a tag or text before the start tag stays out of the copy.
  const StringListLines shared({"<r><a>1</a><a>2</a>x<a>3</a></r>"});
  const tree::Insertion second = tree::duplicateElement(shared, tree::nthLineHolding(shared, "<a", 1), "<a");
  EXPECT_EQ(second.text, "\r\n<a></a>");
  EXPECT_EQ(second.position, 11);
  // A ">" in a quoted value is no end of the tag: the copy keeps the tag whole.
  const StringListLines valued({"<r><a t=\"x>y\" u='>'>1</a></r>"});
  EXPECT_EQ(tree::duplicateElement(valued, tree::nthLineHolding(valued, "<a", 1), "<a").text,
            "\r\n<a t=\"x>y\" u='>'></a>");
  // Without an end tag the copy runs to the end of the text.
  const StringListLines open({"<a>", " <b>x"});
  const tree::Insertion rest = tree::duplicateElement(open, tree::nthLineHolding(open, "<b", 1), "<b");
  EXPECT_EQ(rest.text, "\r\n <b>");
  EXPECT_EQ(rest.position, 10);
}

TEST(TreeDifferential, BuilderSearchAndDuplicationMatchThePlainRules) {
  reference::Generator gen(20261208u);
  for (int d = 0; d < 400; ++d) {
    QStringList lines = d % 4 == 3 ? gen.recordsDocument(20) : gen.document();
    if (d % 5 == 0) lines.insert(lines.size() / 2, "<![CDATA[ <cd> ]] <e> ]]> <f>");
    const StringListLines view(lines);
    const tree::Tree t = tree::buildTree(view);
    const std::vector<PlainNode> plain = plainTree(lines);
    ASSERT_EQ(size_t(t.size()), plain.size()) << lines.join("\n").toStdString();
    std::vector<std::string> labels;
    for (int32_t i = 0; i < t.size(); ++i) {
      ASSERT_EQ(t.label(i), plain[size_t(i)].label);
      ASSERT_EQ(t.parent(i), plain[size_t(i)].parent);
      labels.push_back(t.label(i));
    }
    for (int32_t i = 0; i < t.size(); i += 1 + t.size() / 7) {
      const int n = plainOccurrence(labels, i);
      ASSERT_EQ(tree::occurrence(t, i), n) << i;
      const std::string s = labels[size_t(i)].substr(0, labels[size_t(i)].size() - 1);
      const auto [where, text] = plainDuplicate(lines, s, n);
      const tree::Insertion ins = tree::duplicateElement(view, tree::nthLineHolding(view, s, n), s);
      ASSERT_EQ(ins.position, where) << lines.join("\n").toStdString() << "\nnode " << i;
      ASSERT_EQ(ins.text, text);
    }
  }
}

}  // namespace
