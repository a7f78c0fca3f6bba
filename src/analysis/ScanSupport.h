#pragma once
// Internal pieces of the checks: tag keys interned exactly and without regard to case, and
// windows of the lines joined by CR LF.
#include <cstdint>
#include <string>
#include <vector>

#include "TextLines.h"
#include "Wellformed.h"
#include "tags.h"

namespace analysis {

// The column, from 1 and in characters, of the byte offset in line: the one place that knows
// how many bytes a character takes in the lines.
int64_t characterColumn(std::string_view line, int64_t offset);

}  // namespace analysis

namespace analysis::detail {

// Names are a few bytes long: a loop beats a library call.
inline bool sameBytes(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

inline bool sameKey(const TagKey& a, const TagKey& b) {
  return a.closed == b.closed && a.name.size() == b.name.size() && sameBytes(a.name.data(), b.name.data(), a.name.size());
}

// Ids for keys, exactly and without regard to case. The keys are views: the lines they point
// into must outlive the table.
class KeyTable {
 public:
  KeyTable();
  int exact(const TagKey& k);  // creates the id when the key is new
  // The same, for a key met just after the key previous (an id, or -1): documents repeat their
  // sequences of tags, so the key that followed previous last time is tried first.
  int exactAfter(int previous, const TagKey& k) {
    if (previous >= 0) {
      const int guess = entries_[size_t(previous)].next;
      if (guess >= 0 && sameKey(key(guess), k)) return guess;
    }
    const int id = exact(k);
    if (previous >= 0) entries_[size_t(previous)].next = id;
    return id;
  }
  int folded(int exact) const { return entries_[size_t(exact)].folded; }
  int foldedCount() const { return int(folds_.size()); }
  TagKey key(int exact) const {
    const Entry& e = entries_[size_t(exact)];
    return {std::string_view(e.d, e.n), e.closed, true};
  }

 private:
  struct Entry {
    const char* d;
    size_t n;
    uint32_t h;
    int32_t folded;
    int32_t next;  // the key that followed this one last time, or -1
    bool closed;
  };
  struct Fold {
    TagKey representative;
    uint32_t h;
  };
  int foldOf(const TagKey& k);
  template <class E>
  static void grow(std::vector<int32_t>& table, const std::vector<E>& entries);

  std::vector<Entry> entries_;
  std::vector<int32_t> table_;  // open addressing, -1 free
  std::vector<Fold> folds_;
  std::vector<int32_t> foldTable_;
};

// A second scan riding on the well-formedness walk, which hands it every "<" it examines; it
// answers false once it needs no more. (The DTD check of "Valider le document" walks the text
// with the same comment state, so the command reads the text once.)
class TagHook {
 public:
  virtual ~TagHook() = default;
  virtual bool onTag(LineTags& t, int64_t line, int64_t q) = 0;
};

// Valid, handing every "<" that its walk examines to hook as well.
Fault validWith(const TextLines& lines, TagHook* hook);

// The at most n characters of the lines joined by CR LF, from column col of line line.
std::string joinedWindow(const TextLines& lines, int64_t line, int64_t col, int64_t n);

// The place of offset at in that window (which never points into a line break).
TextPlace placeInWindow(const TextLines& lines, int64_t line, int64_t col, int64_t at);

// The fault's place: the tag whose "<" is at offset q of line line, to past its end.
void placeTag(Fault& f, const TextLines& lines, int64_t line, int64_t q);

}  // namespace analysis::detail
