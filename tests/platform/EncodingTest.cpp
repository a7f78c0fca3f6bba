#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <QStringEncoder>

#include "Cp1252.h"
#include "Encoding.h"

using encoding::Codec;

namespace {

std::string u8(const QString& s) { return s.toUtf8().toStdString(); }

// Decodes and encodes in pieces cut at the given places, as the store is read and written.
std::string decodeInPieces(std::string_view bytes, const Codec& codec, const std::vector<size_t>& cuts,
                           int64_t* undecodable = nullptr) {
  encoding::Decoder d(codec);
  std::string out;
  size_t at = 0;
  for (size_t cut : cuts) {
    cut = std::min(cut, bytes.size());
    if (cut < at) continue;
    d.decode(bytes.substr(at, cut - at), out);
    at = cut;
  }
  d.decode(bytes.substr(at), out);
  d.finish(out);
  if (undecodable) *undecodable = d.undecodable();
  return out;
}

std::string encodeInPieces(std::string_view store, const Codec& codec, bool bom,
                           const std::vector<size_t>& cuts) {
  encoding::Encoder e(codec, bom);
  std::string out;
  size_t at = 0;
  for (size_t cut : cuts) {
    cut = std::min(cut, store.size());
    if (cut < at) continue;
    EXPECT_TRUE(e.encode(store.substr(at, cut - at), out));
    at = cut;
  }
  EXPECT_TRUE(e.encode(store.substr(at), out));
  EXPECT_TRUE(e.finish(out));
  return out;
}

std::vector<size_t> randomCuts(std::mt19937& rng, size_t size) {
  std::vector<size_t> cuts;
  const int n = int(rng() % 6);
  for (int i = 0; i < n; ++i) cuts.push_back(size ? rng() % (size + 1) : 0);
  std::sort(cuts.begin(), cuts.end());
  return cuts;
}

// Every shape of bytes that is not UTF-8, around valid text.
std::vector<std::string> invalidUtf8Shapes() {
  return {"\xC3",            "a\xC3",         "\xE2\x82",        "\xF0\x9F\x98",     "\xC0\xAF",
          "\xE0\x80\xAF",    "\xF0\x80\x80\xAF", "\xED\xA0\x80",  "\xED\xB0\x80",     "\xED\xB3\xBF",
          "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\x80",          "\xBF\xBF",         "\xFE\xFF",
          "\xC3\xA9\xA9",    "\xE2\x82\xAC\x80", "x\xF0\x9F\x98\x80y\xF0",              "\xED\xB0"};
}

}  // namespace

