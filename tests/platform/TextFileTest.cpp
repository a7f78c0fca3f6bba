#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Cp1252.h"
#include "TextFile.h"

namespace {

QByteArray allBytes() {
  QByteArray b;
  for (int i = 0; i < 256; ++i) b.append(char(i));
  return b;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QByteArray readBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

}  // namespace

TEST(Cp1252, EveryByteSurvivesDecodeAndEncode) {
  const QByteArray bytes = allBytes();
  const QString text = cp1252::decode(bytes);
  EXPECT_EQ(text[0x80], QChar(0x20AC));  // the euro sign
  EXPECT_EQ(text[0x81], QChar(0x0081));  // undefined values keep their number
  EXPECT_EQ(text[0xE9], QChar(0x00E9));
  EXPECT_EQ(cp1252::encode(text), bytes);
}

TEST(Cp1252, CharactersOutsideTheSetBecomeReferences) {
  EXPECT_EQ(cp1252::encode(QStringLiteral("a\u0153b")), QByteArray("a\x9c" "b"));  // œ is in the set
  EXPECT_EQ(cp1252::encode(QStringLiteral("\u4e2d")), QByteArray("&#20013;"));
  // A character beyond the basic plane is one reference, not two halves.
  EXPECT_EQ(cp1252::encode(QString::fromUcs4(U"x\U0001F600y")), QByteArray("x&#128512;y"));
  EXPECT_EQ(cp1252::referenceUnrepresentable(QStringLiteral("é\u03b1")), QStringLiteral("é&#945;"));
}

TEST(Cp1252, UpperCaseCoversAccentedLetters) {
  EXPECT_EQ(cp1252::upper(QChar(u'é')), QChar(u'É'));
  EXPECT_EQ(cp1252::upper(QChar(u'z')), QChar(u'Z'));
  EXPECT_EQ(cp1252::upper(QChar(u'÷')), QChar(u'÷'));
  EXPECT_EQ(cp1252::upper(QChar(0x00FF)), QChar(0x0178));
  EXPECT_EQ(cp1252::upper(QChar(u'1')), QChar(u'1'));
}

TEST(TextFile, EveryKindOfLineBreakBecomesCrLf) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a\r\nb", "a\r\nb"},   {"a\nb", "a\r\nb"},     {"a\rb", "a\r\nb"},
      {"a\n\rb", "a\r\nb"},   {"a\r\n\rb", "a\r\n\r\nb"}, {"a\n\nb", "a\r\n\r\nb"},
      {"\r", "\r\n"},         {"", ""},               {"a\r\n\nb", "a\r\n\r\nb"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(textfile::normaliseLineBreaks(QString::fromLatin1(c.in)), QString::fromLatin1(c.out))
        << "input " << QByteArray(c.in).toHex().constData();
}

TEST(TextFile, LoadAndSaveKeepEveryByte) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("tous les octés.xml"));
  // Every byte value, with CR LF as the only line break.
  QByteArray bytes = allBytes();
  bytes.replace('\r', 'x').replace('\n', 'y');
  bytes += "\r\nfin\r\n";
  writeBytes(path, bytes);
  const textfile::Loaded loaded = textfile::load(path);
  ASSERT_TRUE(loaded.ok) << loaded.error.toStdString();
  EXPECT_EQ(textfile::save(path, loaded.text), QString());
  EXPECT_EQ(readBytes(path), bytes);
}

TEST(TextFile, UnreadablePathsGiveAMessageNamingTheFile) {
  QTemporaryDir dir;
  const QString missing = dir.filePath(QStringLiteral("absent.xml"));
  const textfile::Loaded a = textfile::load(missing);
  EXPECT_FALSE(a.ok);
  EXPECT_TRUE(a.error.contains(missing));
  const textfile::Loaded b = textfile::load(dir.path());
  EXPECT_FALSE(b.ok);
  EXPECT_TRUE(b.error.contains(QStringLiteral("dossier")));
}

TEST(TextFile, FailedSaveLeavesNothingHalfWritten) {
  QTemporaryDir dir;
  const QString sub = dir.filePath(QStringLiteral("disparu"));
  ASSERT_TRUE(QDir().mkdir(sub));
  const QString path = sub + QStringLiteral("/doc.xml");
  ASSERT_TRUE(QDir(sub).removeRecursively());
  const QString error = textfile::save(path, QStringLiteral("<a/>"));
  EXPECT_TRUE(error.startsWith(QStringLiteral("Impossible d'enregistrer le fichier « ") + path));
  EXPECT_FALSE(QFile::exists(path));

  const QString kept = dir.filePath(QStringLiteral("gardé.xml"));
  writeBytes(kept, "original");
  QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const QString denied = textfile::save(kept, QStringLiteral("nouveau"));
  QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
  // Root may write anyway; otherwise the refused save must leave the old content.
  if (!denied.isEmpty()) {
    EXPECT_EQ(readBytes(kept), QByteArray("original"));
  }
}
