#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Cp1252.h"
#include "SystemError.h"
#include "FileBytes.h"
#include "TextFile.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QByteArray allBytes() {
  QByteArray b;
  for (int i = 0; i < 256; ++i) b.append(char(i));
  return b;
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
  EXPECT_EQ(error, QStringLiteral("Impossible d'enregistrer le fichier « %1 » : le fichier "
                                  "temporaire ne peut pas être créé dans le dossier « %2 » "
                                  "(fichier ou dossier introuvable).")
                       .arg(path, sub));
  EXPECT_FALSE(QFile::exists(path));
}

namespace {

std::string normalisedByQString(const std::string& in) {
  return textfile::normaliseLineBreaks(QString::fromLatin1(in.data(), qsizetype(in.size())))
      .toLatin1()
      .toStdString();
}

// Runs of breaks of every shape between a few letters, with a fixed seed.
std::string randomBreaks(std::mt19937& random, size_t length) {
  static const char kAlphabet[] = {'\r', '\n', '\r', '\n', 'a', 'b'};
  std::string s(length, ' ');
  for (char& c : s) c = kAlphabet[random() % sizeof kAlphabet];
  return s;
}

}  // namespace

TEST(TextFile, BytesAreNormalisedAsTheTextIsWhetherInPlaceOrCopied) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    const std::string in = randomBreaks(random, random() % 120);
    const std::string expected = normalisedByQString(in);

    std::string roomy = in;
    roomy.reserve(in.size() * 2 + 16);
    const char* before = roomy.data();
    textfile::normaliseLineBreaks(roomy);
    EXPECT_EQ(roomy, expected) << round;
    // With room enough the text is never held twice.
    EXPECT_EQ(roomy.data(), before) << round;

    std::string tight(in.begin(), in.end());
    tight.shrink_to_fit();
    textfile::normaliseLineBreaks(tight);
    EXPECT_EQ(tight, expected) << round;
  }
}

TEST(TextFile, LoadBytesGivesCrLfAndSaveBytesWritesThemBack) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("mélangé.xml"));
  QByteArray bytes = allBytes();
  writeBytes(path, bytes + "\nunix\rmac\n\rlfcr\r\nfin");
  const textfile::LoadedBytes loaded = textfile::loadBytes(path);
  ASSERT_TRUE(loaded.ok) << loaded.error.toStdString();
  // The lone LF (byte 10) and CR (byte 13) of the byte run become CR LF too.
  const QByteArray all = allBytes();
  const QByteArray expected = all.left(10) + "\r\n" + all.mid(11, 2) + "\r\n" + all.mid(14) +
             "\r\nunix\r\nmac\r\nlfcr\r\nfin";
  EXPECT_EQ(QByteArray::fromStdString(loaded.bytes), expected);
  // The text path gives the same characters.
  EXPECT_EQ(textfile::load(path).text, cp1252::decode(expected));

  const QString copy = dir.filePath(QStringLiteral("copie.xml"));
  EXPECT_EQ(textfile::saveBytes(copy, loaded.bytes), QString());
  EXPECT_EQ(readBytes(copy), expected);
}

TEST(TextFile, OnlyRegularFilesAreReadOrReplaced) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("tube"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString socketPath = dir.filePath(QStringLiteral("prise"));
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray socketName = QFile::encodeName(socketPath);
  ASSERT_LT(size_t(socketName.size()), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketName.constData(), size_t(socketName.size()));
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  const struct {
    QString path;
    const char* reason;
  } cases[] = {
      // A device that never ends: reading it would exhaust the memory.
      {QStringLiteral("/dev/zero"), "c'est un périphérique, pas un fichier ordinaire"},
      // A pipe without writer: opening or reading it would wait forever.
      {fifo, "c'est un tube nommé, pas un fichier ordinaire"},
      {socketPath, "c'est un socket, pas un fichier ordinaire"},
      {dir.path(), "c'est un dossier"},
  };
  for (const auto& c : cases) {
    const QString expected = QStringLiteral("Impossible d'ouvrir le fichier « %1 » : %2.")
                                 .arg(c.path, QString::fromUtf8(c.reason));
    const textfile::Loaded text = textfile::load(c.path);
    EXPECT_FALSE(text.ok);
    EXPECT_EQ(text.error, expected);
    const textfile::LoadedBytes bytes = textfile::loadBytes(c.path);
    EXPECT_FALSE(bytes.ok);
    EXPECT_EQ(bytes.error, expected);
  }
  // Files of the system show a size of 0 and still hold text.
  const textfile::LoadedBytes status = textfile::loadBytes(QStringLiteral("/proc/self/status"));
  ASSERT_TRUE(status.ok) << status.error.toStdString();
  EXPECT_NE(status.bytes.find("\r\nPid:"), std::string::npos);
  // Saving over a pipe or a socket must not replace it by a regular file.
  for (const QString& special : {fifo, socketPath}) {
    EXPECT_TRUE(textfile::saveBytes(special, "<a/>").startsWith(
        QStringLiteral("Impossible d'enregistrer le fichier « %1 » : c'est un ").arg(special)));
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(special).constData(), &st), 0);
    EXPECT_FALSE(S_ISREG(st.st_mode)) << special.toStdString();
  }
  ::close(sock);
}

namespace {
int64_t availableMemory = 0;
int64_t fakeMemory() { return availableMemory; }
}  // namespace

