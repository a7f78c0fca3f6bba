#include "CloseTag.h"

#include <algorithm>
#include <cstring>

#include "tags.h"

namespace typing {
namespace {

// The end tag of a key: "/" after its first character.
std::string endTagOf(std::string_view key) {
  std::string e(key);
  e.insert(1, 1, '/');
  return e;
}

// Whether the text holds t at pos, reading across chunks when it must.
bool holdsAt(const TextStore& text, std::string_view piece, int64_t pieceStart, int64_t pos,
             std::string_view t) {
  const int64_t off = pos - pieceStart;
  if (off + int64_t(t.size()) <= int64_t(piece.size()))
    return std::memcmp(piece.data() + off, t.data(), t.size()) == 0;
  return text.text(pos, int64_t(t.size())) == t;
}

}  // namespace

bool EstFerme(std::string_view key, const TextStore& text, int64_t from) {
  if (key.empty()) return false;
  const std::string end = endTagOf(key);
  // Both texts begin with "<": only those places need comparing.
  int64_t pos = from + int64_t(key.size()) - 1;
  const int64_t n = text.size();
  while (pos < n) {
    int64_t start = 0;
    const std::string_view piece = text.piece(pos, &start);
    if (piece.empty()) break;
    for (int64_t i = analysis::findByte(piece, pos - start, '<'); i < int64_t(piece.size());
         i = analysis::findByte(piece, i + 1, '<')) {
      // A second identical key before the end tag leaves this one open.
      if (holdsAt(text, piece, start, start + i, key)) return false;
      if (holdsAt(text, piece, start, start + i, end)) return true;
    }
    pos = start + int64_t(piece.size());
  }
  return false;
}

std::string endTagToClose(const TextStore& text, int64_t caret) {
  int64_t pos = std::min(caret, text.size()) - 1;
  while (pos >= 0) {
    int64_t start = 0;
    const std::string_view piece = text.piece(pos, &start);
    const char* base = piece.data();
    size_t len = size_t(pos - start + 1);
    while (const void* found = len ? memrchr(base, '<', len) : nullptr) {
      const int64_t p = start + (static_cast<const char*>(found) - base);
      const std::string window = text.text(p, kCloseWindow);
      const analysis::TagKey key = analysis::NomBalise(window);
      if (key.valid) {
        const std::string k = key.text();
        if (!EstFerme(k, text, p)) return endTagOf(k);
      }
      len = size_t(p - start);
    }
    pos = start - 1;
  }
  return {};
}

}  // namespace typing

