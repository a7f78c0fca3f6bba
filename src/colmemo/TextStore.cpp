#include "TextStore.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <unordered_map>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// An edit copies or moves at most one chunk, and a snapshot's first edit copies one pointer per
// chunk: 32 KiB balances the two (under a microsecond and about 3 us at 50 MB). Chunks stay between the bounds;
// the lower one keeps deletions from leaving thousands of crumbs. The fuzz configuration makes
// them 64 times smaller, so that short inputs cross many chunk boundaries.
#ifdef TOVELO_STORE_SMALL_CHUNKS
constexpr int64_t kChunkUnit = 16;
#else
constexpr int64_t kChunkUnit = 1024;
#endif
constexpr int64_t kMinChunk = 8 * kChunkUnit;
constexpr int64_t kTargetChunk = 32 * kChunkUnit;
constexpr int64_t kMaxChunk = 64 * kChunkUnit;

// Offsets inside a chunk; a CR is never a chunk's last byte when it starts a break.
using Offset = uint16_t;
static_assert(kMaxChunk - 2 <= UINT16_MAX);
static_assert(kMaxChunk - kMinChunk >= kTargetChunk);

// Several byte ranges read as one sequence (the kept head of a region, the inserted bytes, the
// kept tail), so that new chunks are cut and copied from them directly, each byte once.
class Spliced {
 public:
  void add(std::string_view s) {
    if (s.empty()) return;
    parts_.push_back(s);
    size_ += static_cast<int64_t>(s.size());
    ends_.push_back(size_);
  }
  int64_t size() const { return size_; }

  char at(int64_t i) const {
    const size_t p = partAt(i);
    return parts_[p][static_cast<size_t>(i - partStart(p))];
  }

  void appendTo(std::string& out, int64_t from, int64_t length) const {
    for (size_t p = partAt(from); length > 0 && p < parts_.size(); ++p) {
      const int64_t offset = from - partStart(p);
      const int64_t n = std::min(length, ends_[p] - from);
      out.append(parts_[p].data() + offset, static_cast<size_t>(n));
      from += n;
      length -= n;
    }
  }

  // The last position e in (lo, hi] that follows a CR LF, or -1.
  int64_t lastBreakEnd(int64_t lo, int64_t hi) const {
    const int64_t low = std::max<int64_t>(lo, 1);  // where the LF may lie
    int64_t q = hi;                                // LF searched in [low, q)
    while (q > low) {
      const size_t p = partAt(q - 1);
      const int64_t ps = partStart(p);
      const int64_t from = std::max(ps, low);
      const char* d = parts_[p].data();
      const void* hit = memrchr(d + (from - ps), '\n', static_cast<size_t>(q - from));
      if (hit == nullptr) {
        q = from;
        continue;
      }
      const int64_t lf = ps + (static_cast<const char*>(hit) - d);
      if (at(lf - 1) == '\r') return lf + 1;
      q = lf;
    }
    return -1;
  }

  // The first position e in (lo, hi] that follows a CR LF, or -1.
  int64_t firstBreakEnd(int64_t lo, int64_t hi) const {
    int64_t q = std::max<int64_t>(lo, 1);
    while (q < hi) {
      const size_t p = partAt(q);
      const int64_t ps = partStart(p);
      const int64_t to = std::min(ends_[p], hi);
      const char* d = parts_[p].data();
      const void* hit = memchr(d + (q - ps), '\n', static_cast<size_t>(to - q));
      if (hit == nullptr) {
        q = to;
        continue;
      }
      const int64_t lf = ps + (static_cast<const char*>(hit) - d);
      if (at(lf - 1) == '\r') return lf + 1;
      q = lf + 1;
    }
    return -1;
  }

 private:
  size_t partAt(int64_t i) const {
    return static_cast<size_t>(std::upper_bound(ends_.begin(), ends_.end(), i) - ends_.begin());
  }
  int64_t partStart(size_t p) const { return p == 0 ? 0 : ends_[p - 1]; }

