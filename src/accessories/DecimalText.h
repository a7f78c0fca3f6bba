#pragma once
// Numbers as the accessories type and show them: decimal comma, an optional exponent
// ("1,5E20", "2E-7"), whatever the machine's locale.
#include <optional>

#include <QString>

namespace accessories {

// Reads "12", "12,5", ",5", "12,", "-3", "1,5E20", "2E-7". Anything else, the empty text and a
// magnitude beyond long double give nullopt.
std::optional<long double> parseDecimal(const QString& text);

// The shortest text of x rounded to `digits` significant digits: fixed notation from 1E-5 up
// to 10^fixedDigits (10^digits when not given), exponent notation outside.
QString formatGeneral(long double x, int digits, int fixedDigits = 0);

}  // namespace accessories