TEST(Encoding, EachEncodingReadsItsTextAndWritesTheSameBytesForEveryLineEnd) {
  struct Case {
    const char* name;
    QString text;             // "|" stands for the line end
    std::string singleBytes;  // the bytes written by hand, or empty: Qt's encoder writes them
  };
  const QString accents = QString::fromUtf8("Orléans Besançon");
  const QString all = accents + QString::fromUtf8("|€ Œuvre œ Š|Ωμέγα 中文 😀");
  const std::vector<Case> cases = {
      {"UTF-8", all, {}},
      {"UTF-16LE", all, {}},
      {"UTF-16BE", all, {}},
      {"ISO-8859-1", accents + QString::fromUtf8("|ÿ\u0080\u009F"), {}},
      {"ISO-8859-15", QString::fromUtf8("Orléans|€ Œœ Š"), "Orl\xE9" "ans|\xA4 \xBC\xBD \xA6"},
      {"windows-1252", QString::fromUtf8("Orléans|€ Œuvre œ Š|\u0081\u008D\u008F\u0090\u009D"),
       "Orl\xE9" "ans|\x80 \x8Cuvre \x9C \x8A|\x81\x8D\x8F\x90\x9D"},
  };
  for (const Case& c : cases) {
    const Codec codec = Codec::forName(QString::fromLatin1(c.name));
    EXPECT_EQ(codec.name(), QString::fromLatin1(c.name));
    for (const char* end : {"\r\n", "\n", "\r", "\n\r"}) {
      SCOPED_TRACE(std::string(c.name) + " line end " + QByteArray(end).toHex().toStdString());
      QString text = c.text;
      text.replace('|', QString::fromLatin1(end));
      std::string bytes;
      if (c.singleBytes.empty()) {
        QStringEncoder qt(c.name);
        ASSERT_TRUE(qt.isValid());
        bytes = QByteArray(qt.encode(text)).toStdString();
      } else {
        for (char b : c.singleBytes) b == '|' ? bytes += end : bytes += b;
      }
      for (bool bom : {false, true}) {
        const std::string file = std::string(bom ? codec.byteOrderMark() : "") + bytes;
        if (bom && !codec.byteOrderMark().empty()) {
          const encoding::Detection detected = encoding::detect(file);
          EXPECT_EQ(detected.name, codec.name());
          EXPECT_EQ(detected.bomLength, int(codec.byteOrderMark().size()));
        }
        const std::string_view body = std::string_view(file).substr(bom ? codec.byteOrderMark().size() : 0);
        int64_t undecodable = -1;
        const std::string store = encoding::decode(body, codec, &undecodable);
        EXPECT_EQ(store, u8(text));
        EXPECT_EQ(undecodable, 0);
        EXPECT_EQ(encoding::encode(store, codec, bom).bytes, file);
        std::mt19937 rng(unsigned(bytes.size()));
        for (int i = 0; i < 20; ++i) {
          EXPECT_EQ(decodeInPieces(body, codec, randomCuts(rng, body.size())), store);
          EXPECT_EQ(encodeInPieces(store, codec, bom, randomCuts(rng, store.size())), file);
        }
      }
    }
  }
}

TEST(Encoding, ArbitraryBytesComeBackUnchanged) {
  std::vector<std::string> inputs = invalidUtf8Shapes();
  std::mt19937 rng(21);
  for (int i = 0; i < 300; ++i) {
    std::string s(rng() % 40, '\0');
    for (char& b : s) b = char(rng() % 4 ? rng() % 256 : "\xC3\xA9\xE2\x82\xAC\xED\xB0<!-"[rng() % 11]);
    inputs.push_back(s);
  }
  for (const char* name : {"UTF-8", "UTF-16LE", "UTF-16BE", "x-tovelo-unknown", "windows-1252", "ISO-8859-15",
                           "US-ASCII", "Shift_JIS", "ISO-2022-JP", "UTF-7"}) {
    const Codec codec = Codec::forName(QString::fromLatin1(name));
    for (const std::string& x : inputs) {
      SCOPED_TRACE(std::string(name) + " " + QByteArray::fromStdString(x).toHex(' ').toStdString());
      const std::string store = decodeInPieces(x, codec, randomCuts(rng, x.size()));
      EXPECT_EQ(encodeInPieces(store, codec, false, randomCuts(rng, store.size())), x);
      // Whatever the file held, the store form has no stray byte: each character is one.
      for (size_t at = 0; at < store.size();) {
        int n = 0;
        const char32_t c = encoding::codePointAt(store, at, &n);
        ASSERT_TRUE(c != 0xFFFD || store.compare(at, 3, "\xEF\xBF\xBD") == 0) << at;
        at += size_t(n);
      }
    }
  }
}

