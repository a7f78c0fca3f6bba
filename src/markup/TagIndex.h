#pragma once
// The nesting of a text's tags, read a block of tokens at a time and kept for that version of
// the text: where each block begins, how many elements are open there, how shallow the nesting
// gets inside it, and the names of the start tags at that shallowest depth. The matching tag
// and the element path at the caret look the far tags up here instead of reading the text
// between, so a caret move costs about the same anywhere in a large document.
//
// Tokens are read from the start of the text; a "<" that begins no well-formed markup is passed
// over, and an end tag closes the innermost open element whatever its name (one with nothing
// open closes nothing): the nesting "as far as it goes" in an ill-formed document.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

#include "Markup.h"
#include "TagMatch.h"
#include "TextStore.h"

namespace markup {

class TagIndex {
 public:
  // Keeps a snapshot of text; nothing is read until asked. Blocks hold about blockBytes of text
  // (tests make them tiny, so that every lookup crosses many): 32 KiB keeps the block read at
  // either end of a lookup well under a millisecond, and a 50 MB text about 1,600 blocks.
  explicit TagIndex(TextStore text, int64_t blockBytes = 32 * 1024);
  // The index of text, an edited version of earlier's: the blocks before the edit are kept, and
  // those after it are taken over, shifted, as soon as reading the new text falls back in step
  // with them, so typing reads about a block, not the whole text.
  TagIndex(TextStore text, const TagIndex& earlier);
  TagIndex(const TagIndex&) = delete;
  TagIndex& operator=(const TagIndex&) = delete;

  const TextStore& text() const { return text_; }
  // Reads about bytes more of the text into the index (blocks taken over from the earlier
  // version cost nothing); false once the whole text is read.
  bool extend(int64_t bytes);
  bool complete() const { return next_ >= reader_.size(); }
  int64_t blockCount() const { return int64_t(blocks_.size()); }

  // The start tag's partner, or the end tag's, by the nesting; none when the tag is not markup
  // of the text (it lies in a comment, a value...) or when the partner has another name.
  Tag partnerOf(const Tag& tag);

  struct Step {
    std::string name;      // as stored
    int64_t position = 1;  // among the siblings of the same name, from 1
    bool numbered = false; // there are such siblings
    int64_t begin = 0;     // its start tag's "<"
  };
  // The elements that hold pos, outermost first: a start tag, an end tag or an empty-element
  // tag that pos stands inside belongs to its element.
  std::vector<Step> elementPath(int64_t pos);

 private:
  using Names = std::map<std::string, int64_t, std::less<>>;
  struct Block {
    int64_t begin;     // the first token's place
    int64_t depth;     // elements open before it
    int64_t minDepth;  // the fewest open anywhere in the block
    std::shared_ptr<Names> shallowStarts;  // start tags at minDepth, shared by later versions
    int64_t reach = 0;  // the furthest place its tokens were read to
  };
  // A block of the earlier version after the edit, waiting to be taken over.
  struct Later {
    Block block;  // begin already shifted to the new text
    int64_t end, endDepth;
  };
  struct Open {
    int64_t begin = -1, nameBegin = 0, nameEnd = 0;
  };
  // Visits the tokens of block k: f(token, elements open before it) returns false to stop.
  void walk(size_t k, const std::function<bool(const Token&, int64_t)>& f);
  const Block* block(size_t k);
  size_t blockOf(int64_t pos);
  int64_t blockEnd(size_t k);
  // The start tags open before pos, outermost first; see elementPath for caret.
  std::vector<Open> openBefore(int64_t pos, bool caret, Open* leaf);
  std::string name(int64_t from, int64_t to);
  bool nameIs(const Token& t, std::string_view n);

  TextStore text_;
  Reader reader_;
  int64_t blockBytes_;
  std::vector<Block> blocks_;
  int64_t next_ = 0;   // where reading goes on
  int64_t depth_ = 0;  // elements open there
  bool sealed_ = false;  // the last block takes no more tokens
  std::vector<Later> later_;
  size_t nextLater_ = 0;
};

// The path as the status bar shows it ("liste › fiche[3] › nom") and as an XPath
// ("/liste/fiche[3]/nom"; "/" outside every element).
QString pathText(const std::vector<TagIndex::Step>& steps);
QString xpathText(const std::vector<TagIndex::Step>& steps);

}  // namespace markup
