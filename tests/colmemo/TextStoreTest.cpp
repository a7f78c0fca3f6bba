// The text store against a plain std::string: long random edit sequences through the shared
// differential driver, and the large and awkward texts that random sequences rarely reach.
#include <gtest/gtest.h>

#include <random>

#include "StoreDriver.h"
#include "TextStore.h"

namespace {

using storecheck::compare;

std::string randomBytes(uint64_t seed, size_t size) {
  std::mt19937_64 rng(seed);
  std::string out(size, '\0');
  for (char& c : out) c = static_cast<char>(rng());
  return out;
}

// Lines of varying length, about `size` bytes, CR LF.
std::string linesOf(size_t size, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string out;
  while (out.size() < size) out += std::string(rng() % 90, static_cast<char>('a' + rng() % 26)) + "\r\n";
  return out;
}

TEST(TextStore, NormaliseMakesEveryBreakOneCrLf) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"abc", "abc"},
      {"\r", "\r\n"},
      {"\n", "\r\n"},
      {"\r\n", "\r\n"},
      {"\n\r", "\r\n"},
      {"\r\r", "\r\n\r\n"},
      {"\n\n", "\r\n\r\n"},
      {"\r\n\r", "\r\n\r\n"},
      {"\n\r\n", "\r\n\r\n"},
      {"\r\n\n\r", "\r\n\r\n"},
      {"a\rb\nc\r\nd\n\re", "a\r\nb\r\nc\r\nd\r\ne"},
      {std::string("\0\r\0", 3), std::string("\0\r\n\0", 4)},
  };
  for (const auto& c : cases) EXPECT_EQ(TextStore::normalise(c.in), c.out) << c.in;
  for (uint64_t seed = 0; seed < 50; ++seed) {
    std::string raw = randomBytes(seed, 5000);
    // Dense breaks, then sparse ones (runs longer than one scan step).
    const std::string_view alphabet = seed % 2 ? "\r\n\r\nab" : "\r\nabcdefghijklmnopqrstuvwxyz0123";
    for (char& c : raw) c = alphabet[static_cast<unsigned char>(c) % alphabet.size()];
    EXPECT_EQ(TextStore::normalise(raw), storecheck::referenceNormalise(raw)) << seed;
  }
}

TEST(TextStore, LoadingRawBytesEqualsNormalisingThenBuilding) {
  // Large enough to be loaded in several blocks, with every kind of break and a break astride
  // each block border somewhere in the mix.
  std::string mixed = randomBytes(12, 3'000'000);
  for (char& c : mixed) c = "\r\nabcdefghijklmnopqrstuvwxyz"[static_cast<unsigned char>(c) % 28];
  const std::string records = linesOf(3'000'000, 13);
  std::string lf = records, cr = records, lfcr;
  std::erase(lf, '\r');
  std::erase(cr, '\n');
  for (const char c : lf) lfcr += c == '\n' ? "\n\r" : std::string(1, c);
  const std::string cases[] = {"", "x", "\r", records, lf, cr, lfcr, mixed,
                               std::string(3'000'000, 'q'), std::string(2'000'000, '\n'),
                               mixed.substr(0, 5000), lfcr.substr(0, 5000)};
  for (const std::string& raw : cases) {
    const std::string normalised = TextStore::normalise(raw);
    ASSERT_EQ(normalised, storecheck::referenceNormalise(raw)) << raw.size();
    EXPECT_EQ(compare(TextStore::fromBytes(raw), normalised, false, raw.size()), "") << raw.size();
    // The same bytes in pieces of every kind of size, cut anywhere, inside breaks too.
    for (const size_t piece : {size_t(1), size_t(2), size_t(3), size_t(4093), size_t(1) << 20}) {
      if (piece < 4 && raw.size() > 100'000) continue;
      TextStore::Builder builder;
      for (size_t at = 0; at < raw.size(); at += piece)
        builder.append(std::string_view(raw).substr(at, piece));
      EXPECT_EQ(compare(builder.finish(), normalised, false, raw.size()), "")
          << raw.size() << " in pieces of " << piece;
    }
  }
}

TEST(TextStore, RandomEditsMatchAPlainString) {
  // Each seed's bytes drive some 500 operations; texts reach a few hundred KB (about ten
  // chunks), so chunks are split, merged and shared by snapshots and views.
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    const std::string fault = storecheck::drive(randomBytes(seed, 6000), 300 * 1024);
    EXPECT_EQ(fault, "") << "seed " << seed;
  }
}

TEST(TextStore, EmptyTextIsOneEmptyLine) {
  TextStore empty;
  EXPECT_EQ(compare(empty, "", true, 0), "");
  EXPECT_EQ(empty.chunkCount(), 0);
  EXPECT_TRUE(empty == TextStore(""));
  empty.replace(5, 10, "");
  EXPECT_EQ(compare(empty, "", true, 0), "");
  TextStore moved = std::move(empty);
  EXPECT_EQ(compare(empty, "", true, 0), "");  // a moved-from store is the empty text
  empty.replace(0, 0, "a\r\nb");
  EXPECT_EQ(compare(empty, "a\r\nb", true, 0), "");
}