TEST(Encoding, InvalidUtf8IsKeptAsOneEscapePerByte) {
  const struct {
    std::string bytes;
    std::string store;
    int64_t escaped;
  } cases[] = {
      {"a\xC3", "a\xED\xB3\x83", 1},
      {"\xE2\x82\xAC", "\xE2\x82\xAC", 0},
      {"\xE2\x82z", "\xED\xB3\xA2\xED\xB2\x82z", 2},
      {"\xED\xB0\x80", "\xED\xB3\xAD\xED\xB2\xB0\xED\xB2\x80", 3},  // an escape's own bytes
      {"\xC0\xAF", "\xED\xB3\x80\xED\xB2\xAF", 2},
      {"\xF4\x90\x80\x80", "\xED\xB3\xB4\xED\xB2\x90\xED\xB2\x80\xED\xB2\x80", 4},
  };
  for (const auto& c : cases) {
    int64_t escaped = -1;
    EXPECT_EQ(encoding::decode(c.bytes, Codec::utf8(), &escaped), c.store);
    EXPECT_EQ(escaped, c.escaped);
  }
  // UTF-16: a lone surrogate is its two bytes, an odd last byte one.
  int64_t escaped = -1;
  EXPECT_EQ(encoding::decode(std::string("a\0\x00\xD8" "b\0\x41", 7), Codec::forName("UTF-16LE"), &escaped),
            "a\xED\xB0\x80\xED\xB3\x98" "b\xED\xB1\x81");
  EXPECT_EQ(escaped, 3);
}

TEST(Encoding, ASequenceReadAsACharacterWrittenOtherwiseIsKeptAloneAsEscapes) {
  // 87 90 reads as U+2252, which the converter writes as 81 E0: the rest still reads.
  const std::string bytes = "<a>\x87\x90\x82\xA0</a>";
  int64_t escaped = 0;
  const std::string store = encoding::decode(bytes, Codec::forName("Shift_JIS"), &escaped);
  EXPECT_EQ(encoding::toQString(store), QString::fromUtf8("<a>\uFFFD\uFFFDあ</a>"));
  EXPECT_EQ(escaped, 2);
  EXPECT_EQ(encoding::encode(store, Codec::forName("Shift_JIS"), false).bytes, bytes);
}

