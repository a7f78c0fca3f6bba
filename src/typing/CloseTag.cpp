#include "CloseTag.h"

#include <algorithm>
#include <cstring>


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

analysis::TagKey keyAt(const TextStore& text, int64_t p, std::string* buffer) {
  for (int64_t n = kCloseWindow;; n *= 4) {
    *buffer = text.text(p, n);
    if (!analysis::tagExtent(*buffer, 0).goesOn || int64_t(buffer->size()) < n) return analysis::NomBalise(*buffer);
  }
}

bool insideUnfinishedTag(const TextStore& text, int64_t caret) {
  caret = std::clamp<int64_t>(caret, 0, text.size());
  int64_t lt = -1;
  for (int64_t pos = caret - 1; pos >= 0 && lt < 0;) {
    int64_t start = 0;
    const std::string_view piece = text.piece(pos, &start);
    if (const void* found = memrchr(piece.data(), '<', size_t(pos - start + 1)))
      lt = start + (static_cast<const char*>(found) - piece.data());
    pos = start - 1;
  }
  if (lt < 0) return false;
  // No other "<" stands before the caret, so the tag either has its own ">" there or goes on.
  for (int64_t n = 256;; n *= 4) {
    const int64_t m = std::min(n, caret - lt);
    if (analysis::tagExtent(text.text(lt, m), 0).closed) return false;
    if (m == caret - lt) return true;
  }
}

std::string endTagToClose(const TextStore& text, int64_t caret) {
  std::string buffer;
  int64_t pos = std::min(caret, text.size()) - 1;
  while (pos >= 0) {
    int64_t start = 0;
    const std::string_view piece = text.piece(pos, &start);
    const char* base = piece.data();
    size_t len = size_t(pos - start + 1);
    while (const void* found = len ? memrchr(base, '<', len) : nullptr) {
      const int64_t p = start + (static_cast<const char*>(found) - base);
      const analysis::TagKey key = keyAt(text, p, &buffer);
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

bool endsName(char c) { return c == ' ' || c == '>' || c == '<' || c == '\t' || c == '\r' || c == '\n'; }

enum : int { kNoEvent = -1, kStartEvent = 0, kEndEvent = 1 };

}  // namespace

// What one chunk says about its tags. An event is a place where a key's text or its end tag's
// text stands ("<" or "</", a name, ">"); a candidate is a start tag that has a key. A candidate
// is closed when the first event of its key after it is an end tag, so a chunk answers for its
// candidates that an event of theirs follows in the chunk, and leaves the others to the events
// after it, the same for every candidate of one key.
struct TagCloser::Summary {
  std::string overhang;                        // the bytes after the chunk that were read
  int64_t requested = 0;                       // how many were asked for (the text may end first)
  std::unordered_map<int, bool> firstEvent;    // key → its first event here is an end tag
  int64_t open = -1;                           // the last candidate known open, as an offset
  std::unordered_map<int, int64_t> unresolved; // key → its last candidate left to later events
};

TagCloser::TagCloser() = default;
TagCloser::~TagCloser() = default;
TagCloser::TagCloser(TagCloser&&) noexcept = default;
TagCloser& TagCloser::operator=(TagCloser&&) noexcept = default;

void TagCloser::prepare(const TextStore& text) {
  held_.push_back(text);
  for (int64_t pos = 0; pos < text.size();) {
    int64_t start = 0;
    const std::string_view chunk = text.piece(pos, &start);
    if (chunk.empty()) break;
    summaryOf(text, chunk, start);
    pos = start + int64_t(chunk.size());
  }
}

int TagCloser::keyId(std::string_view key) {
  return keys_.try_emplace(std::string(key), int(keys_.size())).first->second;
}

TagCloser::Summary TagCloser::summarise(const TextStore& text, std::string_view chunk,
                                        int64_t start, int64_t limit) {
  Summary s;
  const auto size = int64_t(chunk.size());
  // The chunk and what follows it, for tags that run over its end.
  std::string spill;
  const auto read = [&](int64_t off, int64_t n) -> std::string_view {
    if (off + n <= size) return chunk.substr(size_t(off), size_t(n));
    const int64_t need = off + n - size;
    if (need > s.requested) {
      s.requested = std::max(need, 2 * s.requested);
      s.overhang = text.text(start + size, s.requested);
    }
    spill.assign(chunk.substr(size_t(off)));
    spill.append(s.overhang, 0, size_t(std::min<int64_t>(need, int64_t(s.overhang.size()))));
    return spill;
  };
  // The text from off to the first character after its "<" that ends a name, included.
  const auto upToNameEnd = [&](int64_t off) -> std::string_view {
    for (int64_t n = kCloseWindow;; n *= 4) {
      const std::string_view w = read(off, n);
      for (size_t i = 1; i < w.size(); ++i)
        if (endsName(w[i])) return w.substr(0, i + 1);
      if (int64_t(w.size()) < n) return w;
    }
  };
  std::string keyText;
  size_t len = size_t(size);
  while (const void* found = len ? memrchr(chunk.data(), '<', len) : nullptr) {
    const int64_t off = static_cast<const char*>(found) - chunk.data();
    len = size_t(off);
    if (off < limit) {
      analysis::TagKey key;
      for (int64_t n = kCloseWindow;; n *= 4) {
        const std::string_view w = read(off, n);
        if (!analysis::tagExtent(w, 0).goesOn || int64_t(w.size()) < n) {
          key = analysis::NomBalise(w);
          break;
        }
      }
      if (key.valid) {
        const int id = keyId(key.text());
        const auto event = s.firstEvent.find(id);
        if (event == s.firstEvent.end())
          s.unresolved.try_emplace(id, off);
        else if (!event->second && s.open < 0)
          s.open = off;
      }
    }
    const std::string_view literal = upToNameEnd(off);
    if (literal.size() < 2 || literal.back() != '>') continue;
    if (literal[1] == '/') {
      keyText.assign(1, '<');
      keyText.append(literal.substr(2));
      s.firstEvent[keyId(keyText)] = true;
    } else {
      s.firstEvent[keyId(literal)] = false;
    }
  }
  return s;
}

const TagCloser::Summary& TagCloser::summaryOf(const TextStore& text, std::string_view chunk,
                                               int64_t start) {
  std::unique_ptr<Summary>& kept = summaries_[chunk.data()];
  if (!kept || kept->overhang != text.text(start + int64_t(chunk.size()), kept->requested))
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
    if (best < 0) return false;
    std::string buffer;
    answer = endTagOf(keyAt(text, start + best, &buffer).text());
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
