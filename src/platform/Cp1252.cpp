#include "Cp1252.h"

#include <array>

namespace cp1252 {
namespace {

// 0x80..0x9F; the five undefined values map to the C1 control of the same number.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int byteOf(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
  for (int i = 0; i < 32; ++i)
    if (kHigh[size_t(i)] == c) return 0x80 + i;
  return -1;
}

}  // namespace

QString decode(const QByteArray& bytes) {
  QString out(bytes.size(), Qt::Uninitialized);
  QChar* d = out.data();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    d[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(b);
  }
  return out;
}

bool representable(char32_t c) { return byteOf(c) >= 0; }

QByteArray encode(const QString& text) {
  QByteArray out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i], text[i + 1]);
      ++i;
    }
    const int b = byteOf(c);
    if (b >= 0)
      out.append(char(b));
    else
      out.append("&#" + QByteArray::number(uint(c)) + ';');
  }
  return out;
}

QString referenceUnrepresentable(const QString& text) {
  for (const QChar c : text)
    if (!representable(c.unicode()) || c.isSurrogate()) return decode(encode(text));
  return text;
}

QChar upper(QChar c) {
  const char16_t u = c.unicode();
  if (u >= 'a' && u <= 'z') return QChar(u - 32);
  // Latin-1 lower-case letters à..þ except ÷; ÿ upper-cases to Ÿ (0x9F in the set).
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return QChar(u - 32);
  if (u == 0xFF) return QChar(0x0178);
  if (u == 0x0161) return QChar(0x0160);  // š
  if (u == 0x0153) return QChar(0x0152);  // œ
  if (u == 0x017E) return QChar(0x017D);  // ž
  return c;
}

char upperByte(char c) {
  static const std::array<char, 256> table = [] {
    std::array<char, 256> t{};
    for (int b = 0; b < 256; ++b) {
      const QChar u = upper(decode(QByteArray(1, char(b)))[0]);
      t[size_t(b)] = char(byteOf(u.unicode()));  // the upper case of a letter of the set is in the set
    }
    return t;
  }();
  return table[static_cast<unsigned char>(c)];
}

}  // namespace cp1252