TEST(Encoding, DetectionFollowsTheMarkThenTheDeclarationThenTheBytes) {
  const struct {
    std::string head;
    const char* name;
    int bom;
    bool declared;
    bool known;
    encoding::Source source;
  } cases[] = {
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "UTF-8", 3, true, true, encoding::Source::ByteOrderMark},
      {std::string("\xFF\xFE<\0?\0", 6), "UTF-16LE", 2, false, true, encoding::Source::ByteOrderMark},
      {std::string("\xFE\xFF\0<", 4), "UTF-16BE", 2, false, true, encoding::Source::ByteOrderMark},
      {"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xE9</a>", "ISO-8859-1", 0, true, true, encoding::Source::Declaration},
      {"<?xml version='1.0' encoding='Latin-9'?>", "ISO-8859-15", 0, true, true, encoding::Source::Declaration},
      {"<?xml version=\"1.0\" encoding = \"WINDOWS-1252\" standalone=\"yes\"?>", "windows-1252", 0, true, true, encoding::Source::Declaration},
      {"<?xml encoding=\"Shift_JIS\"?><!ELEMENT a (#PCDATA)>", "Shift_JIS", 0, true, true, encoding::Source::Declaration},
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xE9</a>", "UTF-8", 0, true, true, encoding::Source::Declaration},
      {std::string("<\0?\0x\0m\0l\0 \0e\0n\0c\0o\0d\0i\0n\0g\0=\0\"\0U\0T\0F\0-\0001\0006\0\"\0?\0>\0", 48), "UTF-16LE", 0, true, true, encoding::Source::Declaration},
      {std::string("\0<\0?\0x\0m\0l\0 \0v\0=\0\"\0001\0\"\0?\0>", 26), "UTF-16BE", 0, false, true, encoding::Source::Content},
      // The declaration's own bytes are UTF-16: the name it gives cannot be how it is written.
      {std::string("\0<\0?\0x\0m\0l\0 \0e\0n\0c\0o\0d\0i\0n\0g\0=\0'\0l\0a\0t\0i\0n\0001\0'\0?\0>", 50), "UTF-16BE", 0, true, true, encoding::Source::Declaration},
      {"<?xml version=\"1.0\"?><a>\xC3\xA9</a>", "UTF-8", 0, false, true, encoding::Source::Content},
      {"<?xml version=\"1.0\"?><a>\xE9</a>", "windows-1252", 0, false, true, encoding::Source::Content},
      {"<a>Orl\xE9" "ans</a>", "windows-1252", 0, false, true, encoding::Source::Content},
      {"", "UTF-8", 0, false, true, encoding::Source::Content},
      {"<?xml version=\"1.0\" encoding=\"x-maison\"?><a>\xC3\xA9\xE9</a>", "x-maison", 0, true, false, encoding::Source::Declaration},
      // A name that contradicts the bytes it is written in is not how they are encoded.
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\xE9</a>", "windows-1252", 0, true, true, encoding::Source::Content},
      // Not a declaration: a processing instruction whose name starts with xml.
      {"<?xml-stylesheet encoding=\"ISO-8859-1\"?><a>\xC3\xA9</a>", "UTF-8", 0, false, true, encoding::Source::Content},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QByteArray::fromStdString(c.head).toHex(' ').toStdString());
    const encoding::Detection d = encoding::detect(c.head);
    EXPECT_EQ(d.name, QString::fromLatin1(c.name));
    EXPECT_EQ(d.codec.name(), d.name);
    EXPECT_EQ(d.bomLength, c.bom);
    EXPECT_EQ(d.declared, c.declared);
    EXPECT_EQ(d.known(), c.known);
    EXPECT_EQ(d.source, c.source);
  }
  // An unknown name reads as UTF-8, keeps what does not decode, and writes the same bytes back.
  const std::string odd = "<?xml version=\"1.0\" encoding=\"x-maison\"?><a>\xC3\xA9\xE9</a>";
  const encoding::Detection d = encoding::detect(odd);
  int64_t escaped = 0;
  const std::string store = encoding::decode(odd, d.codec, &escaped);
  EXPECT_EQ(encoding::toQString(store), QString::fromUtf8("<?xml version=\"1.0\" encoding=\"x-maison\"?><a>é\uFFFD</a>"));
  EXPECT_EQ(escaped, 1);
  EXPECT_EQ(encoding::encode(store, d.codec, false).bytes, odd);
}

TEST(Encoding, AFileReadDetectedOrForcedIsSavedBackAsItCame) {
  const struct {
    std::string file;
    const char* forced;  // nullptr: detected
    const char* text;
    const char* name;
  } cases[] = {
      {"\xEF\xBB\xBF<a>\xC3\xA9</a>", nullptr, "<a>\xC3\xA9</a>", "UTF-8"},
      {"<a>\xE9</a>", nullptr, "<a>\xC3\xA9</a>", "windows-1252"},
      {"<a>\xC3\xA9</a>", "windows-1252", "<a>\xC3\x83\xC2\xA9</a>", "windows-1252"},
      {"\xEF\xBB\xBF<a/>", "UTF-16LE", "\xEB\xAF\xAF\xE3\xB2\xBF\xE2\xBD\xA1\xED\xB0\xBE", "UTF-16LE"},
      {"\xEF\xBB\xBF<a/>", "utf8", "<a/>", "UTF-8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const encoding::Read r = c.forced ? encoding::read(c.file, Codec::forName(QString::fromLatin1(c.forced)))
                                      : encoding::read(c.file);
    EXPECT_EQ(r.text, c.text);
    EXPECT_EQ(r.detection.name, QString::fromLatin1(c.name));
    EXPECT_EQ(encoding::encode(r.text, r.detection.codec, r.detection.bomLength > 0).bytes, c.file);
  }
}

TEST(Encoding, WindowsCodePageDecodesEveryByteAsEarlierVersionsDid) {
  const Codec codec = Codec::forName("cp1252");
  ASSERT_EQ(codec.name(), "windows-1252");
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, char(b));
    const std::string store = encoding::decode(byte, codec);
    EXPECT_EQ(encoding::toQString(store), cp1252::decode(QByteArray(1, char(b)))) << b;
    EXPECT_EQ(encoding::encode(store, codec, false).bytes, byte) << b;
  }
}

