#pragma once
// The element tree of a document, built from its lines by the tree view's rules, held as flat
// arrays (a few integers a node, labels interned once) so that a document of millions of
// elements costs tens of megabytes, not a widget item per node. Nodes are numbered in tree
// order (depth-first, parent before children), which is also the order of their start tags.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "TextLines.h"

namespace tree {

class Tree {
 public:
  int32_t size() const { return int32_t(parent_.size()); }
  // -1 for a top-level node.
  int32_t parent(int32_t node) const { return parent_[size_t(node)]; }
  // One past the node's last descendant: its subtree is [node, end(node)).
  int32_t end(int32_t node) const { return end_[size_t(node)]; }
  bool hasChildren(int32_t node) const { return end_[size_t(node)] > node + 1; }
  int32_t depth(int32_t node) const;
  // The tag key, "<body>", as the line's Windows-1252 bytes.
  const std::string& label(int32_t node) const { return labels_[size_t(labelId_[size_t(node)])]; }
  int32_t labelId(int32_t node) const { return labelId_[size_t(node)]; }
  int64_t memoryUsed() const;

  // Adds a node as the last child of parent (-1: last top-level node); returns its number.
  int32_t add(int32_t parent, std::string_view label);
  // Closes the subtrees; call once after the last add.
  void finish();

 private:
  int32_t intern(std::string_view label);

  std::vector<int32_t> parent_, labelId_, end_;
  std::vector<std::string> labels_;
  std::vector<int32_t> table_;       // open addressing over labels_, -1 free
  int32_t lastLabel_ = -1;
};

// Arborescence's scan: a node for every start tag with a key, children in document order; an
// end tag closes the current node. CDATA sections are skipped, comments are not. stopped, when
// given, is asked now and then: once it says true the build ends, its tree unfinished.
Tree buildTree(const TextLines& lines, const std::function<bool()>& stopped = {});

// The occurrence number of the selected node (-1: none): how many nodes from index 1 up to
// the selected one carry its label; for the first node, how many others carry it. 0: nothing
// to look for.
int32_t occurrence(const Tree& tree, int32_t selected);

// The first occurrence of text in the n-th line that holds it (n from 1).
struct Place {
  int64_t line = -1;      // -1: fewer lines hold it
  int64_t column = 0;
  int64_t position = 0;   // text position (breaks count two); the text's length when not found
};
Place nthLineHolding(const TextLines& lines, std::string_view text, int32_t n);

// What duplicating the element whose start tag begins at place inserts, and where: a line
// break, the blank or tab before the start tag, and a copy of the element with its tags whole
// and its text content dropped, just after the element's end tag (at the end of the text when
// it has none). name is the start tag's "<" and name ("<item"). Nothing when the place is the
// text's first position.
struct Insertion {
  int64_t position = -1;  // -1: nothing to insert
  std::string text;       // Windows-1252, CR LF
};
Insertion duplicateElement(const TextLines& lines, const Place& place, std::string_view name);

}  // namespace tree
