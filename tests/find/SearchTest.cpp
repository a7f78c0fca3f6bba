// The search unit on texts of a few words, and against a plain reference on random texts.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "Cp1252.h"
#include "Search.h"

namespace {

using Pos = std::optional<int64_t>;

SearchOptions opts(bool down, bool matchCase = false, bool wholeWord = false) {
  return SearchOptions{down, matchCase, wholeWord};
}

// Windows-1252 bytes written as Latin-1 escapes: "\xE9" is é, "\xC9" is É.
struct Case {
  const char* name;
  std::string text;
  int64_t selStart, selLength;
  std::string find;
  SearchOptions options;
  Pos expected;
};

TEST(ChercheTampon, FindsWhatSuivantSelects) {
  const Case cases[] = {
      {"down from the caret", "abx", 0, 0, "x", opts(true), 2},
      {"down after the selection", "abc abc", 0, 3, "abc", opts(true), 4},
      {"down past the last one", "abc abc", 4, 3, "abc", opts(true), std::nullopt},
      {"up from the end", "abc abc", 7, 0, "abc", opts(false), 4},
      {"up before the selection", "abc abc", 4, 3, "abc", opts(false), 0},
      {"up ends where the selection begins", "abcabc", 3, 0, "abc", opts(false), 0},
      {"accented upper finds lower", "un \xE9t\xE9 chaud", 0, 0, "\xC9T\xC9", opts(true), 3},
      {"match case keeps accents apart", "un \xE9t\xE9", 0, 0, "\xC9T\xC9", opts(true, true),
       std::nullopt},
      {"match case finds the exact bytes", "Abc abc", 0, 0, "abc", opts(true, true), 4},
      {"whole word skips a word that holds it", "concat cat", 0, 0, "cat", opts(true, false, true), 7},
      {"whole word skips a word that starts with it", "cats cat", 0, 0, "cat",
       opts(true, false, true), 5},
      {"whole word at the start of the text", "cat dog", 0, 0, "cat", opts(true, false, true), 0},
      {"whole word on the word the caret is on", "dog cat", 4, 0, "cat", opts(true, false, true), 4},
      {"whole word up to the start of the text", "cat cat", 4, 0, "cat", opts(false, false, true), 0},
      {"whole word up skips a word that ends with it", "cat concat", 10, 0, "cat",
       opts(false, false, true), 0},
      {"accented letters and hyphens separate words", "\xE9" "cat-cat_", 0, 0, "cat",
       opts(true, false, true), 1},
      {"digits are part of words", "cat1 cat", 0, 0, "cat", opts(true, false, true), 5},
      {"a text that starts with a delimiter is no word", "a -b", 0, 0, "-b", opts(true, false, true),
       std::nullopt},
      {"empty find text", "abc", 0, 0, "", opts(true), std::nullopt},
      {"empty text", "", 0, 0, "a", opts(true), std::nullopt},
      {"find text longer than the text", "ab", 0, 0, "abc", opts(true), std::nullopt},
      {"selection beyond the text is clamped", "ab", 9, 9, "b", opts(false), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChercheTampon(c.text, c.selStart, c.selLength, c.find, c.options), c.expected);
    EXPECT_EQ(ChercheTampon(TextStore(c.text), c.selStart, c.selLength, c.find, c.options),
              c.expected);
  }
}

TEST(DebutMotSuivant, StopsOnTheFirstCharacterOfAWord) {
  struct W {
    std::string text;
    int64_t p, c;
    int step;
    bool found;
    int64_t at;
  };
  const W cases[] = {
      {"ab cd", 0, 5, 1, true, 0},    // already on a word's start
      {"ab cd", 1, 4, 1, true, 3},    // inside a word: the next one
      {"ab cd", 2, 3, 1, true, 3},    // on a delimiter
      {"ab   ", 1, 4, 1, false, 5},   // no word after
      {"ab cd", 4, 5, -1, true, 3},   // inside a word: its start
      {"ab cd", 2, 3, -1, true, 0},   // on a delimiter: the word before
      {"ab cd", 1, 2, -1, true, 0},   // back to the start of the text
      {"  cd", 1, 2, -1, false, -1},  // nothing but delimiters before
      {"abcd", 3, 2, -1, false, 1},   // the word begins below the positions looked at
  };
  for (const W& w : cases) {
    SCOPED_TRACE(w.text + " from " + std::to_string(w.p) + " step " + std::to_string(w.step));
    int64_t p = w.p, c = w.c;
    EXPECT_EQ(DebutMotSuivant(w.text, p, c, w.step), w.found);
    if (w.found) {
      EXPECT_EQ(p, w.at);
    }
  }
}

// The plain reading of a search: every candidate in order, each checked in full.
Pos reference(const std::string& t, int64_t selStart, int64_t selLength, const std::string& s,
              const SearchOptions& o) {
  const int64_t L = int64_t(t.size()), m = int64_t(s.size());
  if (L == 0 || m == 0) return std::nullopt;
  selStart = std::clamp<int64_t>(selStart, 0, L);
  selLength = std::clamp<int64_t>(selLength, 0, L - selStart);
  const auto up = [&](char c) { return o.matchCase ? c : cp1252::upperByte(c); };
  const auto delim = [&](int64_t i) { return i < 0 || i >= L || isWordDelimiter(t[size_t(i)]); };
  const auto matchesAt = [&](int64_t p) {
    for (int64_t j = 0; j < m; ++j)
      if (up(t[size_t(p + j)]) != up(s[size_t(j)])) return false;
    return !o.wholeWord || (!delim(p) && delim(p - 1) && delim(p + m));
  };
  if (o.down) {
    for (int64_t p = selStart + selLength; p + m <= L; ++p)
      if (matchesAt(p)) return p;
  } else {
    for (int64_t p = selStart - m; p >= 0; --p)
      if (matchesAt(p)) return p;
  }
  return std::nullopt;
}

std::string randomText(std::mt19937& rng, size_t n, const std::string& alphabet) {
  std::string t(n, ' ');
  for (char& c : t) c = alphabet[rng() % alphabet.size()];
  return t;
}

const std::string kAlphabet = "aAbB \xE9\xC9-1\xFF\x9F";

TEST(ChercheTampon, AgreesWithThePlainReadingOnRandomTexts) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 20000; ++round) {
    const std::string t = randomText(rng, rng() % 24, kAlphabet);
    const std::string s = randomText(rng, 1 + rng() % 3, kAlphabet);
    const int64_t L = int64_t(t.size());
    const int64_t start = int64_t(rng() % (L + 2));
    const int64_t length = int64_t(rng() % 4);
    const SearchOptions o = opts(rng() % 2, rng() % 2, rng() % 2);
    const Pos want = reference(t, start, length, s, o);
    ASSERT_EQ(ChercheTampon(t, start, length, s, o), want)
        << "text \"" << t << "\" find \"" << s << "\" from " << start << "+" << length
        << " down " << o.down << " case " << o.matchCase << " word " << o.wholeWord;
  }
}

