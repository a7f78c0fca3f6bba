#include "TextFile.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <new>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include "Cp1252.h"
#include "FileName.h"
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

// What the process may still map under its address-space limit (ulimit -v), or -1 without one.
int64_t addressSpaceLeft() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return -1;
  std::FILE* f = std::fopen("/proc/self/status", "re");
  if (!f) return -1;
  char line[256];
  long long kib = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmSize: %lld kB", &kib) == 1) break;
  std::fclose(f);
  if (kib < 0) return -1;
  return std::max<int64_t>(0, int64_t(limit.rlim_cur) - int64_t(kib) * 1024);
}

// The least of the machine's free memory and what the process may still map.
int64_t availableMemory() {
  const int64_t machine = memAvailableFromProc();
  const int64_t process = addressSpaceLeft();
  if (machine < 0) return process;
  return process < 0 ? machine : std::min(machine, process);
}

MemoryProbe memoryProbe = availableMemory;

QHash<QString, int>& refusedForTests() {
  static QHash<QString, int> refused;
  return refused;
}

bool fitsInMemory(int64_t size, double costPerByte) {
  const int64_t available = memoryProbe();
  if (available < 0) return true;
  return double(size) * costPerByte <= double(available - kMemoryMargin);
}

QString openMessage(const QString& path, const QString& reason) {
  return QStringLiteral("Impossible d'ouvrir le fichier « %1 » : %2.").arg(filename::display(path), reason);
}

QString readMessage(const QString& path, const QString& reason) {
  return QStringLiteral("Impossible de lire le fichier « %1 » : %2.").arg(filename::display(path), reason);
}

QString saveMessage(const QString& path, const QString& reason) {
  return QStringLiteral("Impossible d'enregistrer le fichier « %1 » : %2.").arg(filename::display(path), reason);
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
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// The file's bytes as they are, with room reserved for the line breaks that gain a byte.
// Returns an empty string on success, else the message.
// Opens a regular file for reading, never waiting on a pipe or a device; fd and st describe it.
QString openRegularFile(const QString& path, double costPerByte, Descriptor& fd, struct stat& st) {
  const QByteArray native = filename::toNative(path);
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

QString readRegularFile(const QString& path, double costPerByte, std::string& out) {
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

// Writes all of data to fd; 0 or the errno of the failure.
int writeAll(int fd, const char* data, int64_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size_t(std::min<int64_t>(size, int64_t(1) << 30)));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += n;
    size -= n;
  }
  return 0;
}

// A link is followed to the file it names, so that saving keeps the link and changes its file.
QByteArray followLinks(QByteArray native) {
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return native;
    QByteArray target(qsizetype(st.st_size > 0 ? st.st_size : 4096), Qt::Uninitialized);
    const ssize_t n = ::readlink(native.constData(), target.data(), size_t(target.size()));
    if (n <= 0) return native;
    target.truncate(n);
    if (!target.startsWith('/')) {
      const qsizetype slash = native.lastIndexOf('/');
      if (slash >= 0) target.prepend(native.left(slash + 1));
    }
    native = target;
  }
  return native;
}

// A temporary file beside target, made with the rights a new file gets (0666 less the umask).
int createBeside(const QByteArray& target, QByteArray& temporary) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The replacement keeps the owner and group of the file it replaces where this program may set
// them (root may, another user only a group of its own), and its permissions.
void keepOwnerAndMode(int fd, const struct stat& old) {
  struct stat now {};
  if (::fstat(fd, &now) != 0) return;
  if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, uid_t(-1), old.st_gid);
  }
  // Changing the owner drops the set-user and set-group bits: the mode is set after it.
  (void)::fchmod(fd, old.st_mode & 07777);
}

