#include "Tree.h"

#include "tags.h"

namespace tree {

namespace {

uint32_t hashOf(std::string_view s) {
  uint32_t h = 2166136261u;
  for (const char c : s) h = (h ^ uint8_t(c)) * 16777619u;
  return h;
}

}  // namespace

int32_t Tree::depth(int32_t node) const {
  int32_t d = 0;
  for (int32_t p = parent_[size_t(node)]; p >= 0; p = parent_[size_t(p)]) ++d;
  return d;
}

int64_t Tree::memoryUsed() const {
  int64_t bytes = 0;
  for (const auto* v : {&parent_, &labelId_, &end_, &table_})
    bytes += int64_t(v->capacity() * sizeof(int32_t));
  for (const std::string& l : labels_) bytes += int64_t(sizeof(std::string) + l.capacity());
  return bytes;
}

int32_t Tree::intern(std::string_view label) {
  // Documents repeat a handful of names: the last one is tried before the table.
  if (lastLabel_ >= 0 && labels_[size_t(lastLabel_)] == label) return lastLabel_;
  if (table_.empty() || labels_.size() * 2 >= table_.size()) {
    std::vector<int32_t> bigger(table_.empty() ? 64 : table_.size() * 2, -1);
    for (size_t id = 0; id < labels_.size(); ++id) {
      size_t i = hashOf(labels_[id]) & (bigger.size() - 1);
      while (bigger[i] >= 0) i = (i + 1) & (bigger.size() - 1);
      bigger[i] = int32_t(id);
    }
    table_.swap(bigger);
  }
  size_t i = hashOf(label) & (table_.size() - 1);
  while (table_[i] >= 0) {
    if (labels_[size_t(table_[i])] == label) return lastLabel_ = table_[i];
    i = (i + 1) & (table_.size() - 1);
  }
  table_[i] = int32_t(labels_.size());
  labels_.emplace_back(label);
  return lastLabel_ = table_[i];
}

int32_t Tree::add(int32_t parent, std::string_view label) {
  const auto node = int32_t(parent_.size());
  parent_.push_back(parent);
  labelId_.push_back(intern(label));
  return node;
}

void Tree::finish() {
  // Nodes come in tree order: a subtree ends where the next node outside it begins.
  end_.assign(parent_.size(), 0);
  for (auto i = int32_t(parent_.size()) - 1; i >= 0; --i) {
    if (end_[size_t(i)] == 0) end_[size_t(i)] = i + 1;
    const int32_t p = parent_[size_t(i)];
    if (p >= 0 && end_[size_t(p)] == 0) end_[size_t(p)] = end_[size_t(i)];
  }
  std::vector<int32_t>().swap(table_);
}

Tree buildTree(const TextLines& lines, const std::function<bool()>& stopped) {
  Tree tree;
  bool section = false;
  int32_t current = -1;
  std::string label;
  for (int64_t i = 0, count = lines.count(); i < count; ++i) {
    if (stopped && i % 4096 == 0 && stopped()) break;
    const std::string_view line = lines.line(i);
    const auto n = int64_t(line.size());
    analysis::LineTags tags(lines, i);
    int64_t p = 0;
    while (p < n) {
      if (section) {
        const int64_t q = analysis::findText(line, p, "]]");
        if (q >= n) break;
        section = false;
        p = q + 1;
        continue;
      }
      const int64_t q = analysis::findByte(line, p, '<');
      if (q >= n) break;
      p = q + 1;
      if (line.substr(size_t(q), 3) == "<![") {
        section = true;
        continue;
      }
      if (tags.isEndTag(q)) {
        // An end tag with nothing open (one inside a comment can do it) leaves the top level.
        if (current >= 0) current = tree.parent(current);
        continue;
      }
      const analysis::TagKey key = tags.startKey(q);
      if (!key.valid) continue;
      label.assign(1, '<');
      label.append(key.name);
      if (key.closed) label.push_back('>');
      current = tree.add(current, label);
    }
  }
  tree.finish();
  return tree;
}

int32_t occurrence(const Tree& tree, int32_t selected) {
  if (selected < 0 || selected >= tree.size()) return 0;
  const int32_t label = tree.labelId(selected);
  const int32_t last = selected == 0 ? tree.size() - 1 : selected;
  int32_t n = 0;
  for (int32_t i = 1; i <= last; ++i)
    if (tree.labelId(i) == label) ++n;
  return n;
}

Place nthLineHolding(const TextLines& lines, std::string_view text, int32_t n) {
  Place place;
  if (text.empty() || n <= 0) return place;
  int32_t j = 0;
  int64_t position = 0;
  for (int64_t i = 0, count = lines.count(); i < count; ++i) {
    const std::string_view line = lines.line(i);
    const int64_t column = analysis::findText(line, 0, text);
    if (column < int64_t(line.size()) && ++j == n) {
      place.line = i;
      place.column = column;
      place.position = position + column;
      return place;
    }
    position += int64_t(line.size()) + 2;
  }
  place.position = position - 2;
  return place;
}

Insertion duplicateElement(const TextLines& lines, const Place& place, std::string_view name) {
  Insertion result;
  if (place.line < 0 || place.position <= 0 || name.empty()) return result;
  // The end of the element: just after the first ">" at or after the first "</name".
  std::string endTag = "</";
  endTag.append(name.substr(1));
  int64_t endLine = -1, endColumn = 0, endPosition = 0;
  {
    const int64_t count = lines.count();
    int64_t position = place.position - place.column;
    int64_t from = place.column;
    bool afterEndTag = false;
    for (int64_t i = place.line; i < count; ++i, from = 0) {
      const std::string_view line = lines.line(i);
      const auto size = int64_t(line.size());
      if (!afterEndTag) {
        const int64_t q = analysis::findText(line, from, endTag);
        if (q < size) {
          afterEndTag = true;
          from = q;
        }
      }
      if (afterEndTag) {
        const int64_t q = analysis::findByte(line, from, '>');
        if (q < size) {
          endLine = i;
          endColumn = q + 1;
          endPosition = position + q + 1;
          break;
        }
      }
      position += size + 2;
      endPosition = position - 2;
    }
    if (endLine < 0) {
      endLine = count - 1;
      endColumn = int64_t(lines.line(endLine).size());
    }
  }
  // The copy keeps every tag whole and the breaks between them; a quote outside a tag stays.
  // A ">" inside a value quoted after "=" belongs to the value, not to the tag's end.
  std::string copy = "\r\n";
  bool inTag = true;
  char quote = 0;     // the quote of the value being copied
  char lastMark = 0;  // the last character of the tag that is not a blank
  const auto take = [&](char c) {
    if (c == '\r' || c == '\n') copy.push_back(c);
    if (c == '<' && !inTag) copy.push_back(c);
    if (inTag) copy.push_back(c);
    if (c == '"' && !inTag) copy.push_back(c);
    if (quote != 0 && c != '<') {
      if (c == quote) quote = 0;
      lastMark = c;
      return;
    }
    quote = 0;
    if (c == '<') inTag = true;
    if (c == '>') inTag = false;
    if (inTag && (c == '"' || c == '\'') && lastMark == '=') quote = c;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') lastMark = c;
  };
  // The character before the "<" comes along when it is indentation; any other is the end of
  // a tag or text before the element, and would stray into the copy.
  int64_t column = place.column;
  if (column > 0) {
    const char before = lines.line(place.line)[size_t(column - 1)];
    if (before == ' ' || before == '\t') --column;
  }
  for (int64_t i = place.line; i <= endLine; ++i, column = 0) {
    const std::string_view line = lines.line(i);
    const int64_t stop = i == endLine ? endColumn : int64_t(line.size());
    for (int64_t k = column; k < stop; ++k) take(line[size_t(k)]);
    if (i < endLine) {
      take('\r');
      take('\n');
    }
  }
  result.position = endPosition;
  result.text = std::move(copy);
  return result;
}

}  // namespace tree
