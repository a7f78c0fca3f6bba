// The read-only line views that the scans read: a buffer split at every kind of line break as
// the editor's loading splits it, a string list encoded once; and the byte upper-casing that
// key comparisons use.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Cp1252.h"
#include "LineViews.h"
#include "TextFile.h"

namespace {

std::vector<std::string> lignesDe(const TextLines& t) {
  std::vector<std::string> out;
  for (int64_t i = 0; i < t.count(); ++i) out.emplace_back(t.line(i));
  return out;
}

// What the editor's loading gives: every break made CR LF, then split at CR LF.
std::vector<std::string> commeLeChargement(std::string octets) {
  textfile::normaliseLineBreaks(octets);
  std::vector<std::string> out;
  size_t debut = 0;
  for (size_t i; (i = octets.find("\r\n", debut)) != std::string::npos; debut = i + 2) out.push_back(octets.substr(debut, i - debut));
  out.push_back(octets.substr(debut));
  return out;
}

TEST(BufferLines, EveryKindOfBreakEndsALine) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cas = {
      {"", {""}},
      {"a", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\n", {"a", ""}},
      {"a\nb\rc", {"a", "b", "c"}},
      {"a\n\rb", {"a", "b"}},          // LF CR is one break
      {"a\r\r\nb", {"a", "", "b"}},    // a lone CR, then CR LF
      {"\n\r\n", {"", "", ""}},        // LF CR, then a lone LF
      {"\r\n\r\n", {"", "", ""}},
      {std::string("x\0y\r\n\xff", 6), {std::string("x\0y", 3), "\xff"}},
  };
  for (const auto& [octets, attendu] : cas) {
    EXPECT_EQ(lignesDe(BufferLines(octets)), attendu) << octets;
    EXPECT_EQ(commeLeChargement(octets), attendu) << octets;
  }
}

TEST(BufferLines, RandomBytesSplitAsTheEditorLoadsThem) {
  std::mt19937 rng(20240611u);
  const std::string alphabet = "ab\r\n\r\n<>\xe9";
  for (int cas = 0; cas < 3000; ++cas) {
    std::string octets;
    for (int n = std::uniform_int_distribution<int>(0, 600)(rng); n > 0; --n)
      octets += alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng)];
    const BufferLines vue(BufferLines::borrow, octets);
    ASSERT_EQ(lignesDe(vue), commeLeChargement(octets)) << octets;
    // Borrowed: the views point into the caller's bytes.
    if (!vue.line(0).empty()) {
      EXPECT_EQ(vue.line(0).data(), octets.data());
    }
  }
}

// Blocks of 256 lines whose span passes 64 KiB keep full starts; the index comes in pieces of
// 65,536 lines. Lines of every length across those limits must come back whole.
TEST(BufferLines, LongLinesAndManyLinesCrossEveryIndexLimit) {
  std::string octets;
  std::vector<std::string> attendu;
  std::mt19937 rng(7);
  for (int i = 0; i < 140000; ++i) {
    const int longueur = i % 997 == 0 ? 70000 : (i % 50 == 0 ? 300 : std::uniform_int_distribution<int>(0, 12)(rng));
    std::string l(size_t(longueur), char('a' + i % 26));
    attendu.push_back(l);
    octets += l;
    octets += i % 3 == 0 ? "\n" : "\r\n";
  }
  attendu.emplace_back();
  const BufferLines vue(std::move(octets));
  ASSERT_EQ(vue.count(), int64_t(attendu.size()));
  for (int64_t i = 0; i < vue.count(); ++i) ASSERT_EQ(vue.line(i), attendu[size_t(i)]) << i;
  EXPECT_TRUE(vue.line(-1).empty());
  EXPECT_TRUE(vue.line(vue.count()).empty());
}

TEST(StringListLines, EachLineIsEncodedOnce) {
  const StringListLines vue({u"été"_qs, QString(), u"€ et ✓"_qs});
  ASSERT_EQ(vue.count(), 3);
  EXPECT_EQ(vue.line(0), "\xe9t\xe9");
  EXPECT_EQ(vue.line(1), "");
  EXPECT_EQ(vue.line(2), "\x80 et &#10003;");  // kept as the editor saves it
  EXPECT_TRUE(vue.line(3).empty());
  const StringListLines vide{QStringList()};
  EXPECT_EQ(vide.count(), 1);  // the empty text is one empty line
  EXPECT_EQ(vide.line(0), "");
}

TEST(Cp1252, ByteUpperCasingIsTheCharacterOne) {
  for (int b = 0; b < 256; ++b) {
    const QChar c = cp1252::decode(QByteArray(1, char(b)))[0];
    EXPECT_EQ(cp1252::decode(QByteArray(1, cp1252::upperByte(char(b))))[0], cp1252::upper(c)) << b;
  }
  EXPECT_EQ(cp1252::upperByte('\xe9'), '\xc9');  // é É
  EXPECT_EQ(cp1252::upperByte('\xff'), '\x9f');  // ÿ Ÿ
  EXPECT_EQ(cp1252::upperByte('\x9c'), '\x8c');  // œ Œ
  EXPECT_EQ(cp1252::upperByte('\xdf'), '\xdf');  // ß has no single upper case here
}

}  // namespace
