#include "FileName.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>

#include "Cp1252.h"

namespace filename {
namespace {

constexpr char16_t kFirstKept = 0xDC80;
constexpr char16_t kLastKept = 0xDCFF;

// The length of the valid UTF-8 sequence at s[i], or 0: overlong forms, surrogates and code
// points past U+10FFFF are not valid.
int validSequence(const unsigned char* s, qsizetype n, qsizetype i, char32_t& code) {
  const unsigned char c = s[i];
  if (c < 0x80) {
    code = c;
    return 1;
  }
  int length;
  char32_t min;
  if ((c & 0xE0) == 0xC0) {
    length = 2, min = 0x80, code = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    length = 3, min = 0x800, code = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    length = 4, min = 0x10000, code = c & 0x07;
  } else {
    return 0;
  }
  if (i + length > n) return 0;
  for (int k = 1; k < length; ++k) {
    if ((s[i + k] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (s[i + k] & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

QString fromNative(const QByteArray& bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  QString name;
  name.reserve(n);
  for (qsizetype i = 0; i < n;) {
    char32_t code = 0;
    const int length = validSequence(s, n, i, code);
    if (length == 0) {
      name += QChar(char16_t(0xDC00 + s[i]));
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      name += QChar(QChar::highSurrogate(code));
      name += QChar(QChar::lowSurrogate(code));
    } else {
      name += QChar(char16_t(code));
    }
    i += length;
  }
  return name;
}

QByteArray toNative(const QString& name) {
  QByteArray bytes;
  bytes.reserve(name.size() + name.size() / 2);
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (c >= kFirstKept && c <= kLastKept) {
      bytes += char(c - 0xDC00);
      continue;
    }
    qsizetype length = 1;
    if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) length = 2;
    bytes += QStringView(name).mid(i, length).toUtf8();
    i += length - 1;
  }
  return bytes;
}

QString display(const QString& name) {
  QString shown;
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t c = name[i].unicode();
    if (c < kFirstKept || c > kLastKept) continue;
    if (shown.isEmpty()) shown = name;
    shown[i] = cp1252::decode(QByteArray(1, char(c - 0xDC00))).at(0);
  }
  return shown.isEmpty() ? name : shown;
}

QString recover(const QString& name) {
  struct stat st {};
  if (name.isEmpty() || ::lstat(toNative(name).constData(), &st) == 0) return name;
  const qsizetype slash = name.lastIndexOf(u'/');
  const QString leaf = name.mid(slash + 1);
  const QString folder = slash < 0 ? QString() : slash == 0 ? QStringLiteral("/") : recover(name.left(slash));
  const QString joined = slash < 0 ? leaf : slash == 0 ? u'/' + leaf : folder + u'/' + leaf;
  if (leaf.isEmpty()) return joined;
  DIR* d = ::opendir(slash < 0 ? "." : toNative(folder).constData());
  if (!d) return joined;
  QString found;
  int matches = 0;
  while (const dirent* e = ::readdir(d)) {
    const QByteArray entry(e->d_name);
    if (entry == "." || entry == "..") continue;
    const QString kept = fromNative(entry);
    if (QFile::decodeName(entry) != leaf && display(kept) != leaf) continue;
    found = kept;
    ++matches;
  }
  ::closedir(d);
  if (matches != 1) return joined;
  return slash < 0 ? found : slash == 0 ? u'/' + found : folder + u'/' + found;
}

}  // namespace filename