  std::vector<std::string_view> parts_;
  std::vector<int64_t> ends_;
  int64_t size_ = 0;
};

// Appends base + the offset in s of the CR of every CR LF lying wholly in s.
void appendBreaks(std::string_view s, int64_t base, std::vector<Offset>& out) {
  const char* d = s.data();
  for (size_t i = 1; i < s.size();) {
    const void* hit = memchr(d + i, '\n', s.size() - i);
    if (hit == nullptr) break;
    const size_t lf = static_cast<size_t>(static_cast<const char*>(hit) - d);
    if (d[lf - 1] == '\r') out.push_back(static_cast<Offset>(base + static_cast<int64_t>(lf) - 1));
    i = lf + 1;
  }
}

// Length of the chunk to cut at pos: ends after a break near the target size where there is
// one, never between a CR and its LF, and never leaves a tail below the minimum.
int64_t cutLength(const Spliced& src, int64_t pos) {
  const int64_t rest = src.size() - pos;
  if (rest <= kMaxChunk) return rest;
  int64_t end = src.lastBreakEnd(pos + kMinChunk, pos + kTargetChunk);
  if (end < 0)
    end = src.firstBreakEnd(pos + kTargetChunk,
                            std::min(pos + kMaxChunk, src.size() - kMinChunk));
  if (end < 0) {
    end = pos + kTargetChunk;
    if (src.at(end - 1) == '\r' && src.at(end) == '\n') ++end;
  }
  return end - pos;
}

// The first CR or LF in [p, end), or end; sixteen bytes a step where the machine allows.
const char* nextBreakByte(const char* p, const char* const end) {
#ifdef __SSE2__
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
#endif
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}

// Appends [p, end) to out with every CR, LF, CR LF and LF CR made one CR LF, until out holds at
// least `limit` bytes; returns where it stopped, never inside a break. Bytes already in CR LF
// form are copied a run at a time.
const char* normaliseInto(const char* p, const char* const end, std::string& out, size_t limit) {
  const char* run = p;  // first byte not yet copied
  while (p < end) {
    const size_t held = out.size() + static_cast<size_t>(p - run);
    if (held >= limit) break;
    const char* const stop = p + std::min<size_t>(static_cast<size_t>(end - p), limit - held);
    const char* const q = nextBreakByte(p, stop);
    if (q == stop) {
      p = stop;
      continue;
    }
    if (*q == '\r' && q + 1 < end && q[1] == '\n') {
      p = q + 2;
      continue;
    }
    out.append(run, q);
    out += "\r\n";
    p = q + 1;
    if (p < end && *p == (*q == '\r' ? '\n' : '\r')) ++p;
    run = p;
  }
  out.append(run, p);
  return p;
}

int64_t lowerBound(const std::vector<Offset>& v, int64_t x) {
  return std::lower_bound(v.begin(), v.end(), x, [](Offset o, int64_t y) { return o < y; }) -
         v.begin();
}

int64_t upperBound(const std::vector<Offset>& v, int64_t x) {
  return std::upper_bound(v.begin(), v.end(), x, [](int64_t y, Offset o) { return y < o; }) -
         v.begin();
}

int64_t ssize(const std::string& s) { return static_cast<int64_t>(s.size()); }
int64_t ssize(std::string_view s) { return static_cast<int64_t>(s.size()); }

}  // namespace

struct TextStore::Chunk {
  std::string bytes;            // never empty
  std::vector<Offset> breaks;  // offset of the CR of each CR LF, ascending
};

struct TextStore::Index {
  std::vector<std::shared_ptr<const Chunk>> chunks;
  std::vector<int64_t> bytesEnd;   // text position just past chunk i
  std::vector<int64_t> breaksEnd;  // breaks in chunks 0..i

