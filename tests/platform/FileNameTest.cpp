// Names that are not UTF-8 (a share written from Windows) open, save and show like any other.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FileName.h"
#include "TextFile.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Writes and reads by the name's bytes, behind Qt's back.
void writeNative(const QByteArray& path, const QByteArray& bytes) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path.toStdString();
  ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
  ::close(fd);
}

QByteArray readNative(const QByteArray& path) {
  QByteArray bytes(4096, '\0');
  const int fd = ::open(path.constData(), O_RDONLY);
  if (fd < 0) return "<absent>";
  const ssize_t n = ::read(fd, bytes.data(), size_t(bytes.size()));
  ::close(fd);
  return bytes.left(n < 0 ? 0 : n);
}

// The folder's names as bytes (Qt's listing leaves out a name it cannot decode).
QList<QByteArray> nativeEntries(const QByteArray& folder) {
  QList<QByteArray> names;
  if (DIR* d = ::opendir(folder.constData())) {
    while (const dirent* e = ::readdir(d))
      if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0) names << e->d_name;
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// QTemporaryDir cannot remove what it cannot name.
void removeEntries(const QByteArray& folder) {
  for (const QByteArray& name : nativeEntries(folder)) ::unlink((folder + '/' + name).constData());
}

}  // namespace

TEST(FileName, AnyBytesComeBackExactlyAndUtf8ReadsAsQtReadsIt) {
  std::mt19937 random(20);
  // Bytes of every kind: ASCII, valid sequences of every length, and their broken pieces.
  const QByteArray pieces[] = {"a", "/", ".", "\xe9", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                               "\xc3", "\xe2\x82", "\x80", "\xff", "\xed\xb2\x80", "\xc0\xaf",
                               "\xf4\x90\x80\x80"};
  for (int round = 0; round < 20000; ++round) {
    QByteArray bytes;
    const int n = int(random() % 8);
    for (int k = 0; k < n; ++k) bytes += pieces[random() % std::size(pieces)];
    const QString name = filename::fromNative(bytes);
    ASSERT_EQ(filename::toNative(name), bytes) << bytes.toHex().toStdString();
    if (QString::fromUtf8(bytes).toUtf8() == bytes) {
      ASSERT_EQ(name, QString::fromUtf8(bytes)) << bytes.toHex().toStdString();
    }
  }
}

TEST(FileName, KeptBytesShowAsWindows1252) {
  const struct {
    QByteArray bytes;
    QString shown;
  } cases[] = {
      {"nom\xe9.xml", QStringLiteral("nomé.xml")},
      {"r\xc3\xa9sum\xe9", QStringLiteral("résumé")},
      {"\x80uro", QStringLiteral("€uro")},
      {"plain.xml", QStringLiteral("plain.xml")},
  };
  for (const auto& c : cases) EXPECT_EQ(filename::display(filename::fromNative(c.bytes)), c.shown);
}

TEST(FileName, ADocumentNamedInWindows1252OpensSavesAndIsNamedInMessages) {
  QTemporaryDir dir;
  const QByteArray folder = QFile::encodeName(dir.path());
  const QByteArray native = folder + "/nom\xe9.xml";
  writeNative(native, "<a>\xe9</a>\n");
  const QString path = filename::fromNative(native);

  const textfile::LoadedBytes loaded = textfile::loadBytes(path);
  EXPECT_TRUE(loaded.ok) << loaded.error.toStdString();
  EXPECT_EQ(loaded.bytes, "<a>\xe9</a>\r\n");
  EXPECT_EQ(textfile::saveBytes(path, "<b/>\r\n"), QString());
  EXPECT_EQ(readNative(native), "<b/>\r\n");
  // Nothing was written under the name with the byte replaced, nothing left beside it.
  EXPECT_EQ(nativeEntries(folder), QList<QByteArray>{"nom\xe9.xml"});

  const QString absent = filename::fromNative(folder + "/absent\xe9.xml");
  EXPECT_EQ(textfile::loadBytes(absent).error,
            QStringLiteral("Impossible d'ouvrir le fichier « %1/absenté.xml » : il n'existe pas.")
                .arg(dir.path()));
  removeEntries(folder);
}

TEST(FileName, ANameDecodedByAWidgetFindsItsFile) {
  QTemporaryDir dir;
  const QByteArray folder = QFile::encodeName(dir.path());
  writeNative(folder + "/nom\xe9.xml", "x");
  writeNative(folder + "/autre\xe9.xml", "x");
  writeNative(folder + "/autre\xe8.xml", "x");
  // What a file dialog or a drop gives: the byte turned into U+FFFD.
  const QString shown = QFile::decodeName(folder + "/nom\xe9.xml");
  ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));
  EXPECT_EQ(filename::toNative(filename::recover(shown)), folder + "/nom\xe9.xml");
  // Typed as the captions and messages show it.
  EXPECT_EQ(filename::toNative(filename::recover(dir.filePath("nomé.xml"))), folder + "/nom\xe9.xml");
  // Two names decode alike: neither is guessed.
  const QString twice = QFile::decodeName(folder + "/autre\xe9.xml");
  EXPECT_EQ(filename::recover(twice), twice);
  EXPECT_EQ(filename::recover(dir.filePath("ordinaire.xml")), dir.filePath("ordinaire.xml"));
  removeEntries(folder);
}

TEST(AtomicSave, OverAnotherUsersFileKeepsItsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  QTemporaryDir dir;
  const QString path = dir.filePath("autrui.xml");
  const QByteArray native = QFile::encodeName(path);
  writeNative(native, "ancien");
  ASSERT_EQ(::chown(native.constData(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(native.constData(), 0640), 0);
  ASSERT_EQ(textfile::saveBytes(path, "nouveau"), QString());
  struct stat st {};
  ASSERT_EQ(::stat(native.constData(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(readNative(native), "nouveau");
}

TEST(AtomicSave, ThroughALinkReplacesTheFileItNamesAndKeepsTheLink) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir("vrai"));
  writeNative(QFile::encodeName(dir.filePath("vrai/doc.xml")), "ancien");
  ASSERT_EQ(::symlink("vrai/doc.xml", QFile::encodeName(dir.filePath("lien.xml")).constData()), 0);
  ASSERT_EQ(textfile::saveBytes(dir.filePath("lien.xml"), "nouveau"), QString());
  EXPECT_TRUE(QFileInfo(dir.filePath("lien.xml")).isSymLink());
  EXPECT_EQ(readNative(QFile::encodeName(dir.filePath("vrai/doc.xml"))), "nouveau");
  EXPECT_EQ(QDir(dir.filePath("vrai")).entryList(QDir::Files), QStringList{"doc.xml"});
}