namespace typing {
namespace {

// A summary reads this far past its chunk: a key's window, and the longest end tag.
constexpr int64_t kOverhang = kCloseWindow + 1;

enum : int { kNoEvent = -1, kStartEvent = 0, kEndEvent = 1 };

}  // namespace

// What one chunk says about its tags. An event is a place where a key's text or its end tag's
// text stands (a "<" whose text up to its first ">" is that); a candidate is a start tag whose
// window has a key. A candidate is closed when the first event of its key after it is an end
// tag, so a chunk answers for its candidates that an event of theirs follows in the chunk, and
// leaves the others to the events after it, the same for every candidate of one key.
struct TagCloser::Summary {
  std::string overhang;                        // the bytes after the chunk that were read
  std::unordered_map<int, bool> firstEvent;    // key → its first event here is an end tag
  int64_t open = -1;                           // the last candidate known open, as an offset
  std::unordered_map<int, int64_t> unresolved; // key → its last candidate left to later events
  std::vector<int64_t> irregular;              // candidates whose key has no ">", descending
};

TagCloser::TagCloser() = default;
TagCloser::~TagCloser() = default;

int TagCloser::keyId(std::string_view key) {
  return keys_.try_emplace(std::string(key), int(keys_.size())).first->second;
}

TagCloser::Summary TagCloser::summarise(const TextStore& text, std::string_view chunk,
                                        int64_t start, int64_t limit) {
  Summary s;
  const auto size = int64_t(chunk.size());
  s.overhang = text.text(start + size, kOverhang);
  // The chunk and what follows it, for windows and texts that run over its end.
  const auto read = [&](int64_t off, int64_t n, std::string& spill) -> std::string_view {
    if (off + n <= size) return chunk.substr(size_t(off), size_t(n));
    spill.assign(chunk.substr(size_t(off)));
    spill.append(s.overhang, 0, size_t(std::min<int64_t>(n - (size - off), kOverhang)));
    return spill;
  };
  std::string spill, keyText;
  size_t len = size_t(size);
  while (const void* found = len ? memrchr(chunk.data(), '<', len) : nullptr) {
    const int64_t off = static_cast<const char*>(found) - chunk.data();
    len = size_t(off);
    if (off < limit) {
      const analysis::TagKey key = analysis::NomBalise(read(off, kCloseWindow, spill));
      if (key.valid && !key.closed) {
        s.irregular.push_back(off);
      } else if (key.valid) {
        keyText.assign(1, '<');
        keyText.append(key.name);
        keyText += '>';
        const int id = keyId(keyText);
        const auto event = s.firstEvent.find(id);
        if (event == s.firstEvent.end())
          s.unresolved.try_emplace(id, off);
        else if (!event->second && s.open < 0)
          s.open = off;
      }
    }
    const std::string_view literal = read(off, kOverhang, spill);
    const size_t chevron = literal.find('>');
    if (chevron == std::string_view::npos) continue;
    if (chevron >= 2 && literal[1] == '/') {
      keyText.assign(1, '<');
      keyText.append(literal.substr(2, chevron - 1));
      s.firstEvent[keyId(keyText)] = true;
    } else {
      s.firstEvent[keyId(literal.substr(0, chevron + 1))] = false;
    }
  }
  return s;
}

const TagCloser::Summary& TagCloser::summaryOf(const TextStore& text, std::string_view chunk,
                                               int64_t start) {
  std::unique_ptr<Summary>& kept = summaries_[chunk.data()];
  if (!kept || kept->overhang != text.text(start + int64_t(chunk.size()), kOverhang))
    kept = std::make_unique<Summary>(summarise(text, chunk, start, int64_t(chunk.size())));
  return *kept;
}

void TagCloser::forgetDeadChunks(const TextStore& text) {
  std::unordered_map<const char*, std::unique_ptr<Summary>> live;
  for (int64_t pos = 0; pos < text.size();) {
    int64_t start = 0;
    const std::string_view chunk = text.piece(pos, &start);
    if (chunk.empty()) break;
    const auto it = summaries_.find(chunk.data());
    if (it != summaries_.end()) live.emplace(it->first, std::move(it->second));
    pos = start + int64_t(chunk.size());
  }
  summaries_ = std::move(live);
  held_.clear();
  held_.push_back(text);
}

std::string TagCloser::endTag(const TextStore& text, int64_t caret) {
  caret = std::clamp<int64_t>(caret, 0, text.size());
  if (caret == 0) return {};
  held_.push_back(text);

  int64_t caretStart = 0;
  const std::string_view caretChunk = text.piece(caret - 1, &caretStart);
  const int64_t rightStart = caretStart + int64_t(caretChunk.size());

  // The first event of a key after the caret's chunk, looked for once per key.
  std::unordered_map<int, int> right;
  const auto rightEvent = [&](int id) {
    const auto [it, fresh] = right.try_emplace(id, kNoEvent);
    if (!fresh) return it->second;
    for (int64_t pos = rightStart; pos < text.size();) {
      int64_t start = 0;
      const std::string_view chunk = text.piece(pos, &start);
      if (chunk.empty()) break;
      const Summary& s = summaryOf(text, chunk, start);
      const auto event = s.firstEvent.find(id);
      if (event != s.firstEvent.end()) {
        it->second = event->second ? kEndEvent : kStartEvent;
        break;
      }
      pos = start + int64_t(chunk.size());
    }
    return it->second;
  };
  // Events from the caret's chunk back to the chunk being looked at (excluded).
  std::unordered_map<int, bool> between;
  const auto closedAfter = [&](int id) {
    const auto event = between.find(id);
    return event != between.end() ? event->second : rightEvent(id) == kEndEvent;
  };

  std::string answer;
  const auto openIn = [&](const Summary& s, int64_t start) {
    int64_t best = s.open;
    for (const auto& [id, off] : s.unresolved)
      if (off > best && !closedAfter(id)) best = off;
    for (const int64_t off : s.irregular) {
      if (off <= best) break;
      const std::string key = analysis::NomBalise(text.text(start + off, kCloseWindow)).text();
      if (!EstFerme(key, text, start + off)) {
        best = off;
        break;
      }
    }
    if (best < 0) return false;
    answer = endTagOf(analysis::NomBalise(text.text(start + best, kCloseWindow)).text());
    return true;
  };

  bool found = false;
  {
    const Summary here = summarise(text, caretChunk, caretStart, caret - caretStart);
    found = openIn(here, caretStart);
    if (!found)
      for (const auto& [id, isEnd] : here.firstEvent) between[id] = isEnd;
  }
  for (int64_t pos = caretStart - 1; !found && pos >= 0;) {
    int64_t start = 0;
    const std::string_view chunk = text.piece(pos, &start);
    const Summary& s = summaryOf(text, chunk, start);
    found = openIn(s, start);
    for (const auto& [id, isEnd] : s.firstEvent) between[id] = isEnd;
    pos = start - 1;
  }
  if (held_.size() > 16) forgetDeadChunks(text);
  return answer;
}

}  // namespace typing