  size_t count() const { return chunks.size(); }
  int64_t size() const { return bytesEnd.empty() ? 0 : bytesEnd.back(); }
  int64_t breakCount() const { return breaksEnd.empty() ? 0 : breaksEnd.back(); }
  int64_t start(size_t i) const { return i == 0 ? 0 : bytesEnd[i - 1]; }
  int64_t breaksBefore(size_t i) const { return i == 0 ? 0 : breaksEnd[i - 1]; }

  // The chunk holding pos, the last one for pos >= size(); the text must not be empty. Scans
  // ask for neighbouring places one after the other, so the chunk of the last answer and its
  // successor are tried before the binary search.
  size_t chunkAt(int64_t pos, size_t hint = SIZE_MAX) const {
    if (hint < count() && start(hint) <= pos) {
      if (pos < bytesEnd[hint]) return hint;
      if (hint + 1 < count() && pos < bytesEnd[hint + 1]) return hint + 1;
    }
    const auto it = std::upper_bound(bytesEnd.begin(), bytesEnd.end(), pos);
    return std::min(static_cast<size_t>(it - bytesEnd.begin()), count() - 1);
  }

  // The chunk holding break k, 0 <= k < breakCount().
  size_t chunkOfBreak(int64_t k, size_t hint = SIZE_MAX) const {
    if (hint < count() && breaksBefore(hint) <= k) {
      if (k < breaksEnd[hint]) return hint;
      if (hint + 1 < count() && k < breaksEnd[hint + 1]) return hint + 1;
    }
    return static_cast<size_t>(std::upper_bound(breaksEnd.begin(), breaksEnd.end(), k) -
                               breaksEnd.begin());
  }

  // Text position of the CR of break k, 0 <= k < breakCount().
  int64_t breakAt(int64_t k, size_t* hint = nullptr) const {
    const size_t c = chunkOfBreak(k, hint ? *hint : SIZE_MAX);
    if (hint) *hint = c;
    return start(c) + chunks[c]->breaks[static_cast<size_t>(k - breaksBefore(c))];
  }

  int64_t lineStart(int64_t line, size_t* hint = nullptr) const {
    line = std::clamp<int64_t>(line, 0, breakCount());
    return line == 0 ? 0 : breakAt(line - 1, hint) + 2;
  }
  int64_t lineEnd(int64_t line, size_t* hint = nullptr) const {
    line = std::clamp<int64_t>(line, 0, breakCount());
    return line == breakCount() ? size() : breakAt(line, hint);
  }

  // Appends [from, from + length) of the text, already clamped.
  void copy(int64_t from, int64_t length, std::string& out) const {
    if (length <= 0) return;
    for (size_t c = chunkAt(from); length > 0; ++c) {
      const std::string& b = chunks[c]->bytes;
      const int64_t offset = from - start(c);
      const int64_t n = std::min(length, ssize(b) - offset);
      out.append(b, static_cast<size_t>(offset), static_cast<size_t>(n));
      from += n;
      length -= n;
    }
  }

  // Cuts src into new chunks at the end of the list (prefix sums left to recount). When more
  // text follows src, stops while the rest may still grow into one chunk; returns the bytes used.
  int64_t appendChunks(const Spliced& src, bool moreFollows = false) {
    int64_t pos = 0;
    while (moreFollows ? src.size() - pos > kMaxChunk : pos < src.size()) {
      const int64_t length = cutLength(src, pos);
      auto c = std::make_shared<Chunk>();
      c->bytes.reserve(static_cast<size_t>(length));
      src.appendTo(c->bytes, pos, length);
      appendBreaks(c->bytes, 0, c->breaks);
      chunks.push_back(std::move(c));
      pos += length;
    }
    return pos;
  }

  // Prefix sums of chunks `from` onwards, from their chunks.
  void recount(size_t from) {
    bytesEnd.resize(count());
    breaksEnd.resize(count());
    for (size_t i = from; i < count(); ++i) {
      bytesEnd[i] = start(i) + ssize(chunks[i]->bytes);
      breaksEnd[i] = breaksBefore(i) + static_cast<int64_t>(chunks[i]->breaks.size());
    }
  }
};

