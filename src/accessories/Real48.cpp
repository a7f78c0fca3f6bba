#include "Real48.h"

#include <cmath>

namespace accessories {

namespace {
constexpr int kMantissaBits = 40;
constexpr int kMinExponent = -127;  // frexp's exponent of 2^-128
constexpr int kMaxExponent = 127;   // frexp's exponent of the largest value
}  // namespace

long double real48Max() {
  return std::ldexp((1.0L - std::ldexp(1.0L, -kMantissaBits)), kMaxExponent);
}

std::optional<long double> toReal48(long double x) {
  if (std::isnan(x) || std::isinf(x)) return std::nullopt;
  if (x == 0) return 0.0L;
  int exponent = 0;
  const long double fraction = std::frexp(x, &exponent);  // 0,5 <= |fraction| < 1
  long double mantissa = std::nearbyint(std::ldexp(fraction, kMantissaBits));
  if (std::fabs(mantissa) == std::ldexp(1.0L, kMantissaBits)) {  // rounded up to the next power
    mantissa /= 2;
    ++exponent;
  }
  if (exponent > kMaxExponent) return std::nullopt;
  if (exponent < kMinExponent) return 0.0L;
  return std::ldexp(mantissa, exponent - kMantissaBits);
}

}  // namespace accessories