TEST(TextStore, TwoMillionEmptyLines) {
  std::string text;
  for (int i = 0; i < 2'000'000; ++i) text += "\r\n";
  TextStore store(text);
  EXPECT_EQ(store.lineCount(), 2'000'001);
  EXPECT_EQ(compare(store, text, false, 1), "");
  for (int64_t line : {int64_t{0}, int64_t{1}, int64_t{999'999}, int64_t{2'000'000}}) {
    EXPECT_EQ(store.lineStart(line), 2 * line);
    EXPECT_EQ(store.lineOf(2 * line + 1), std::min<int64_t>(line, 2'000'000));
  }
  const auto lines = store.lines();
  int64_t nonEmpty = 0;
  for (int64_t i = 0; i < lines->count(); ++i) nonEmpty += !lines->line(i).empty();
  EXPECT_EQ(nonEmpty, 0);
  store.replace(2'000'000, 0, "x");
  text.insert(2'000'000, "x");
  EXPECT_EQ(store.lineLength(1'000'000), 1);
  EXPECT_EQ(compare(store, text, false, 2), "");
}

TEST(TextStore, FiveMegabyteLineWithoutBreak) {
  std::string text(5 * 1024 * 1024, 'a');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = '\r';  // lone CRs are plain characters
  TextStore store(text);
  EXPECT_EQ(store.lineCount(), 1);
  EXPECT_GT(store.chunkCount(), 50);
  EXPECT_EQ(compare(store, text, false, 3), "");
  const auto lines = store.lines();
  const std::string_view line = lines->line(0);
  EXPECT_EQ(line, text);
  EXPECT_EQ(lines->line(0).data(), line.data());  // put together once
  store.replace(2'500'000, 0, "\n");              // makes one break with the CR before it
  text.insert(2'500'000, "\n");
  EXPECT_EQ(compare(store, text, false, 4), "");
  text.erase(2'500'000, 1);
  EXPECT_EQ(lines->line(0), text);  // the view kept the text it was taken from
}

TEST(TextStore, EditsAtChunkBoundaries) {
  // Lines end exactly at some boundaries; the text also holds lone CRs and LFs so that an edit
  // can join a CR at one chunk's end with an LF at the next one's start.
  std::string base = linesOf(400 * 1024, 7);
  for (size_t i = 1000; i < base.size(); i += 997) base[i] = "\r\n"[i % 2];
  const TextStore original(base);
  std::vector<int64_t> boundaries;
  for (int64_t pos = 0, start = 0; pos < original.size();)
    boundaries.push_back(pos += static_cast<int64_t>(original.piece(pos, &start).size()));
  ASSERT_GT(boundaries.size(), 5u);
  const struct {
    int64_t offset, length;
    std::string bytes;
  } edits[] = {
      {0, 0, "x"},  {0, 0, "\r"},   {0, 0, "\n"},  {0, 0, "\r\n"}, {-1, 1, ""},   {0, 1, ""},
      {-1, 2, ""},  {-2, 4, "\r"},  {-1, 2, "\n"}, {-3, 3, ""},    {0, 3, ""},    {-1, 0, "\n\r"},
      {-5000, 10000, ""},  {-9000, 9000, "\r\n"},   {-40000, 70000, "y"},
  };
  for (const int64_t b : boundaries)
    for (const auto& e : edits) {
      TextStore store = original;
      std::string text = base;
      const int64_t from = std::clamp<int64_t>(b + e.offset, 0, static_cast<int64_t>(text.size()));
      const int64_t length = std::min<int64_t>(e.length, static_cast<int64_t>(text.size()) - from);
      store.replace(from, length, e.bytes);
      text.replace(static_cast<size_t>(from), static_cast<size_t>(length), e.bytes);
      ASSERT_EQ(compare(store, text, false, static_cast<uint64_t>(b)), "") << b << " " << e.offset;
    }
  EXPECT_EQ(compare(original, base, false, 0), "");  // every edit was on a snapshot
}

TEST(TextStore, DeletingEverythingThenRestoringTheSnapshot) {
  const std::string text = linesOf(1024 * 1024, 8);
  TextStore store(text);
  const TextStore snapshot = store;
  const auto view = store.lines();
  store.replace(0, store.size(), "");
  EXPECT_EQ(compare(store, "", true, 0), "");
  EXPECT_EQ(compare(snapshot, text, false, 5), "");
  store = snapshot;
  EXPECT_TRUE(store == snapshot);
  store.replace(10, 5, "edit");
  EXPECT_EQ(compare(snapshot, text, false, 6), "");
  EXPECT_FALSE(store == snapshot);
  EXPECT_EQ(view->count(), snapshot.lineCount());
}

TEST(TextStore, LargePasteBuildsChunksDirectly) {
  std::string text = linesOf(300 * 1024, 9);
  TextStore store(text);
  const std::string paste = linesOf(20 * 1024 * 1024, 10);
  store.replace(150 * 1024, 100, paste);
  text.replace(150 * 1024, 100, paste);
  EXPECT_EQ(compare(store, text, false, 7), "");
  EXPECT_GT(store.chunkCount(), 20 * 1024 / 64);
  EXPECT_LT(store.memoryUsed(), static_cast<int64_t>(text.size()) * 5 / 4);
}

TEST(TextStore, EqualTextsCompareEqualWhateverTheirChunks) {
  const std::string text = linesOf(200 * 1024, 11);
  TextStore built(text);
  TextStore typed;
  for (size_t at = 0; at < text.size(); at += 5000) typed.replace(typed.size(), 0, text.substr(at, 5000));
  EXPECT_TRUE(built == typed);
  typed.replace(100000, 1, "#");
  EXPECT_FALSE(built == typed);
}

}  // namespace