class TextStore::LinesView final : public TextLines {
 public:
  explicit LinesView(std::shared_ptr<const Index> index) : index_(std::move(index)) {}

  int64_t count() const override { return index_->breakCount() + 1; }

  std::string_view line(int64_t i) const override {
    const Index& ix = *index_;
    if (i < 0 || i > ix.breakCount()) return {};
    const int64_t start = ix.lineStart(i, &hint_);
    const int64_t end = ix.lineEnd(i, &hint_);
    if (start == end) return {};
    const size_t c = ix.chunkAt(start, hint_ > 0 ? hint_ - 1 : 0);
    if (end <= ix.bytesEnd[c])
      return std::string_view(ix.chunks[c]->bytes)
          .substr(static_cast<size_t>(start - ix.start(c)), static_cast<size_t>(end - start));
    // A line across chunks is put together once; the map's node keeps its bytes in place.
    auto [it, fresh] = assembled_.try_emplace(i);
    if (fresh) {
      it->second.reserve(static_cast<size_t>(end - start));
      ix.copy(start, end - start, it->second);
    }
    return it->second;
  }

 private:
  std::shared_ptr<const Index> index_;
  mutable size_t hint_ = SIZE_MAX;  // chunk of the last break looked up: scans go line by line
  mutable std::unordered_map<int64_t, std::string> assembled_;
};

// Owned by nobody (use count 0), so that an edit of an empty store always makes its own index,
// and allocation-free, so that a moved-from store can take it without throwing.
const std::shared_ptr<const TextStore::Index>& TextStore::emptyIndex() {
  static const Index empty;
  static const std::shared_ptr<const Index> none(std::shared_ptr<const Index>(), &empty);
  return none;
}

TextStore::TextStore() : index_(emptyIndex()) {}

TextStore::TextStore(std::string crlfBytes) : index_(emptyIndex()) {
  if (crlfBytes.empty()) return;
  Spliced src;
  src.add(crlfBytes);
  auto built = std::make_shared<Index>();
  built->appendChunks(src);
  built->recount(0);
  index_ = std::move(built);
}

TextStore::TextStore(const TextStore&) = default;
TextStore& TextStore::operator=(const TextStore&) = default;
TextStore::TextStore(TextStore&& other) noexcept
    : index_(std::exchange(other.index_, emptyIndex())) {}
TextStore& TextStore::operator=(TextStore&& other) noexcept {
  if (this != &other) index_ = std::exchange(other.index_, emptyIndex());
  return *this;
}
TextStore::~TextStore() = default;

std::string TextStore::normalise(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  normaliseInto(bytes.data(), bytes.data() + bytes.size(), out, SIZE_MAX);
  return out;
}

TextStore TextStore::fromBytes(std::string_view bytes) {
  // A block of normalised text at a time, cut into chunks while it is still in the cache; the
  // unfinished last chunk's bytes start the next block.
  constexpr size_t kBlock = 4 * kMaxChunk;
  auto built = std::make_shared<Index>();
  std::string block;
  block.reserve(kBlock + static_cast<size_t>(kMaxChunk));
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  for (;;) {
    p = normaliseInto(p, end, block, kBlock);
    Spliced src;
    src.add(block);
    const bool last = p == end;
    const int64_t used = built->appendChunks(src, !last);
    if (last) break;
    block.erase(0, static_cast<size_t>(used));
  }
  built->recount(0);
  TextStore store;
  if (built->count() > 0) store.index_ = std::move(built);
  return store;
}

TextStore::Builder::Builder() : built_(std::make_shared<Index>()) {
  block_.reserve(4 * kMaxChunk + static_cast<size_t>(kMaxChunk));
}

TextStore::Builder::~Builder() = default;

void TextStore::Builder::normalised(std::string_view bytes) {
  constexpr size_t kBlock = 4 * kMaxChunk;
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end) {
    p = normaliseInto(p, end, block_, kBlock);
    if (block_.size() < kBlock) continue;
    Spliced src;
    src.add(block_);
    block_.erase(0, static_cast<size_t>(built_->appendChunks(src, true)));
  }
}

