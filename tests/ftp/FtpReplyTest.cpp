// Reply lines: their assembly in the fixed buffer and the values read from them.
#include "FtpReply.h"

#include <gtest/gtest.h>

#include <QList>

namespace {

TEST(FtpReply, CodesAreReadAsIntegersAtTheStartOfTheLine) {
  const struct {
    const char* line;
    int code;
  } cases[] = {{"220 Bienvenue", 220}, {"  \t331 Mot de passe", 331}, {"226-suite", 226}, {"+150 x", 150},
               {"-5", -5}, {"abc", 0}, {"", 0}, {"99999999999999999999 trop", 2147483647}};
  for (const auto& c : cases) EXPECT_EQ(ftp::replyCode(c.line), c.code) << c.line;
  EXPECT_EQ(ftp::secondInteger("213 123456789012"), 123456789012);
  EXPECT_EQ(ftp::secondInteger("213"), 0);
}

// What a hostile server says reaches a terminal: no control character goes out as it is.
TEST(FtpReply, ControlCharactersAreShownEscaped) {
  const struct {
    QString text;
    const char* shown;
  } cases[] = {{QStringLiteral("220 \x1b[2Jpret"), "220 \\x1b[2Jpret"},
               {QStringLiteral("a\r\nb\tc"), "a\\r\\nb\\tc"},
               {QStringLiteral("bip\x07 del\x7f"), "bip\\x07 del\\x7f"},
               {QString(QChar(0x9b)) + QStringLiteral("31m"), "\\x9b31m"},
               {QStringLiteral("déjà vu"), "déjà vu"}};
  for (const auto& c : cases) EXPECT_EQ(ftp::printable(c.text), QString::fromUtf8(c.shown)) << c.shown;
  EXPECT_EQ(ftp::printableBytes("lat\xe9.txt"), QStringLiteral("lat\\xe9.txt"));
}

TEST(FtpReply, QuotedNamesTakeDoubledQuotesAsOne) {
  const struct {
    const char* line;
    const char* name;
  } cases[] = {{"257 \"/a/b\" is current directory.", "/a/b"},
               {"257 \"/dit \"\"oui\"\" ici\" created", "/dit \"oui\" ici"},
               {"250 OK, no name", ""},
               {"257 \"jamais ferme", "jamais ferme"},
               {"257 \"\"\"\"", "\""},
               {"257", ""}};
  for (const auto& c : cases) EXPECT_EQ(ftp::quotedName(c.line), QByteArray(c.name)) << c.line;
}

TEST(FtpReply, PassiveRepliesGiveAddressAndPort) {
  const struct {
    const char* line;
    const char* address;
    quint16 port;
  } cases[] = {{"227 Entering Passive Mode (10,0,0,5,19,137).", "10.0.0.5", 5001},
               {"227 =(127,0,0,1,255,255)", "127.0.0.1", 65535},
               {"227 (1,2,3,4,256,1)", "1.2.3.4", 1},  // taken to 16 bits
               {"227 nothing", "227 nothing...", 0},
               {"227 (1,2", "1.2..", 0}};
  for (const auto& c : cases) {
    const ftp::PassiveTarget t = ftp::parsePassiveReply(c.line);
    EXPECT_EQ(t.address, QString::fromLatin1(c.address)) << c.line;
    EXPECT_EQ(t.port, c.port) << c.line;
  }
  // Fields too large for any integer wrap instead of overflowing (the sanitizer build checks).
  EXPECT_EQ(ftp::parsePassiveReply("227 (1,2,3,4,99999999999999999999,99999999999999999999)").address,
            QStringLiteral("1.2.3.4"));
}

TEST(FtpReply, LinesEndAtLfOnlyWhenAllowed) {
  for (bool acceptLF : {true, false}) {
    ftp::ReplyAssembler a;
    const QByteArray bytes = "220-un\n220 deux\r\n\r\n331 fin";
    a.append(bytes.constData(), int(bytes.size()));
    QList<QByteArray> lines;
    QByteArray line;
    while (a.takeLine(line, acceptLF)) lines << line;
    const QList<QByteArray> expected =
        acceptLF ? QList<QByteArray>{"220-un", "220 deux", ""} : QList<QByteArray>{"220-un\n220 deux", ""};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(a.held(), 7);  // "331 fin" waits for its end
  }
}

TEST(FtpReply, ALineLongerThanTheBufferFillsIt) {
  ftp::ReplyAssembler a;
  const QByteArray big(5000, 'x');
  a.append(big.constData(), int(big.size()));
  EXPECT_EQ(a.held(), 4095);
  EXPECT_EQ(a.spaceLeft(), 0);
  QByteArray line;
  EXPECT_FALSE(a.takeLine(line, true));
}

}  // namespace
