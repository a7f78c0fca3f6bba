#include "DecimalText.h"

#include <charconv>
#include <cmath>
#include <string>

namespace accessories {

std::optional<long double> parseDecimal(const QString& text) {
  std::string s;
  s.reserve(text.size());
  bool digitSeen = false;
  int i = 0;
  const int n = int(text.size());
  if (i < n && (text[i] == u'-' || text[i] == u'+')) s += char(text[i++].unicode());
  bool comma = false;
  for (; i < n; ++i) {
    const QChar c = text[i];
    if (c.unicode() >= '0' && c.unicode() <= '9') {
      s += char(c.unicode());
      digitSeen = true;
    } else if (c == u',' && !comma) {
      s += '.';
      comma = true;
    } else {
      break;
    }
  }
  if (!digitSeen) return std::nullopt;
  if (i < n && (text[i] == u'E' || text[i] == u'e')) {
    s += 'e';
    ++i;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) s += char(text[i++].unicode());
    bool exponentDigit = false;
    for (; i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9'; ++i) {
      s += char(text[i].unicode());
      exponentDigit = true;
    }
    if (!exponentDigit) return std::nullopt;
  }
  if (i != n) return std::nullopt;

  // from_chars takes no leading "+".
  const char* first = s.data() + (s[0] == '+' ? 1 : 0);
  long double value = 0;
  const auto [end, ec] = std::from_chars(first, s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size() || std::isinf(value)) return std::nullopt;
  return value;
}

QString formatGeneral(long double x, int digits, int fixedDigits) {
  if (fixedDigits <= 0) fixedDigits = digits;
  if (x == 0 || std::isnan(x)) return QStringLiteral("0");
  if (std::isinf(x)) return x < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  // Scientific form first: its rounding to `digits` places is exact, and it gives the decimal
  // exponent after rounding (9,99999 may become 1E1).
  char buffer[128];
  const auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific, digits - 1);
  if (ec != std::errc()) return QStringLiteral("0");
  const std::string sci(buffer, end);
  const bool negative = sci[0] == '-';
  const std::size_t ePos = sci.find('e');
  const int exponent = std::stoi(sci.substr(ePos + 1));
  std::string mantissa;
  for (std::size_t k = negative ? 1 : 0; k < ePos; ++k)
    if (sci[k] != '.') mantissa += sci[k];
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < fixedDigits) {
    if (exponent < 0) {
      out += "0," + std::string(std::size_t(-exponent - 1), '0') + mantissa;
    } else {
      const std::size_t whole = std::size_t(exponent) + 1;
      if (mantissa.size() <= whole) {
        out += mantissa + std::string(whole - mantissa.size(), '0');
      } else {
        out += mantissa.substr(0, whole) + "," + mantissa.substr(whole);
      }
    }
  } else {
    out += mantissa.substr(0, 1);
    if (mantissa.size() > 1) out += "," + mantissa.substr(1);
    out += "E" + std::to_string(exponent);
  }
  return QString::fromLatin1(out.c_str());
}

}  // namespace accessories