// Matches that straddle the store's chunks are found as in one buffer.
TEST(ChercheTampon, FindsMatchesAcrossTheStoresChunks) {
  std::mt19937 rng(7);
  std::string t = randomText(rng, 400000, "ab cd");
  const TextStore probe(t);
  std::vector<int64_t> seams;
  for (int64_t pos = 0;;) {
    int64_t start = 0;
    const std::string_view p = probe.piece(pos, &start);
    if (p.empty()) break;
    pos = start + int64_t(p.size());
    if (pos < int64_t(t.size())) seams.push_back(pos);
  }
  ASSERT_GE(seams.size(), 3u) << "the text should span several chunks";
  const std::string s = "Zq Zq";  // nowhere in the random text
  for (size_t i = 0; i < seams.size(); ++i)
    t.replace(size_t(seams[i] - 1 - int64_t(i % 5)), s.size(), s);
  const TextStore store(t);
  for (const bool down : {true, false})
    for (const bool word : {false, true}) {
      const SearchOptions o = opts(down, false, word);
      int64_t sel = down ? 0 : int64_t(t.size());
      for (;;) {
        const Pos want = reference(t, sel, down ? 0 : 0, s, o);
        const Pos got = ChercheTampon(store, sel, 0, s, o);
        ASSERT_EQ(got, want) << "down " << down << " word " << word << " from " << sel;
        if (!got) break;
        sel = down ? *got + 1 : *got + int64_t(s.size()) - 1;
      }
    }
}

