#pragma once
// The end tag that "Fermer la balise" inserts: the nearest start tag before the caret, read as
// its own text however long (over line breaks too), that no end tag closes later in the text.
// No widgets, so the benchmarks and tests call it on a text store directly.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "TextStore.h"
#include "tags.h"

namespace typing {

// A tag's text is read this many characters at a time, more while it goes on.
constexpr int64_t kCloseWindow = 40;

// The key of the tag whose "<" is at p ("<body>"), with the tag rules of the checker; its name
// is a view into *buffer.
analysis::TagKey keyAt(const TextStore& text, int64_t p, std::string* buffer);

// Whether the caret stands inside a tag not yet finished: the last "<" before it has no ">" of
// its own before the caret. Enter with automatic closing then types the line break only.
bool insideUnfinishedTag(const TextStore& text, int64_t caret);

// EstFerme: whether the start-tag key at from (its "<") is closed after it: an end tag follows,
// and no second identical key text comes before that end tag.
bool EstFerme(std::string_view key, const TextStore& text, int64_t from);

// The end tag to insert at the caret ("</body>"), or empty when nothing is left open. Reads the
// text straight through: right for any text, but a closed document costs a pass over all of it.
std::string endTagToClose(const TextStore& text, int64_t caret);

// The same answer, fast on large documents that are edited between questions: what each chunk
// of the store says about its tags is kept, so only chunks changed since the last question are
// read again. One per document window.
class TagCloser {
 public:
  TagCloser();
  ~TagCloser();
  TagCloser(const TagCloser&) = delete;
  TagCloser& operator=(const TagCloser&) = delete;
  TagCloser(TagCloser&&) noexcept;
  TagCloser& operator=(TagCloser&&) noexcept;

  std::string endTag(const TextStore& text, int64_t caret);
  // Reads every chunk of text now, which the first question would otherwise do: a closer made
  // apart (behind the window's thread) is prepared, then moved into the window's place.
  void prepare(const TextStore& text);

 private:
  struct Summary;
  const Summary& summaryOf(const TextStore& text, std::string_view chunk, int64_t start);
  Summary summarise(const TextStore& text, std::string_view chunk, int64_t start, int64_t limit);
  int keyId(std::string_view key);
  void forgetDeadChunks(const TextStore& text);

  std::unordered_map<std::string, int> keys_;
  std::unordered_map<const char*, std::unique_ptr<Summary>> summaries_;
  // The stores whose chunks the summaries describe: held, so that no summarised chunk is freed
  // and its address taken by another while its summary is kept.
  std::vector<TextStore> held_;
};

}  // namespace typing
