// Files and folders that refuse reading or writing. Root reads and writes through any
// permission, so when started as root this program gives up its rights before any test runs
// (CI runs as root); a test that could not lose them fails instead of passing for nothing.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FileBytes.h"
#include "TextFile.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

constexpr uid_t kNobody = 65534;

void setMode(const QString& path, mode_t mode) {
  ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

QStringList entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

TEST(FileRights, TheProgramRunsWithoutTheRightsOfRoot) {
  // Every other test here means something only if permissions are enforced.
  EXPECT_NE(::geteuid(), 0u);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("fermé"));
  writeBytes(path, "x");
  setMode(path, 0);
  EXPECT_FALSE(QFile(path).open(QIODevice::ReadOnly));
}

TEST(FileRights, UnreadableFilesAndFoldersGiveTheReason) {
  QTemporaryDir dir;
  const QString unreadable = dir.filePath(QStringLiteral("illisible.xml"));
  writeBytes(unreadable, "<a/>");
  setMode(unreadable, 0200);
  const QString closed = dir.filePath(QStringLiteral("fermé"));
  ASSERT_TRUE(QDir().mkdir(closed));
  const QString inside = closed + QStringLiteral("/doc.xml");
  writeBytes(inside, "<a/>");
  setMode(closed, 0600);  // no search right: nothing inside can be reached

  for (const QString& path : {unreadable, inside}) {
    const QString expected =
        QStringLiteral("Impossible d'ouvrir le fichier « %1 » : permission refusée.").arg(path);
    const textfile::Loaded text = textfile::load(path);
    EXPECT_FALSE(text.ok);
    EXPECT_EQ(text.error, expected);
    const textfile::LoadedBytes bytes = textfile::loadBytes(path);
    EXPECT_FALSE(bytes.ok);
    EXPECT_EQ(bytes.error, expected);
  }
  setMode(closed, 0700);
}

TEST(FileRights, SaveReplacesBesideTheFileAndWritesInPlaceOnlyWhenTheFolderRefuses) {
  const struct {
    const char* name;
    bool fileExists;
    mode_t fileMode;
    mode_t folderMode;
    const char* error;  // after "Impossible d'enregistrer le fichier « … » : "; empty: saved
  } cases[] = {
      {"ordinary", true, 0600, 0700, ""},
      // The folder refuses the file beside it: written in place.
      {"closed folder", true, 0600, 0500, ""},
      {"read-only file", true, 0400, 0700, "le fichier n'accepte pas l'écriture (permission refusée)"},
      {"read-only file, closed folder", true, 0400, 0500,
       "le fichier n'accepte pas l'écriture (permission refusée)"},
      {"new file, closed folder", false, 0600, 0500,
       "le dossier « %2 » n'accepte pas de nouveau fichier (permission refusée)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("dossier"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/doc.xml");
    if (c.fileExists) {
      writeBytes(path, "ancien");
      setMode(path, c.fileMode);
    }
    setMode(folder, c.folderMode);

    const QString error = textfile::saveBytes(path, "<nouveau/>\r\n");
    const QString text = textfile::save(path, QStringLiteral("<é/>"));
    setMode(folder, 0700);

    if (*c.error == '\0') {
      EXPECT_EQ(error, QString());
      EXPECT_EQ(text, QString());
      EXPECT_EQ(readBytes(path), QByteArray("<\xe9/>"));
    } else {
      const QString expected =
          QStringLiteral("Impossible d'enregistrer le fichier « %1 » : ").arg(path) +
          QString::fromUtf8(c.error).replace(QStringLiteral("%2"), folder) + u'.';
      EXPECT_EQ(error, expected);
      EXPECT_EQ(text, expected);
      if (c.fileExists) {
        EXPECT_EQ(readBytes(path), QByteArray("ancien"));
      }
    }
    // Nothing left beside the document, whatever happened.
    const QStringList expectedEntries =
        c.fileExists ? QStringList{QStringLiteral("doc.xml")} : QStringList{};
    EXPECT_EQ(entries(folder), expectedEntries);
  }
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::geteuid() == 0) {
    // A folder of our own in the system's temporary folder, handed to the unprivileged user.
    char work[] = "/tmp/tovelo-droits.XXXXXX";
    if (!::mkdtemp(work) || ::chown(work, kNobody, kNobody) != 0 || ::setgroups(0, nullptr) != 0 ||
        ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      std::perror("cannot give up the rights of root");
      return 1;
    }
    ::setenv("TMPDIR", work, 1);
    const int status = RUN_ALL_TESTS();
    ::rmdir(work);
    return status;
  }
  return RUN_ALL_TESTS();
}