TEST(TextFile, AFileTooLargeForTheFreeMemoryIsRefusedBeforeReading) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("grand.xml"));
  writeBytes(path, QByteArray(100000, 'x'));
  const textfile::MemoryProbe previous = textfile::setAvailableMemoryProbe(fakeMemory);
  const int64_t mib = int64_t(1) << 20;
  const struct {
    int64_t available;
    bool loads;
  } cases[] = {
      {-1, true},                 // unknown: nothing is refused
      {1 << 30, true},            // plenty
      {64 * mib + 100000, false}, // the file fits, but leaves too little for the program
      {50 * mib, false},
      {0, false},
  };
  for (const auto& c : cases) {
    availableMemory = c.available;
    const textfile::LoadedBytes bytes = textfile::loadBytes(path);
    const textfile::Loaded text = textfile::load(path);
    EXPECT_EQ(bytes.ok, c.loads) << c.available;
    EXPECT_EQ(text.ok, c.loads) << c.available;
    if (!c.loads) {
      EXPECT_EQ(bytes.error, QStringLiteral("Le texte dépasse la capacité du mémo"));
      EXPECT_EQ(text.error, QStringLiteral("Le texte dépasse la capacité du mémo"));
      EXPECT_TRUE(bytes.bytes.empty());
    } else {
      EXPECT_EQ(bytes.bytes.size(), 100000u);
    }
  }
  textfile::setAvailableMemoryProbe(previous);
}

namespace {

// Sets a resource limit for the life of the object.
class ScopedLimit {
 public:
  ScopedLimit(int resource, rlim_t soft) : resource_(resource) {
    ::getrlimit(resource_, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = soft;
    ok_ = ::setrlimit(resource_, &lowered) == 0;
  }
  ~ScopedLimit() { ::setrlimit(resource_, &saved_); }
  bool ok() const { return ok_; }

 private:
  int resource_;
  rlimit saved_{};
  bool ok_ = false;
};

}  // namespace

TEST(TextFile, AWriteThatFailsHalfWayLeavesTheFileAsItWas) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("gardé.xml"));
  writeBytes(path, "original");
  const auto before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
  // A file size limit makes the write fail with EFBIG, for root too.
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  QString error;
  {
    const ScopedLimit limit(RLIMIT_FSIZE, 64);
    ASSERT_TRUE(limit.ok());
    error = textfile::saveBytes(path, std::string(100000, 'y'));
  }
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_EQ(error, QStringLiteral("Impossible d'enregistrer le fichier « %1 » : l'écriture a "
                                  "échoué (fichier trop volumineux) ; le fichier n'a pas été "
                                  "modifié.")
                       .arg(path));
  EXPECT_EQ(readBytes(path), QByteArray("original"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
}

TEST(TextFile, TheSystemsReasonsAreFrenchWhateverTheLocale) {
  std::setlocale(LC_ALL, "C");
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("fichier.xml"));
  writeBytes(file, "<a/>");
  const QString loopA = dir.filePath(QStringLiteral("boucle-a"));
  const QString loopB = dir.filePath(QStringLiteral("boucle-b"));
  ASSERT_TRUE(QFile::link(loopB, loopA));
  ASSERT_TRUE(QFile::link(loopA, loopB));
  const struct {
    QString path;
    const char* reason;
  } cases[] = {
      {file + QStringLiteral("/dedans.xml"), "un élément du chemin n'est pas un dossier"},
      {dir.filePath(QString(300, u'n')), "nom de fichier trop long"},
      {loopA, "trop de niveaux de liens symboliques"},
      {dir.filePath(QStringLiteral("absent.xml")), "il n'existe pas"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(textfile::loadBytes(c.path).error,
              QStringLiteral("Impossible d'ouvrir le fichier « %1 » : %2.")
                  .arg(c.path, QString::fromUtf8(c.reason)));
  {
    // No descriptor left: open fails after stat succeeded.
    const ScopedLimit limit(RLIMIT_NOFILE, 0);
    ASSERT_TRUE(limit.ok());
    const textfile::Loaded loaded = textfile::load(file);
    EXPECT_EQ(loaded.error, QStringLiteral("Impossible d'ouvrir le fichier « %1 » : trop de "
                                           "fichiers ouverts par le programme.")
                                .arg(file));
  }
  EXPECT_EQ(systemErrorText(EIO), QStringLiteral("erreur d'entrée-sortie"));
  EXPECT_EQ(systemErrorText(EACCES), QStringLiteral("permission refusée"));
  EXPECT_EQ(systemErrorText(99999), QStringLiteral("erreur du système n° 99999"));
}

namespace {

// A save fed piece by piece: the pieces in order once the producer is done, and nothing changed
// (no file beside left behind) when it gives up, before its first piece or after some.
TEST(TextFile, ASaveFedPieceByPieceReplacesTheFileOnlyWhenTheProducerFinishes) {
  struct Case {
    const char* name;
    int pieces;     // sent before the producer answers
    bool finishes;  // what it answers
    QByteArray expected;
  } cases[] = {
      {"three pieces", 3, true, "<a>\r\n<a>\r\n<a>\r\n"},
      {"no piece at all", 0, true, ""},
      {"gives up before its first piece", 0, false, "original"},
      {"gives up after two", 2, false, "original"},
  };
  for (const Case& c : cases) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("flux.xml"));
    writeBytes(path, "original");
    const QString error = textfile::saveProduced(path, 12, [&](const std::function<bool(std::string_view)>& piece) {
      for (int i = 0; i < c.pieces; ++i)
        if (!piece("<a>\r\n")) return false;
      return c.finishes;
    });
    EXPECT_EQ(error, QString()) << c.name;
    EXPECT_EQ(readBytes(path), c.expected) << c.name;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"flux.xml"}) << c.name;
  }
}

}  // namespace