void TextStore::Builder::append(std::string_view bytes) {
  const auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
  // Breaks pair from the left within a run of CR and LF bytes, so a run cut by the end of a
  // piece is normalised whole, once the next piece shows where it ends.
  size_t lead = 0;
  while (lead < bytes.size() && isBreak(bytes[lead])) ++lead;
  breaks_.append(bytes.data(), lead);
  bytes.remove_prefix(lead);
  if (bytes.empty()) return;
  normalised(breaks_);
  breaks_.clear();
  size_t tail = bytes.size();
  while (tail > 0 && isBreak(bytes[tail - 1])) --tail;
  breaks_.assign(bytes.data() + tail, bytes.size() - tail);
  normalised(bytes.substr(0, tail));
}

TextStore TextStore::Builder::finish() {
  normalised(breaks_);
  breaks_.clear();
  Spliced src;
  src.add(block_);
  built_->appendChunks(src);
  block_.clear();
  built_->recount(0);
  TextStore store;
  if (built_->count() > 0) store.index_ = std::move(built_);
  built_ = std::make_shared<Index>();
  return store;
}

int64_t TextStore::size() const { return index().size(); }

int64_t TextStore::lineCount() const { return index().breakCount() + 1; }

int64_t TextStore::lineStart(int64_t line) const { return index().lineStart(line); }

int64_t TextStore::lineLength(int64_t line) const {
  return index().lineEnd(line) - index().lineStart(line);
}

int64_t TextStore::lineOf(int64_t pos) const {
  const Index& ix = index();
  if (ix.count() == 0) return 0;
  pos = std::clamp<int64_t>(pos, 0, ix.size());
  const size_t c = ix.chunkAt(pos);
  // Breaks whose LF lies before pos end earlier lines; a break's CR and LF stay on its line.
  return ix.breaksBefore(c) + lowerBound(ix.chunks[c]->breaks, pos - ix.start(c) - 1);
}

char TextStore::at(int64_t pos) const {
  const Index& ix = index();
  if (pos < 0 || pos >= ix.size()) return '\0';
  const size_t c = ix.chunkAt(pos);
  return ix.chunks[c]->bytes[static_cast<size_t>(pos - ix.start(c))];
}

bool TextStore::splitsBreak(int64_t pos) const {
  return pos > 0 && at(pos - 1) == '\r' && at(pos) == '\n';
}

std::string TextStore::text(int64_t from, int64_t length) const {
  const Index& ix = index();
  from = std::clamp<int64_t>(from, 0, ix.size());
  length = std::clamp<int64_t>(length, 0, ix.size() - from);
  std::string out;
  out.reserve(static_cast<size_t>(length));
  ix.copy(from, length, out);
  return out;
}

std::string_view TextStore::piece(int64_t pos, int64_t* chunkStart) const {
  const Index& ix = index();
  if (pos >= ix.size() || ix.count() == 0) {
    if (chunkStart) *chunkStart = ix.size();
    return {};
  }
  const size_t c = ix.chunkAt(std::max<int64_t>(pos, 0));
  if (chunkStart) *chunkStart = ix.start(c);
  return ix.chunks[c]->bytes;
}

TextStore::Index& TextStore::writableIndex() {
  if (index_.use_count() != 1) index_ = std::make_shared<Index>(*index_);
  // A snapshot read on another thread may have just let go of it: its reads come before
  // what follows.
  std::atomic_thread_fence(std::memory_order_acquire);
  // Sole owner of an index made by make_shared<Index>, hence not a const object: no copy or
  // view can see the change.
  return const_cast<Index&>(*index_);
}

