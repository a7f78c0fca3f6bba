#include "LineViews.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "StoreText.h"

namespace {

// Position of the first CR or LF in d[from, n), or n: the one pass over the buffer, sixteen
// bytes at a time.
int64_t findBreak(const char* d, int64_t from, int64_t n) {
  int64_t i = from;
#ifdef __SSE2__
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf)));
    if (m) return i + __builtin_ctz(unsigned(m));
  }
#endif
  for (; i < n; ++i)
    if (d[i] == '\r' || d[i] == '\n') return i;
  return n;
}

bool estFin(char c) { return c == '\r' || c == '\n'; }

}  // namespace

BufferLines::BufferLines(std::string bytes) : owned_(std::move(bytes)), text_(owned_) { index(); }

BufferLines::BufferLines(Borrow, std::string_view bytes) : text_(bytes) { index(); }

void BufferLines::index() {
  const char* d = text_.data();
  const auto n = int64_t(text_.size());
  int64_t block[1 << kBlockBits];
  int k = 0;
  block[k++] = 0;
  for (int64_t i = findBreak(d, 0, n); i < n; i = findBreak(d, i, n)) {
    const char pair = d[i] == '\r' ? '\n' : '\r';
    i += (i + 1 < n && d[i + 1] == pair) ? 2 : 1;
    if (k == (1 << kBlockBits)) {
      commit(block, k);
      k = 0;
    }
    block[k++] = i;
  }
  commit(block, k);
}

// Files the starts of the next block of lines, count_ onwards.
void BufferLines::commit(const int64_t* starts, int n) {
  const int64_t base = starts[0];
  if (starts[n - 1] - base <= 0xFFFF) {
    blocks_.push_back({base, -1});
    for (int j = 0; j < n; ++j, ++count_) {
      const auto piece = size_t(count_ >> kPieceBits);
      if (piece == pieces_.size()) pieces_.push_back(std::make_unique<uint16_t[]>(size_t(1) << kPieceBits));
      pieces_[piece][size_t(count_ & ((1 << kPieceBits) - 1))] = uint16_t(starts[j] - base);
    }
  } else {
    blocks_.push_back({base, int64_t(wide_.size())});
    wide_.insert(wide_.end(), starts, starts + n);
    count_ += n;
    // Lines of a wide block still own their slots in the pieces, so that every line finds
    // its slot by its number.
    while (pieces_.size() <= size_t((count_ - 1) >> kPieceBits))
      pieces_.push_back(std::make_unique<uint16_t[]>(size_t(1) << kPieceBits));
  }
}

std::string_view BufferLines::line(int64_t i) const {
  if (i < 0 || i >= count_) return {};
  const int64_t s = start(i);
  int64_t e = int64_t(text_.size());
  if (i + 1 < count_) {
    // A line holds no CR or LF, so the one or two break bytes before the next start are its break.
    e = start(i + 1) - 1;
    if (e > s && estFin(text_[size_t(e - 1)])) --e;
  }
  return text_.substr(size_t(s), size_t(e - s));
}

StringListLines::StringListLines(const QStringList& lines) {
  starts_.reserve(size_t(lines.size()) + 2);
  for (const QString& l : lines) {
    starts_.push_back(int64_t(bytes_.size()));
    bytes_ += storetext::encode(l);
  }
  if (lines.isEmpty()) starts_.push_back(0);
  starts_.push_back(int64_t(bytes_.size()));
}

std::string_view StringListLines::line(int64_t i) const {
  if (i < 0 || i >= count()) return {};
  return std::string_view(bytes_).substr(size_t(starts_[size_t(i)]), size_t(starts_[size_t(i) + 1] - starts_[size_t(i)]));
}
