#include "FtpReply.h"

#include <cstring>
#include <limits>

namespace ftp {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads an integer at pos like the C library would, moving pos past it.
qint64 readInteger(const QByteArray& s, qsizetype& pos) {
  const qsizetype n = s.size();
  while (pos < n && isBlank(s[pos])) ++pos;
  bool negative = false;
  if (pos < n && (s[pos] == '+' || s[pos] == '-')) {
    negative = s[pos] == '-';
    ++pos;
  }
  qint64 value = 0;
  constexpr qint64 limit = std::numeric_limits<qint64>::max() / 10 - 1;
  while (pos < n && s[pos] >= '0' && s[pos] <= '9') {
    if (value < limit) value = value * 10 + (s[pos] - '0');
    ++pos;
  }
  return negative ? -value : value;
}

}  // namespace

int replyCode(const QByteArray& line) {
  qsizetype pos = 0;
  const qint64 v = readInteger(line, pos);
  return int(qBound(qint64(std::numeric_limits<int>::min()), v, qint64(std::numeric_limits<int>::max())));
}

qint64 secondInteger(const QByteArray& line) {
  qsizetype pos = 0;
  readInteger(line, pos);
  return readInteger(line, pos);
}

QByteArray quotedName(const QByteArray& line) {
  qsizetype pos = 0;
  readInteger(line, pos);
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  QByteArray name;
  if (pos >= line.size() || line[pos] != '"') return name;
  for (++pos; pos < line.size(); ++pos) {
    if (line[pos] != '"') {
      name += line[pos];
    } else if (pos + 1 < line.size() && line[pos + 1] == '"') {
      name += '"';
      ++pos;
    } else {
      break;
    }
  }
  return name;
}

PassiveTarget parsePassiveReply(const QByteArray& line) {
  PassiveTarget t;
  QByteArray rest = line;
  const qsizetype open = rest.indexOf('(');
  rest = rest.mid(open + 1);  // no "(" at all: the whole line is read
  QByteArray address;
  for (int i = 0; i < 4; ++i) {
    const qsizetype comma = rest.indexOf(',');
    address += (comma < 0 ? rest : rest.left(comma)) + '.';
    rest = comma < 0 ? QByteArray() : rest.mid(comma + 1);
  }
  address.chop(1);
  t.address = QString::fromLatin1(address);
  const qsizetype comma = rest.indexOf(',');
  const QByteArray high = comma < 0 ? rest : rest.left(comma);
  rest = comma < 0 ? QByteArray() : rest.mid(comma + 1);
  const qsizetype close = rest.indexOf(')');
  const QByteArray low = close < 0 ? rest : rest.left(close);
  qsizetype p = 0;
  const qint64 h = readInteger(high, p);
  p = 0;
  const qint64 l = readInteger(low, p);
  t.port = quint16((quint64(h) * 256 + quint64(l)) & 0xFFFF);  // unsigned: huge fields wrap, never overflow
  return t;
}

void ReplyAssembler::commit(int n) {
  if (n <= 0) return;
  held_ += qMin(n, spaceLeft());
  buf_[held_] = 0;
}

void ReplyAssembler::append(const char* data, int n) {
  n = qMin(n, spaceLeft());
  if (n <= 0) return;
  std::memcpy(buf_ + held_, data, size_t(n));
  commit(n);
}

bool ReplyAssembler::takeLine(QByteArray& line, bool acceptLF) {
  int end = -1;  // index of the line end's first byte
  int endLength = 0;
  for (int i = 0; i < held_; ++i) {
    if (acceptLF && buf_[i] == '\n') {
      end = i;
      endLength = 1;
      break;
    }
    if (!acceptLF && buf_[i] == '\r' && i + 1 < held_ && buf_[i + 1] == '\n') {
      end = i;
      endLength = 2;
      break;
    }
  }
  if (end < 0) return false;
  int length = end;
  while (length > 0 && (buf_[length - 1] == '\r' || buf_[length - 1] == '\n')) --length;
  line = QByteArray(buf_, length);
  const int consumed = end + endLength;
  std::memmove(buf_, buf_ + consumed, size_t(held_ - consumed));
  held_ -= consumed;
  buf_[held_] = 0;
  return true;
}

QString printable(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u >= 0x20 && u != 0x7f && !(u >= 0x80 && u < 0xa0)) {
      out += c;
    } else if (u == u'\r') {
      out += QLatin1String("\\r");
    } else if (u == u'\n') {
      out += QLatin1String("\\n");
    } else if (u == u'\t') {
      out += QLatin1String("\\t");
    } else {
      out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QChar(u'0'));
    }
  }
  return out;
}

QString printableBytes(const QByteArray& name) {
  QString out;
  for (const char ch : name) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x20 && b < 0x7f) out += QChar(b);
    else out += QStringLiteral("\\x%1").arg(int(b), 2, 16, QChar(u'0'));
  }
  return out;
}

}  // namespace ftp