void TextStore::replace(int64_t from, int64_t length, std::string_view bytes) {
  const Index& ix = index();
  from = std::clamp<int64_t>(from, 0, ix.size());
  length = std::clamp<int64_t>(length, 0, ix.size() - from);
  if (length == 0 && bytes.empty()) return;
  if (ix.count() == 0) {
    rebuildAround(0, 0, 0, 0, bytes);
    return;
  }
  const size_t first = ix.chunkAt(from);
  const size_t last = length > 0 ? ix.chunkAt(from + length - 1) : first;
  if (first == last && replaceInChunk(first, from, length, bytes)) return;
  rebuildAround(first, last, from, length, bytes);
}

// The common edit (a key, a line cut, a small paste): one chunk changes, in place when nothing
// else shares it. Declines, changing nothing, when the chunk would leave its size bounds or a
// CR LF would straddle two chunks.
bool TextStore::replaceInChunk(size_t c, int64_t from, int64_t length, std::string_view bytes) {
  const Index& ix = index();
  const Chunk& old = *ix.chunks[c];
  const int64_t oldSize = ssize(old.bytes);
  const int64_t k = ssize(bytes);
  const int64_t newSize = oldSize - length + k;
  if (newSize > kMaxChunk || newSize < (ix.count() > 1 ? kMinChunk : 1)) return false;
  const int64_t f = from - ix.start(c);
  // Byte p of the chunk after the edit, -1 past its end.
  const auto after = [&](int64_t p) -> int {
    if (p < f) return static_cast<unsigned char>(old.bytes[static_cast<size_t>(p)]);
    if (p < f + k) return static_cast<unsigned char>(bytes[static_cast<size_t>(p - f)]);
    p += length - k;
    return p < oldSize ? static_cast<unsigned char>(old.bytes[static_cast<size_t>(p)]) : -1;
  };
  if (f == 0 && c > 0 && after(0) == '\n' && ix.chunks[c - 1]->bytes.back() == '\r') return false;
  if (f + length == oldSize && c + 1 < ix.count() && after(newSize - 1) == '\r' &&
      ix.chunks[c + 1]->bytes.front() == '\n')
    return false;

  // Breaks before f - 1 and from the end of the removed range on stay (shifted); those whose CR
  // lies in [f - 1, f + k - 1] are found again.
  std::vector<Offset> middle;
  if (f >= 1 && after(f - 1) == '\r' && after(f) == '\n') middle.push_back(static_cast<Offset>(f - 1));
  appendBreaks(bytes, f, middle);
  if (k >= 1 && bytes.back() == '\r' && after(f + k) == '\n')
    middle.push_back(static_cast<Offset>(f + k - 1));
  const size_t head = static_cast<size_t>(upperBound(old.breaks, f - 2));
  const size_t tail = static_cast<size_t>(lowerBound(old.breaks, f + length));
  const size_t breakCount = head + middle.size() + (old.breaks.size() - tail);
  const int64_t delta = k - length;
  const int64_t breakDelta = static_cast<int64_t>(breakCount) - static_cast<int64_t>(old.breaks.size());

  Index& w = writableIndex();  // the old index, hence `old`, lives on if this copies
  std::shared_ptr<const Chunk>& slot = w.chunks[c];
  if (slot.use_count() == 1) {
    std::atomic_thread_fence(std::memory_order_acquire);  // as in writableIndex
    // Sole owner of a chunk made by make_shared<Chunk>: it may change where it lies.
    Chunk& chunk = const_cast<Chunk&>(*slot);
    std::string copied;
    const std::less<const char*> before;
    const char* data = chunk.bytes.data();
    if (before(bytes.data(), data + chunk.bytes.capacity()) &&
        before(data, bytes.data() + bytes.size())) {
      copied.assign(bytes);  // the new bytes are read from this very chunk
      bytes = copied;
    }
    chunk.breaks.reserve(breakCount);  // the only step below that may fail to allocate
    chunk.bytes.replace(static_cast<size_t>(f), static_cast<size_t>(length), bytes);
    std::vector<Offset>& b = chunk.breaks;
    for (size_t i = tail; i < b.size(); ++i) b[i] = static_cast<Offset>(b[i] + delta);
    b.erase(b.begin() + static_cast<std::ptrdiff_t>(head), b.begin() + static_cast<std::ptrdiff_t>(tail));
    b.insert(b.begin() + static_cast<std::ptrdiff_t>(head), middle.begin(), middle.end());
  } else {
    auto chunk = std::make_shared<Chunk>();
    chunk->bytes.reserve(static_cast<size_t>(newSize));
    chunk->bytes.append(old.bytes, 0, static_cast<size_t>(f));
    chunk->bytes.append(bytes);
    chunk->bytes.append(old.bytes, static_cast<size_t>(f + length));
    chunk->breaks.reserve(breakCount);
    chunk->breaks.assign(old.breaks.begin(), old.breaks.begin() + static_cast<std::ptrdiff_t>(head));
    chunk->breaks.insert(chunk->breaks.end(), middle.begin(), middle.end());
    for (size_t i = tail; i < old.breaks.size(); ++i)
      chunk->breaks.push_back(static_cast<Offset>(old.breaks[i] + delta));
    slot = std::move(chunk);
  }
  for (size_t i = c; i < w.count(); ++i) {
    w.bytesEnd[i] += delta;
    w.breaksEnd[i] += breakDelta;
  }
  return true;
}

