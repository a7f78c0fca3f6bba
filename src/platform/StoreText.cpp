#include "StoreText.h"

#include <QByteArray>

#include "Cp1252.h"

namespace storetext {

QString decode(std::string_view stored) {
  return cp1252::decode(QByteArray::fromRawData(stored.data(), qsizetype(stored.size())));
}

std::string encode(const QString& text) {
  const QByteArray b = cp1252::encode(text);
  return std::string(b.constData(), size_t(b.size()));
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
