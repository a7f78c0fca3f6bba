#pragma once
// The euro converter's arithmetic: the rate is held as a whole number of hundred-thousandths of
// a franc per euro (655957 = 6,55957), and results are rounded half to even.
#include <optional>

#include <QString>

namespace accessories {

enum class EuroDirection { FrancsToEuros = 1, EurosToFrancs = 2 };

constexpr long long kDefaultEuroRate = 655957;

// Euros to the cent, or francs to the tenth of a franc.
long double convertEuro(long double amount, long long rate, EuroDirection direction);

// The amount typed converted and shown; nullopt when the text is not a number.
std::optional<QString> convertEuroText(const QString& amount, long long rate,
                                       EuroDirection direction);

// The rate as the window shows it ("6,55957").
QString euroRateText(long long rate);

}  // namespace accessories