TEST(Encoding, CharactersTheEncodingCannotHoldAreReferencesOrARefusalWithTheLine) {
  const Codec latin1 = Codec::forName("ISO-8859-1");
  const struct {
    const char* store;
    const char* bytes;  // nullptr: refused
    int line;
  } cases[] = {
      {"<a>\xE2\x82\xAC \xC3\xA9</a>", "<a>&#8364; \xE9</a>", 0},
      {"<a t=\"\xCE\xA9\" u='\xCE\xA9'>x</a>", "<a t=\"&#937;\" u='&#937;'>x</a>", 0},
      {"<a>\r\n<b>\xF0\x9F\x98\x80</b>", "<a>\r\n<b>&#128512;</b>", 0},
      {"<!DOCTYPE a [<!ENTITY e \"\xCE\xA9\"><!ATTLIST a t CDATA '\xCE\xA9'>]><a/>",
       "<!DOCTYPE a [<!ENTITY e \"&#937;\"><!ATTLIST a t CDATA '&#937;'>]><a/>", 0},
      {"<!-- fin --><a>\xCE\xA9</a><![CDATA[x]]>\xCE\xA9<?p?>\xCE\xA9",
       "<!-- fin --><a>&#937;</a><![CDATA[x]]>&#937;<?p?>&#937;", 0},
      {"<a>\r\n<\xCE\xA9/>", nullptr, 2},
      {"<a>\r\n\r\n<b \xCE\xA9=\"1\"/>", nullptr, 3},
      {"<a>\r\n<!-- \xCE\xA9 -->", nullptr, 2},
      {"<?xml version=\"1.0\" encoding=\"\xCE\xA9\"?>", nullptr, 1},
      {"<a>\r\n<?pi \xCE\xA9?>", nullptr, 2},
      {"<a>\r\n<![CDATA[ ]] \xCE\xA9]]>", nullptr, 2},
      {"<!DOCTYPE a [\r\n<!ELEMENT \xCE\xA9 ANY>]>", nullptr, 2},
      {"<a>\n\r\r\n<-\xCE\xA9", nullptr, 4},
  };
  std::mt19937 rng(7);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.store);
    const encoding::Encoded whole = encoding::encode(c.store, latin1, false);
    EXPECT_EQ(whole.ok, c.bytes != nullptr);
    EXPECT_EQ(whole.bytes, c.bytes ? c.bytes : "");
    EXPECT_EQ(whole.line, c.line);
    if (!c.bytes) {
      EXPECT_EQ(whole.character, char32_t(0x3A9));
    }
    // The markup is followed across pieces cut anywhere.
    const std::string_view store = c.store;
    for (size_t cut = 0; cut <= store.size(); ++cut) {
      encoding::Encoder e(latin1, false);
      std::string out;
      const bool ok = e.encode(store.substr(0, cut), out) && e.encode(store.substr(cut), out) && e.finish(out);
      EXPECT_EQ(ok, c.bytes != nullptr) << cut;
      EXPECT_EQ(e.refusedLine(), c.line) << cut;
      if (ok) {
        EXPECT_EQ(out, c.bytes) << cut;
      }
    }
  }
  EXPECT_EQ(encoding::encode("<a>\xCE\xA9</a>", Codec::forName("Shift_JIS"), false).bytes, "<a>\x83\xB6</a>");
  EXPECT_EQ(encoding::encode("<a>\xC3\xA9</a>", Codec::forName("Shift_JIS"), false).bytes, "<a>&#233;</a>");
  EXPECT_FALSE(encoding::encode("<\xC3\xA9/>", Codec::forName("Shift_JIS"), false).ok);
}

