#include "StoreText.h"

#include <QByteArray>

#include <array>

#include "Cp1252.h"

namespace storetext {

QString decode(std::string_view stored) {
  return cp1252::decode(QByteArray::fromRawData(stored.data(), qsizetype(stored.size())));
}

std::string encode(const QString& text) {
  const QByteArray b = cp1252::encode(text);
  return std::string(b.constData(), size_t(b.size()));
}

void appendUtf8(std::string& out, std::string_view stored) {
  // Each byte's UTF-8 spelling, taken once from decode so that both always agree.
  static const auto spellings = [] {
    std::array<std::string, 256> s;
    for (int b = 0; b < 256; ++b) {
      const char c = char(b);
      s[size_t(b)] = decode(std::string_view(&c, 1)).toUtf8().toStdString();
    }
    return s;
  }();
  size_t plain = 0;
  for (size_t i = 0; i < stored.size(); ++i) {
    const auto b = static_cast<unsigned char>(stored[i]);
    if (b < 0x80) continue;
    out.append(stored.substr(plain, i - plain));
    out += spellings[b];
    plain = i + 1;
  }
  out.append(stored.substr(plain));
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && cp1252::upperByte(a[i]) != cp1252::upperByte(b[i])) return false;
  return true;
}

uint64_t hashIgnoringCase(std::string_view text) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (const char c : text) h = (h ^ uint8_t(cp1252::upperByte(c))) * 0x100000001b3ull;
  return h;
}

std::string upper(std::string_view text) {
  std::string u(text);
  for (char& c : u) c = cp1252::upperByte(c);
  return u;
}

}  // namespace storetext
