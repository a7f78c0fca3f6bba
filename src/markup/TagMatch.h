#pragma once
// The matching tag: the start or end tag around a position, and the tag that closes or opens it.
#include <cstdint>
#include <limits>

#include "TextStore.h"

namespace markup {

struct Tag {
  int64_t begin = -1, end = -1;  // [begin, end) in the text; begin < 0: none
  bool isEnd = false;
  bool found() const { return begin >= 0; }
};

// The start or end tag that pos stands in: from its "<" to just after its ">". An empty-element
// tag, a comment or any other markup gives none.
Tag tagAround(const TextStore& text, int64_t pos);

// The end tag that closes a start tag, or the start tag that an end tag closes, by the nesting
// of the elements in between and with the same name. None when the nesting gives none (the
// document ends first, or the tag found has another name), or when finding it would read more
// than reach bytes of the text.
Tag partnerOf(const TextStore& text, const Tag& tag, int64_t reach = std::numeric_limits<int64_t>::max());

}  // namespace markup
