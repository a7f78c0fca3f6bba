#include "TextFile.h"

#include <functional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include "Cp1252.h"
#include "SystemError.h"

namespace textfile {
namespace {

// Room left for the rest of the program when a file is weighed against the free memory.
constexpr int64_t kMemoryMargin = int64_t(64) << 20;
// Memory needed per byte of the file: the bytes, their normalised copy at worst, and the
// line index of the store; the QString path adds two bytes a character and its own copy.
constexpr int64_t kBytesCost = 3;
constexpr int64_t kTextCost = 7;

int64_t memAvailableFromProc() {
  std::FILE* f = std::fopen("/proc/meminfo", "re");
  if (!f) return -1;
  char line[256];
  long long kib = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "MemAvailable: %lld kB", &kib) == 1) break;
  std::fclose(f);
  return kib < 0 ? -1 : int64_t(kib) * 1024;
}

MemoryProbe memoryProbe = memAvailableFromProc;

QHash<QString, int>& refusedForTests() {
  static QHash<QString, int> refused;
  return refused;
}

bool fitsInMemory(int64_t size, int64_t costPerByte) {
  const int64_t available = memoryProbe();
  if (available < 0) return true;
  return size <= (available - kMemoryMargin) / costPerByte;
}

QString openMessage(const QString& path, const QString& reason) {
  return QStringLiteral("Impossible d'ouvrir le fichier « %1 » : %2.").arg(path, reason);
}

QString readMessage(const QString& path, const QString& reason) {
  return QStringLiteral("Impossible de lire le fichier « %1 » : %2.").arg(path, reason);
}

QString saveMessage(const QString& path, const QString& reason) {
  return QStringLiteral("Impossible d'enregistrer le fichier « %1 » : %2.").arg(path, reason);
}