// Any other edit: the chunks from `first` to `last` and one neighbour on each side are cut
// again from what remains of them and the new bytes (which splits large chunks, merges small
// ones and keeps every CR LF inside one chunk). The neighbours' outer ends are untouched bytes,
// so no break can straddle the region's borders. Builds a new index, so a failure to allocate
// leaves the text as it was.
void TextStore::rebuildAround(size_t first, size_t last, int64_t from, int64_t length,
                              std::string_view bytes) {
  const Index& ix = index();
  const size_t n = ix.count();
  const size_t lo = first > 0 ? first - 1 : 0;
  const size_t hi = n == 0 ? 0 : std::min(last + 1, n - 1);
  Spliced src;
  if (n > 0) {
    const auto add = [&](size_t c, int64_t a, int64_t b) {
      a = std::max(a, ix.start(c));
      b = std::min(b, ix.bytesEnd[c]);
      if (a < b)
        src.add(std::string_view(ix.chunks[c]->bytes)
                    .substr(static_cast<size_t>(a - ix.start(c)), static_cast<size_t>(b - a)));
    };
    for (size_t c = lo; c <= first; ++c) add(c, ix.start(lo), from);
    src.add(bytes);
    for (size_t c = last; c <= hi; ++c) add(c, from + length, ix.bytesEnd[hi]);
  } else {
    src.add(bytes);
  }

  auto next = std::make_shared<Index>();
  const size_t kept = n == 0 ? 0 : n - (hi - lo + 1);
  next->chunks.reserve(kept + static_cast<size_t>(src.size() / kTargetChunk) + 2);
  next->chunks.assign(ix.chunks.begin(), ix.chunks.begin() + static_cast<std::ptrdiff_t>(lo));
  next->appendChunks(src);
  const size_t regionEnd = next->count();
  if (n > 0)
    next->chunks.insert(next->chunks.end(), ix.chunks.begin() + static_cast<std::ptrdiff_t>(hi + 1),
                        ix.chunks.end());
  // Prefix sums: as they were before the region, counted in it, shifted after it.
  next->bytesEnd.reserve(next->count());
  next->breaksEnd.reserve(next->count());
  next->bytesEnd.assign(ix.bytesEnd.begin(), ix.bytesEnd.begin() + static_cast<std::ptrdiff_t>(lo));
  next->breaksEnd.assign(ix.breaksEnd.begin(), ix.breaksEnd.begin() + static_cast<std::ptrdiff_t>(lo));
  for (size_t c = lo; c < regionEnd; ++c) {
    next->bytesEnd.push_back(next->start(c) + ssize(next->chunks[c]->bytes));
    next->breaksEnd.push_back(next->breaksBefore(c) + static_cast<int64_t>(next->chunks[c]->breaks.size()));
  }
  if (n > 0) {
    const int64_t delta = next->start(regionEnd) - ix.bytesEnd[hi];
    const int64_t breakDelta = next->breaksBefore(regionEnd) - ix.breaksEnd[hi];
    for (size_t c = hi + 1; c < n; ++c) {
      next->bytesEnd.push_back(ix.bytesEnd[c] + delta);
      next->breaksEnd.push_back(ix.breaksEnd[c] + breakDelta);
    }
  }
  index_ = next->count() == 0 ? emptyIndex() : std::shared_ptr<const Index>(std::move(next));
}

