#include "EuroRate.h"

#include <cmath>

#include "DecimalText.h"

namespace accessories {

namespace {
constexpr int kShownDigits = 15;
}

long double convertEuro(long double amount, long long rate, EuroDirection direction) {
  // Rounded in long double, not through a 32-bit integer, so large amounts stay right.
  if (direction == EuroDirection::FrancsToEuros) {
    const long double euros = amount * 100000 / rate;
    return std::nearbyint(euros * 100) * 0.01L;
  }
  const long double francs = amount * rate * 0.000001L;
  return std::nearbyint(francs * 100) * 0.1L;
}

std::optional<QString> convertEuroText(const QString& amount, long long rate,
                                       EuroDirection direction) {
  const std::optional<long double> v = parseDecimal(amount);
  if (!v) return std::nullopt;
  return formatGeneral(convertEuro(*v, rate, direction), kShownDigits);
}

QString euroRateText(long long rate) { return formatGeneral(rate * 0.00001L, kShownDigits); }

}  // namespace accessories