// Why a path that exists cannot be taken as a document.
QString notRegularReason(mode_t mode) {
  if (S_ISDIR(mode)) return QStringLiteral("c'est un dossier");
  if (S_ISCHR(mode) || S_ISBLK(mode))
    return QStringLiteral("c'est un périphérique, pas un fichier ordinaire");
  if (S_ISFIFO(mode)) return QStringLiteral("c'est un tube nommé, pas un fichier ordinaire");
  if (S_ISSOCK(mode)) return QStringLiteral("c'est un socket, pas un fichier ordinaire");
  return QStringLiteral("ce n'est pas un fichier ordinaire");
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// The file's bytes as they are, with room reserved for the line breaks that gain a byte.
// Returns an empty string on success, else the message.
// Opens a regular file for reading, never waiting on a pipe or a device; fd and st describe it.
QString openRegularFile(const QString& path, int64_t costPerByte, Descriptor& fd, struct stat& st) {
  const QByteArray native = QFile::encodeName(path);
  // stat before open: opening a device can have effects of its own (a tape rewinds).
  if (::stat(native.constData(), &st) != 0) {
    const int e = errno;
    if (e == ENOENT) return openMessage(path, QStringLiteral("il n'existe pas"));
    return openMessage(path, systemErrorText(e));
  }
  if (!S_ISREG(st.st_mode)) return openMessage(path, notRegularReason(st.st_mode));
  if (!fitsInMemory(st.st_size, costPerByte)) return tooLargeMessage();

  if (const int refused = refusedForTests().value(QFileInfo(path).absoluteFilePath()))
    return openMessage(path, systemErrorText(refused));
  // O_NONBLOCK: if the path became a pipe since stat, neither open nor read waits for a writer.
  fd = Descriptor(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (fd.get() < 0) return openMessage(path, systemErrorText(errno));
  if (::fstat(fd.get(), &st) != 0) return openMessage(path, systemErrorText(errno));
  if (!S_ISREG(st.st_mode)) return openMessage(path, notRegularReason(st.st_mode));
  return {};
}

QString readRegularFile(const QString& path, int64_t costPerByte, std::string& out) {
  Descriptor fd;
  struct stat st {};
  if (QString refused = openRegularFile(path, costPerByte, fd, st); !refused.isEmpty())
    return refused;

  try {
    const auto size = size_t(st.st_size);
    out.clear();
    out.reserve(size + size / 16 + 64);
    // Files of the system report a size of 0 and still hold text: read until the end.
    out.resize(size);
    size_t got = 0;
    char more[65536];
    for (;;) {
      // Once the announced size is read, a small read tells the end from a file that grew
      // (or a file of the system, whose size shows 0) before the buffer is made larger.
      const bool full = got == out.size();
      char* into = full ? more : out.data() + got;
      const ssize_t n = ::read(fd.get(), into, full ? sizeof more : out.size() - got);
      if (n < 0) {
        if (errno == EINTR) continue;
        const int e = errno;
        out = std::string();
        return readMessage(path, systemErrorText(e));
      }
      if (n == 0) break;
      if (full) {
        if (!fitsInMemory(int64_t(got + size_t(n)), costPerByte)) {
          out = std::string();
          return tooLargeMessage();
        }
        out.append(more, size_t(n));
      }
      got += size_t(n);
    }
    out.resize(got);
  } catch (const std::bad_alloc&) {
    out = std::string();
    return tooLargeMessage();
  }
  return {};
}

// Room on the file system for size bytes written in place over a file of oldSize bytes.
bool roomFor(const QByteArray& nativePath, int64_t size, int64_t oldSize) {
  struct statvfs fs {};
  if (::statvfs(nativePath.constData(), &fs) != 0) return true;  // unknown: let the write tell
  const auto free = int64_t(fs.f_bavail) * int64_t(fs.f_frsize);
  return size <= free + oldSize;
}

QString write(const QString& path, const char* data, int64_t size) {
  const QByteArray native = QFile::encodeName(path);
  struct stat st {};
  const bool exists = ::stat(native.constData(), &st) == 0;
  // Replacing a device or a pipe by a regular file would break whatever uses it.
  if (exists && !S_ISREG(st.st_mode)) return saveMessage(path, notRegularReason(st.st_mode));
  const QString folder = QFileInfo(path).absolutePath();

  QSaveFile f(path);
  errno = 0;
  bool inPlace = false;
  if (!f.open(QIODevice::WriteOnly)) {
    const int e = errno;
    if (f.error() == QFileDevice::WriteError)
      return saveMessage(path, QStringLiteral("le fichier n'accepte pas l'écriture (%1)")
                                   .arg(systemErrorText(EACCES)));
    if (e != EACCES)
      return saveMessage(path, QStringLiteral("le fichier temporaire ne peut pas être créé dans "
                                              "le dossier « %1 » (%2)")
                                   .arg(folder, systemErrorText(e)));
    // The folder refuses new files; a file that may be written is then written in place,
    // which a failure can leave incomplete, so it is tried only with room enough for it.
    if (!exists)
      return saveMessage(path, QStringLiteral("le dossier « %1 » n'accepte pas de nouveau "
                                              "fichier (%2)")
                                   .arg(folder, systemErrorText(e)));
    if (!roomFor(native, size, st.st_size))
      return saveMessage(path, QStringLiteral("le dossier « %1 » n'accepte pas de fichier "
                                              "temporaire et le disque n'a pas la place "
                                              "d'écrire le fichier en place (%2)")
                                   .arg(folder, systemErrorText(ENOSPC)));
    f.setDirectWriteFallback(true);
    errno = 0;
    if (!f.open(QIODevice::WriteOnly))
      return saveMessage(path, QStringLiteral("le dossier « %1 » n'accepte pas de fichier "
                                              "temporaire et le fichier ne peut pas être "
                                              "écrit en place (%2)")
                                   .arg(folder, systemErrorText(errno)));
    inPlace = true;
  }

  const auto writeFailure = [&](int e) {
    if (inPlace)
      return saveMessage(path, QStringLiteral("l'écriture en place a échoué (%1) ; le fichier "
                                              "peut être incomplet")
                                   .arg(systemErrorText(e)));
    return saveMessage(path, QStringLiteral("l'écriture a échoué (%1) ; le fichier n'a pas été "
                                            "modifié")
                                 .arg(systemErrorText(e)));
  };
  errno = 0;
  if (f.write(data, size) != size) {
    const int e = errno;
    f.cancelWriting();
    return writeFailure(e);
  }
  errno = 0;
  if (!f.commit()) {
    const int e = errno;
    if (f.error() == QFileDevice::RenameError)
      return saveMessage(path, QStringLiteral("le fichier temporaire n'a pas pu remplacer le "
                                              "fichier (%1) ; le fichier n'a pas été modifié")
                                   .arg(systemErrorText(e)));
    return writeFailure(e);
  }
  return {};
}

}  // namespace

QString tooLargeMessage() { return QStringLiteral("Le texte dépasse la capacité du mémo"); }

MemoryProbe setAvailableMemoryProbe(MemoryProbe probe) {
  const MemoryProbe previous = memoryProbe;
  memoryProbe = probe ? probe : memAvailableFromProc;
  return previous;
}

void refuseReadingForTests(const QString& path, int e) {
  const QString key = QFileInfo(path).absoluteFilePath();
  if (e == 0)
    refusedForTests().remove(key);
  else
    refusedForTests().insert(key, e);
}

QString normaliseLineBreaks(const QString& text) {
  // Fast path: files written by this editor already use CR LF everywhere.
  bool clean = true;
  for (qsizetype i = 0; i < text.size() && clean; ++i) {
    const QChar c = text[i];
    if (c == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n')
        ++i;
      else
        clean = false;
    } else if (c == u'\n') {
      clean = false;
    }
  }
  if (clean) return text;

  QString out;
  out.reserve(text.size() + text.size() / 16);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'\r' || c == u'\n') {
      const QChar pair = (c == u'\r') ? u'\n' : u'\r';
      if (i + 1 < text.size() && text[i + 1] == pair) ++i;
      out += u"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

void normaliseLineBreaks(std::string& bytes) {
  const size_t n = bytes.size();
  const char* s = bytes.data();
  // One pass to learn whether anything changes and by how many bytes the text grows.
  size_t grows = 0;
  bool changes = false;
  for (size_t i = 0; i < n; ++i) {
    const char c = s[i];
    if (c != '\r' && c != '\n') continue;
    const char pair = c == '\r' ? '\n' : '\r';
    if (i + 1 < n && s[i + 1] == pair) {
      changes |= c == '\n';
      ++i;
    } else {
      changes = true;
      ++grows;
    }
  }
  if (!changes) return;

  if (grows == 0) {  // only LF CR pairs: turned round where they lie
    for (size_t i = 0; i + 1 < n; ++i) {
      if (bytes[i] == '\r' && bytes[i + 1] == '\n') {
        ++i;
      } else if (bytes[i] == '\n' && bytes[i + 1] == '\r') {
        bytes[i] = '\r';
        bytes[++i] = '\n';
      }
    }
    return;
  }

  const size_t m = n + grows;
  if (bytes.capacity() >= m) {
    // In place from the end. Pairing from the end gives the same text as pairing from the
    // start: a run of breaks splits where two equal characters meet, and each alternating
    // piece of length k makes ceil(k / 2) breaks whichever end it is read from.
    bytes.resize(m);
    char* d = bytes.data();
    size_t r = n, w = m;
    while (r > 0) {
      const char c = d[--r];
      if (c != '\r' && c != '\n') {
        d[--w] = c;
        continue;
      }
      const char pair = c == '\r' ? '\n' : '\r';
      if (r > 0 && d[r - 1] == pair) --r;
      d[--w] = '\n';
      d[--w] = '\r';
    }
    return;
  }

  std::string out(m, '\0');
  char* d = out.data();
  size_t w = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = s[i];
    if (c != '\r' && c != '\n') {
      d[w++] = c;
      continue;
    }
    const char pair = c == '\r' ? '\n' : '\r';
    if (i + 1 < n && s[i + 1] == pair) ++i;
    d[w++] = '\r';
    d[w++] = '\n';
  }
  bytes.swap(out);
}

QStringList splitLines(const QString& crlfText) { return crlfText.split(QStringLiteral("\r\n")); }

QString readBlocks(const QString& path, const std::function<void(std::string_view)>& block) {
  Descriptor fd;
  struct stat st {};
  // The pieces are kept once, by the receiver: one byte of memory a byte of the file.
  if (QString refused = openRegularFile(path, 2, fd, st); !refused.isEmpty()) return refused;
  std::vector<char> buffer(size_t(1) << 20);
  int64_t total = 0;
  try {
    for (;;) {
      const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return readMessage(path, systemErrorText(errno));
      }
      if (n == 0) return {};
      // A file that grows while it is read is weighed again.
      total += n;
      if (total > st.st_size && !fitsInMemory(total, 2)) return tooLargeMessage();
      block(std::string_view(buffer.data(), size_t(n)));
    }
  } catch (const std::bad_alloc&) {
    return tooLargeMessage();
  }
}