bool TextStore::operator==(const TextStore& other) const {
  if (index_ == other.index_) return true;
  const Index& a = index();
  const Index& b = other.index();
  if (a.size() != b.size() || a.breakCount() != b.breakCount()) return false;
  size_t i = 0, j = 0;
  int64_t offA = 0, offB = 0;
  while (i < a.count() && j < b.count()) {
    const std::string& x = a.chunks[i]->bytes;
    const std::string& y = b.chunks[j]->bytes;
    if (a.chunks[i] == b.chunks[j] && offA == offB) {
      ++i;
      ++j;
      offA = offB = 0;
      continue;
    }
    const int64_t n = std::min(ssize(x) - offA, ssize(y) - offB);
    if (memcmp(x.data() + offA, y.data() + offB, static_cast<size_t>(n)) != 0) return false;
    offA += n;
    offB += n;
    if (offA == ssize(x)) ++i, offA = 0;
    if (offB == ssize(y)) ++j, offB = 0;
  }
  return true;
}

std::unique_ptr<TextLines> TextStore::lines() const { return std::make_unique<LinesView>(index_); }

int64_t TextStore::memoryUsed() const {
  const Index& ix = index();
  int64_t total = static_cast<int64_t>(sizeof(Index) +
                                       ix.chunks.capacity() * sizeof(ix.chunks[0]) +
                                       (ix.bytesEnd.capacity() + ix.breaksEnd.capacity()) * sizeof(int64_t));
  for (const auto& c : ix.chunks)
    total += static_cast<int64_t>(sizeof(Chunk) + 16 /* shared count */ + c->bytes.capacity() + 1 +
                                  c->breaks.capacity() * sizeof(Offset));
  return total;
}

int64_t TextStore::chunkCount() const { return static_cast<int64_t>(index().count()); }

std::string TextStore::structureFault() const {
  const Index& ix = index();
  const auto at = [](size_t c, const std::string& what) {
    return "chunk " + std::to_string(c) + ": " + what;
  };
  if (ix.bytesEnd.size() != ix.count() || ix.breaksEnd.size() != ix.count())
    return "prefix sums and chunks differ in number";
  int64_t bytes = 0, breaks = 0;
  for (size_t c = 0; c < ix.count(); ++c) {
    if (!ix.chunks[c]) return at(c, "null");
    const Chunk& chunk = *ix.chunks[c];
    const int64_t size = ssize(chunk.bytes);
    if (size == 0) return at(c, "empty");
    if (size > kMaxChunk) return at(c, "larger than the maximum");
    if (ix.count() > 1 && size < kMinChunk) return at(c, "smaller than the minimum");
    std::vector<Offset> found;
    appendBreaks(chunk.bytes, 0, found);
    if (found != chunk.breaks) return at(c, "break offsets disagree with its bytes");
    if (c > 0 && chunk.bytes.front() == '\n' && ix.chunks[c - 1]->bytes.back() == '\r')
      return at(c, "a CR LF straddles its start");
    bytes += size;
    breaks += static_cast<int64_t>(chunk.breaks.size());
    if (ix.bytesEnd[c] != bytes || ix.breaksEnd[c] != breaks) return at(c, "wrong prefix sums");
  }
  return {};
}