TEST(Encoding, WidgetTextAndStoreFormMeetCharacterForCharacter) {
  const Codec cp = Codec::forName("windows-1252");
  const struct {
    QString text;
    const char* codec;
    std::string store;
  } toStore[] = {
      {QString::fromUtf8("a€é"), "windows-1252", "a\xE2\x82\xAC\xC3\xA9"},
      {QString::fromUtf8("Ω😀"), "windows-1252", "&#937;&#128512;"},
      {QString::fromUtf8("Ω😀"), "UTF-16LE", "\xCE\xA9\xF0\x9F\x98\x80"},
      {QString(QChar(0xD800)) + 'x', "UTF-8", "\xEF\xBF\xBDx"},
      {QString(QChar(0xDC41)), "windows-1252", "&#65533;"},
  };
  for (const auto& c : toStore)
    EXPECT_EQ(encoding::fromQString(c.text, Codec::forName(QString::fromLatin1(c.codec))), c.store);
  // An escape, or a stray byte, is one U+FFFD.
  EXPECT_EQ(encoding::toQString("a\xED\xB3\xA9z\x80\xC3\xA9\xF0\x9F\x98\x80"), QString::fromUtf8("a\uFFFDz\uFFFDé😀"));
  EXPECT_EQ(encoding::escapedByte("a\xED\xB3\xA9", 1), 0xE9);
  EXPECT_EQ(encoding::escapedByte("a\xED\x9F\xBF", 1), -1);
  EXPECT_TRUE(cp.representable(U'€'));
  EXPECT_FALSE(cp.representable(U'Ω'));
  EXPECT_FALSE(Codec::forName("ISO-8859-1").representable(U'€'));
  EXPECT_TRUE(Codec::forName("ISO-8859-15").representable(U'€'));
  EXPECT_FALSE(Codec::forName("ISO-8859-15").representable(U'¤'));
  EXPECT_TRUE(Codec::forName("Shift_JIS").representable(U'中'));
  EXPECT_FALSE(Codec::forName("Shift_JIS").representable(U'é'));
  EXPECT_TRUE(Codec::forName("UTF-16BE").representable(U'😀'));
  EXPECT_FALSE(Codec::utf8().representable(0xDC41));
}

TEST(Encoding, StepsCountsAndCodePointsAgreeWithASlowWalk) {
  std::mt19937 rng(3);
  const char* pieces[] = {"a", "\r\n", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xED\xB3\xA9",
                          "\x80", "\xC3", "\xF0\x9F", "\xED\xA0\x80", "\xFF", "abcdefghij"};
  for (int round = 0; round < 500; ++round) {
    std::string s;
    for (int i = int(rng() % 12); i > 0; --i) s += pieces[rng() % std::size(pieces)];
    SCOPED_TRACE(QByteArray::fromStdString(s).toHex(' ').toStdString());
    std::vector<size_t> starts;
    QString slow;
    for (size_t at = 0; at < s.size();) {
      starts.push_back(at);
      int n = 0;
      const char32_t c = encoding::codePointAt(s, at, &n);
      ASSERT_GE(n, 1);
      EXPECT_EQ(n, encoding::charLength(s, at));
      const bool escapeOrStray = encoding::escapedByte(s, at) >= 0 || c == 0xFFFD;
      slow += escapeOrStray ? QString(QChar(0xFFFD)) : QString::fromUcs4(&c, 1);
      at += size_t(n);
    }
    EXPECT_EQ(encoding::toQString(s), slow);
    EXPECT_EQ(encoding::charCount(s), starts.size());
    starts.push_back(s.size());
    for (size_t i = 1; i < starts.size(); ++i) {
      EXPECT_EQ(encoding::previousCharStart(s, starts[i]), starts[i - 1]);
      EXPECT_EQ(encoding::charCount(s, starts[i - 1], starts.back()), starts.size() - i);
      EXPECT_EQ(encoding::advanceChars(s, starts[0], i), starts[i]);
    }
  }
}
