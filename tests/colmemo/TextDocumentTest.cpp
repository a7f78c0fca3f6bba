// The document's position and word rules on random texts: every move lands on a valid
// position, goes the way it says, and a character step back undoes a step on.
#include <gtest/gtest.h>

#include <random>

#include "TextDocument.h"

namespace {

std::string randomText(std::mt19937& rng, size_t length) {
  // Letters, digits, "_", blanks (no-break space too), marks, letters above ASCII, breaks and
  // the lone CR and LF that the store keeps as characters.
  static const std::string pieces[] = {"a", "Z", "7", "_", " ", "\t", "\xa0", "<", ">", "=",
                                       "\"", "\xe9", "\xc9", "\x9c", "\xd7", "\r\n", "\r", "\n"};
  std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
  std::string text;
  while (text.size() < length) text += pieces[pick(rng)];
  return text;
}

TEST(TextDocument, MovesLandOnValidPositionsAndGoTheirWay) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 300; ++round) {
    TextDocument doc;
    doc.setStore(TextStore(TextStore::normalise(randomText(rng, 1 + round % 60))));
    const TextStore& s = doc.store();
    const int64_t n = s.size();
    for (int64_t raw = -2; raw <= n + 2; ++raw) {
      const int64_t p = doc.validPosition(raw);
      ASSERT_FALSE(s.splitsBreak(p));
      ASSERT_TRUE(p >= 0 && p <= n);
      ASSERT_FALSE(s.splitsBreak(doc.validPosition(raw, true)));
      const int64_t next = doc.nextPosition(p);
      const int64_t previous = doc.previousPosition(p);
      ASSERT_FALSE(s.splitsBreak(next) || s.splitsBreak(previous));
      ASSERT_EQ(next > p, p < n) << p;
      ASSERT_EQ(previous < p, p > 0) << p;
      if (p < n) {
        ASSERT_EQ(doc.previousPosition(next), p);
      }

      const int64_t line = s.lineOf(p);
      const int64_t lineEnd = s.lineStart(line) + s.lineLength(line);
      const int64_t word = doc.nextWord(p);
      ASSERT_EQ(word > p, p < n) << p;
      // Within the line, or just past its break when at its end.
      ASSERT_TRUE(word <= lineEnd || (p == lineEnd && word == doc.nextPosition(p))) << p;
      const int64_t back = doc.previousWord(p);
      ASSERT_EQ(back < p, p > 0) << p;
      ASSERT_TRUE(back >= s.lineStart(line) || (p == s.lineStart(line) && back == previous)) << p;

      const auto [from, to] = doc.wordAt(p);
      ASSERT_LE(from, to);
      if (from < to) {
        ASSERT_TRUE(from >= s.lineStart(line) && to <= lineEnd);
        ASSERT_TRUE(p >= from && p <= to);
      }
    }
  }
}

}  // namespace