LoadedBytes loadRawBytes(const QString& path) {
  LoadedBytes r;
  r.error = readRegularFile(path, kBytesCost, r.bytes);
  r.ok = r.error.isEmpty();
  return r;
}

LoadedBytes loadBytes(const QString& path) {
  LoadedBytes r;
  r.error = readRegularFile(path, kBytesCost, r.bytes);
  if (!r.error.isEmpty()) return r;
  try {
    normaliseLineBreaks(r.bytes);
  } catch (const std::bad_alloc&) {
    r.bytes = std::string();
    r.error = tooLargeMessage();
    return r;
  }
  r.ok = true;
  return r;
}

Loaded load(const QString& path) {
  Loaded r;
  std::string bytes;
  r.error = readRegularFile(path, kTextCost, bytes);
  if (!r.error.isEmpty()) return r;
  try {
    // Breaks are single bytes in the character set, so normalising before decoding is the same.
    normaliseLineBreaks(bytes);
    r.text = cp1252::decode(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())));
  } catch (const std::bad_alloc&) {
    r.text.clear();
    r.error = tooLargeMessage();
    return r;
  }
  r.ok = true;
  return r;
}

QString save(const QString& path, const QString& text) {
  const QByteArray bytes = cp1252::encode(text);
  return write(path, bytes.constData(), bytes.size());
}

QString saveBytes(const QString& path, std::string_view bytes) {
  return write(path, bytes.data(), int64_t(bytes.size()));
}

}  // namespace textfile