// "Remplacer tout" done one replacement at a time, as the dialog's loop reads.
std::string replaceStepByStep(std::string t, int64_t selStart, int64_t selLength,
                              const std::string& s, const std::string& r, const SearchOptions& o,
                              int64_t& count) {
  count = 0;
  for (;;) {
    const Pos p = ChercheTampon(t, selStart, selLength, s, o);
    if (!p) return t;
    t.replace(size_t(*p), s.size(), r);
    ++count;
    // Down, the search goes on after the replacement; up, before it.
    selStart = o.down ? *p + int64_t(r.size()) : *p;
    selLength = 0;
  }
}

TEST(ReplaceAll, GivesTheTextOfOneReplacementAtATime) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20000; ++round) {
    const std::string t = randomText(rng, rng() % 20, "aAb -\xE9");
    const std::string s = randomText(rng, 1 + rng() % 2, "aAb -\xE9");
    const std::string r = randomText(rng, rng() % 4, "aAb -");
    const int64_t L = int64_t(t.size());
    const int64_t start = int64_t(rng() % (L + 1));
    const SearchOptions o = opts(rng() % 2, rng() % 2, rng() % 2);
    int64_t count = 0;
    const std::string want = replaceStepByStep(t, start, 0, s, r, o, count);
    const ReplaceAllResult got = replaceAll(TextStore(t), start, 0, s, r, o);
    ASSERT_EQ(got.text.text(), want) << "text \"" << t << "\" \"" << s << "\" -> \"" << r
                                     << "\" from " << start << " down " << o.down << " case "
                                     << o.matchCase << " word " << o.wholeWord;
    ASSERT_EQ(got.count, count);
  }
}

TEST(ReplaceAll, EndsWhereTheDialogsLoopLeavesTheCaret) {
  struct R {
    const char* name;
    std::string text;
    int64_t caret;
    std::string s, r;
    SearchOptions o;
    std::string result;
    int64_t count, caretAfter;
  };
  const R cases[] = {
      {"all from the start", "aaa", 0, "a", "b", opts(true), "bbb", 3, 3},
      {"not before the caret", "aaa", 1, "a", "b", opts(true), "abb", 2, 3},
      {"up from the end", "aaa", 3, "a", "b", opts(false), "bbb", 3, 1},
      {"up with the find text inside the replacement ends", "a a", 3, "a", "ba", opts(false),
       "ba ba", 2, 2},
      {"down with the find text inside the replacement ends", "a a", 0, "a", "ab", opts(true),
       "ab ab", 2, 5},
      {"whole word sees the replacement that follows", "a-a-", 4, "a-", ".",
       opts(false, false, true), "..", 2, 1},
  };
  for (const R& c : cases) {
    SCOPED_TRACE(c.name);
    const ReplaceAllResult got = replaceAll(TextStore(c.text), c.caret, 0, c.s, c.r, c.o);
    EXPECT_EQ(got.text.text(), c.result);
    EXPECT_EQ(got.count, c.count);
    EXPECT_EQ(got.caret, c.caretAfter);
  }
}

}  // namespace