// The file is opened when the first piece comes (or when produce ends having sent none), so a
// producer that gives up before writing leaves everything as it was, even in place.
QString write(const QString& path, int64_t size, const Producer& produce) {
  const QByteArray native = followLinks(filename::toNative(path));
  struct stat st {};
  const bool exists = ::stat(native.constData(), &st) == 0;
  // Replacing a device or a pipe by a regular file would break whatever uses it.
  if (exists && !S_ISREG(st.st_mode)) return saveMessage(path, notRegularReason(st.st_mode));
  if (exists && ::access(native.constData(), W_OK) != 0)
    return saveMessage(path, QStringLiteral("le fichier n'accepte pas l'écriture (%1)")
                                 .arg(systemErrorText(EACCES)));
  const QString folder = filename::display(QFileInfo(path).absolutePath());

  QByteArray temporary;
  bool inPlace = false;
  Descriptor file;
  const auto open = [&]() -> QString {
    int fd = createBeside(native, temporary);
    if (fd < 0) {
      const int e = errno;
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
      fd = ::open(native.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
      if (fd < 0)
        return saveMessage(path, QStringLiteral("le dossier « %1 » n'accepte pas de fichier "
                                                "temporaire et le fichier ne peut pas être "
                                                "écrit en place (%2)")
                                     .arg(folder, systemErrorText(errno)));
      inPlace = true;
    }
    file = Descriptor(fd);
    return {};
  };

  const auto writeFailure = [&](int e) {
    if (inPlace)
      return saveMessage(path, QStringLiteral("l'écriture en place a échoué (%1) ; le fichier "
                                              "peut être incomplet")
                                   .arg(systemErrorText(e)));
    ::unlink(temporary.constData());
    return saveMessage(path, QStringLiteral("l'écriture a échoué (%1) ; le fichier n'a pas été "
                                            "modifié")
                                 .arg(systemErrorText(e)));
  };
  QString refused;
  int error = 0;
  const bool produced = produce([&](std::string_view piece) {
    if (file.get() < 0 && (refused = open()).size() > 0) return false;
    error = writeAll(file.get(), piece.data(), int64_t(piece.size()));
    return error == 0;
  });
  if (!refused.isEmpty()) return refused;
  if (error) return writeFailure(error);
  if (!produced) {
    if (file.get() >= 0 && !inPlace) ::unlink(temporary.constData());
    return {};
  }
  if (file.get() < 0 && !(refused = open()).isEmpty()) return refused;
  const int fd = file.get();
  if (!inPlace && exists) keepOwnerAndMode(fd, st);
  // A rename that lands before the data would leave an empty file after a crash.
  if (::fsync(fd) != 0 && errno != EINVAL) return writeFailure(errno);
  if (::close(file.release()) != 0 && errno != EINTR) return writeFailure(errno);
  if (inPlace) return {};
  if (::rename(temporary.constData(), native.constData()) != 0) {
    const int e = errno;
    ::unlink(temporary.constData());
    return saveMessage(path, QStringLiteral("le fichier temporaire n'a pas pu remplacer le "
                                            "fichier (%1) ; le fichier n'a pas été modifié")
                                 .arg(systemErrorText(e)));
  }
  return {};
}

QString write(const QString& path, const char* data, int64_t size) {
  return write(path, size, [&](const std::function<bool(std::string_view)>& piece) {
    return piece(std::string_view(data, size_t(size)));
  });
}

}  // namespace

QString tooLargeMessage() { return QStringLiteral("Le texte dépasse la capacité du mémo"); }

MemoryProbe setAvailableMemoryProbe(MemoryProbe probe) {
  const MemoryProbe previous = memoryProbe;
  memoryProbe = probe ? probe : availableMemory;
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

QString readBlocks(const QString& path, const std::function<void(std::string_view)>& block,
                   double peakPerByte) {
  Descriptor fd;
  struct stat st {};
  if (QString refused = openRegularFile(path, peakPerByte, fd, st); !refused.isEmpty())
    return refused;
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
      if (total > st.st_size && !fitsInMemory(total, peakPerByte)) return tooLargeMessage();
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

QString saveProduced(const QString& path, int64_t sizeHint, const Producer& produce) {
  return write(path, sizeHint, produce);
}

}  // namespace textfile
