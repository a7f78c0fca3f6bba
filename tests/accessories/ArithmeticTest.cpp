// The accessories' arithmetic without windows: the 6-byte real, the numbers as typed and shown,
// the calculator's steps, the euro conversion and the clock's fields.
#include <gtest/gtest.h>

#include <cmath>

#include "ClockFields.h"
#include "DecimalText.h"
#include "EuroRate.h"
#include "PocketEngine.h"
#include "Real48.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace accessories;

namespace {

TEST(Real48, RoundsToFortyBitsAndKeepsItsRange) {
  const long double ulpAtOne = std::ldexp(1.0L, -39);
  struct Case {
    const char* what;
    long double in;
    std::optional<long double> out;
  } cases[] = {
      {"zero", 0, 0.0L},
      {"one", 1, 1.0L},
      {"half an ulp ties to even", 1 + ulpAtOne / 2, 1.0L},
      {"one and a half ulps ties to even", 1 + 3 * ulpAtOne / 2, 1 + 2 * ulpAtOne},
      {"largest", real48Max(), real48Max()},
      {"just below half an ulp above the largest", real48Max() * (1 + std::ldexp(1.0L, -42)),
       real48Max()},
      {"half an ulp above the largest", real48Max() + std::ldexp(1.0L, 86), std::nullopt},
      {"1,8E38 lies outside", 1.8e38L, std::nullopt},
      {"-1,8E38 lies outside", -1.8e38L, std::nullopt},
      {"smallest", std::ldexp(1.0L, -128), std::ldexp(1.0L, -128)},
      {"below the smallest becomes zero", std::ldexp(1.0L, -130), 0.0L},
      {"infinity", INFINITY, std::nullopt},
      {"not a number", NAN, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(toReal48(c.in), c.out);
  }
  EXPECT_NEAR(double(real48Max()), 1.7014118346e38, 1e28);
  for (long double inside : {1e36L, -1.7e38L, 1.7e35L}) {
    const auto r = toReal48(inside);
    ASSERT_TRUE(r);
    EXPECT_NEAR(double(*r / inside), 1.0, 1e-12);
  }
  // 0,1 has no exact binary form: the stored value is within half a 40-bit ulp of it.
  EXPECT_LE(std::fabs(*toReal48(0.1L) - 0.1L), std::ldexp(1.0L, -44));
}

TEST(DecimalText, ReadsOnlyWholeNumbersWithTheDecimalComma) {
  struct Case {
    const char* text;
    std::optional<long double> value;
  } cases[] = {
      {"12", 12.0L},       {"12,5", 12.5L},    {",5", 0.5L},        {"12,", 12.0L},
      {"-3", -3.0L},       {"1,5E20", 1.5e20L}, {"2E-7", 2e-7L},    {"007", 7.0L},
      {"", std::nullopt},  {",", std::nullopt}, {"1,2,3", std::nullopt},
      {"1.5", std::nullopt}, {"E5", std::nullopt}, {"1E", std::nullopt}, {"1 2", std::nullopt},
      {"-", std::nullopt}, {"1E99999", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto v = parseDecimal(QString::fromLatin1(c.text));
    ASSERT_EQ(bool(v), bool(c.value));
    if (v) {
      EXPECT_EQ(double(*v), double(*c.value));
    }
  }
}

TEST(DecimalText, ShowsEverySignificantDigitAndTheExponent) {
  struct Case {
    long double x;
    int digits;
    const char* text;
  } cases[] = {
      {15, 12, "15"},
      {0.25L, 12, "0,25"},
      {0.05L, 12, "0,05"},
      {10.05L, 12, "10,05"},
      {3.1405L, 12, "3,1405"},
      {-2.5L, 12, "-2,5"},
      {1.0L / 3, 12, "0,333333333333"},
      {2.0L / 3, 12, "0,666666666667"},
      {9.9999999999999L, 12, "10"},
      {123456789012.0L, 12, "123456789012"},
      {1e12L, 12, "1E12"},
      {1.5e20L, 12, "1,5E20"},
      {1.7e38L, 12, "1,7E38"},
      {0.00001L, 12, "0,00001"},
      {0.0000012L, 12, "1,2E-6"},
      {6.55957L, 15, "6,55957"},
      {1e14L, 15, "100000000000000"},
      {1e15L, 15, "1E15"},
      {0, 15, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(formatGeneral(c.x, c.digits), QString::fromLatin1(c.text));
  }
}

// Keys of the calculator: digits, ",", "=", the four operators, "x" for 1/x, "s" for sqr, "C".
struct Pressed {
  QString display;
  QStringList errors;
};
Pressed press(const char* keys) {
  PocketEngine e;
  e.clear();
  Pressed out;
  for (const char* k = keys; *k; ++k) {
    QString error;
    switch (*k) {
      case ',': e.comma(); break;
      case '=': error = e.evaluate(); break;
      case 'x': error = e.reciprocal(); break;
      case 's': error = e.squareRoot(); break;
      case 'C': e.clear(); break;
      case '+': case '-': case '*': case '/': error = e.operation(QChar(*k)); break;
      default: e.digit(*k - '0'); break;
    }
    if (!error.isEmpty()) out.errors << error;
  }
  out.display = e.display();
  return out;
}

TEST(PocketEngine, WorksLikeADeskCalculator) {
  struct Case {
    const char* keys;
    const char* display;
  } cases[] = {
      {"7+8=", "15"},
      {"7+8==", "30"},            // the pending "+" again, with 15 as operand
      {"9s", "3"},
      {"9s+1=", "4"},
      {"4x", "0,25"},
      {"2+3*4=", "20"},           // left to right
      {"7+8=,5", "5"},            // the comma went to the old result, the digit cleared it
      {"1/20=", "0,05"},
      {"1/20==", "1"},            // 0,05 read back is 0,05, not 0
      {"10,05*1=", "10,05"},
      {"3,1405+0=", "3,1405"},
      {"1/3=", "0,33333333333"},
      {"3x", "0,33333333333"},
      {"3x*3=", "0,99999999999"},   // computed on what is shown
      {"3-5=", "-2"},
      {"1000000*1000000=", "1E12"},
      {"100000*1000000=", "100000000000"},
      {"10000*1000000=", "10000000000"},
      {"1000000*1000000*1000000=", "1E18"},
      {"1/1000000=", "1E-6"},
      {"1000000x*1000000=", "1"},   // an exponent read back from the display
      {"17*10000000000000000000000000000000000=", "1,7E35"},
      {"17*10000000000000000000000000000000000*1000=", "1,7E38"},
      {"17014118346*10000000000000000000000000000=", "1,7014118346E38"},
      {"12345678901+0=", "12345678901"},
      {"123456789012+1=", "123456789013"},  // a whole number the type holds, shown whole
      {"3x*1000000000000=", "333333333330"},  // 0,33333333333 as shown, times 10^12
      {"2x*666666666661=", "3,3333333333E11"},  // 333333333330,5 has 13 digits
      {"2s", "1,4142135624"},
      {"0,1+0,2=", "0,3"},
      {"1,1*1,1=", "1,21"},
      {"=", ""},
      {"C+5=", "5"},               // nothing to read yet: the first "=" is silent
      {"1,2,3=", ""},              // the same for a display that is not a number
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    const Pressed p = press(c.keys);
    EXPECT_EQ(p.display, QString::fromLatin1(c.display));
    EXPECT_TRUE(p.errors.isEmpty()) << p.errors.join(u'\n').toStdString();
  }
}

TEST(PocketEngine, ReportsFaultsAndKeepsWhatWasStoredBefore) {
  const QString overflow = QStringLiteral(
      "Dépassement de capacité : le résultat sort des limites de la calculatrice (±1,7E38).");
  struct Case {
    const char* keys;
    const char* display;
    QStringList errors;
  } cases[] = {
      {"5/0=", "0", {QStringLiteral("Division par zéro.")}},
      {"5/0=2=", "2,5", {QStringLiteral("Division par zéro.")}},
      {"0x", "0", {QStringLiteral("Division par zéro.")}},
      {"4-8=s", "-4", {QStringLiteral("Racine carrée impossible : -4 est négatif.")}},
      {"1+1,2,3=", "1,2,3", {QStringLiteral("« 1,2,3 » n'est pas un nombre valide.")}},
      {"x", "", {QStringLiteral("Aucun nombre n'est affiché.")}},
      {"17*10000000000000000000000000000000000*10000=", "10000", {overflow}},
      {"1111111111111111111111111111111111111111+", "1111111111111111111111111111111111111111",
       {overflow}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    const Pressed p = press(c.keys);
    EXPECT_EQ(p.display, QString::fromLatin1(c.display));
    EXPECT_EQ(p.errors, c.errors);
  }
}

TEST(EuroRate, ConvertsBothWaysWithTheirRounding) {
  struct Case {
    const char* amount;
    EuroDirection direction;
    std::optional<QString> result;
  } cases[] = {
      {"100", EuroDirection::FrancsToEuros, QStringLiteral("15,24")},
      {"6,55957", EuroDirection::FrancsToEuros, QStringLiteral("1")},
      {"1", EuroDirection::EurosToFrancs, QStringLiteral("6,6")},
      {"10", EuroDirection::EurosToFrancs, QStringLiteral("65,6")},
      {"100", EuroDirection::EurosToFrancs, QStringLiteral("656")},
      // Beyond a 32-bit count of cents.
      {"1000000000000", EuroDirection::EurosToFrancs, QStringLiteral("6559570000000")},
      {"1,2,3", EuroDirection::FrancsToEuros, std::nullopt},
      {"", EuroDirection::EurosToFrancs, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.amount);
    EXPECT_EQ(convertEuroText(QString::fromLatin1(c.amount), kDefaultEuroRate, c.direction),
              c.result);
  }
  // Halves to even: 0,125 euro is 12,5 cents, kept as 12.
  EXPECT_EQ(double(convertEuro(0.125L * 6.55957L, kDefaultEuroRate,
                               EuroDirection::FrancsToEuros)),
            double(0.12L));
  EXPECT_EQ(euroRateText(kDefaultEuroRate), QStringLiteral("6,55957"));
  EXPECT_EQ(euroRateText(1), QStringLiteral("0,00001"));
}

TEST(ClockFields, StepOneFieldWithinItsLimits) {
  struct Case {
    ClockField field;
    int delta;
    const char* time;
    const char* date;
    const char* newTime;
    const char* newDate;
  } cases[] = {
      {ClockField::Minute, +1, "12:05:30", "20/10/1998", "12:06:30", "20/10/1998"},
      {ClockField::Minute, +1, "12:59:30", "20/10/1998", "12:59:30", "20/10/1998"},
      {ClockField::Minute, -1, "12:00:30", "20/10/1998", "12:00:30", "20/10/1998"},
      {ClockField::Hour, +1, "09:00:00", "20/10/1998", "10:00:00", "20/10/1998"},
      {ClockField::Hour, +1, "23:00:00", "20/10/1998", "23:00:00", "20/10/1998"},
      {ClockField::Hour, -1, "00:00:00", "20/10/1998", "00:00:00", "20/10/1998"},
      {ClockField::Day, +1, "12:00:00", "31/10/1998", "12:00:00", "31/10/1998"},
      {ClockField::Day, -1, "12:00:00", "01/10/1998", "12:00:00", "00/10/1998"},
      {ClockField::Day, -1, "12:00:00", "00/10/1998", "12:00:00", "00/10/1998"},
      {ClockField::Month, +1, "12:00:00", "20/12/1998", "12:00:00", "20/12/1998"},
      {ClockField::Month, -1, "12:00:00", "20/01/1998", "12:00:00", "20/00/1998"},
      {ClockField::Year, -1, "12:00:00", "20/10/1900", "12:00:00", "20/10/1900"},
      {ClockField::Year, +1, "12:00:00", "20/10/2099", "12:00:00", "20/10/2099"},
      {ClockField::Year, +1, "12:00:00", "20/10/1998", "12:00:00", "20/10/1999"},
      // A two-digit year is taken in the current century and written with four digits.
      {ClockField::Year, +1, "12:00:00", "20/10/24", "12:00:00", "20/10/2025"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.time) + " " + c.date);
    const auto r = stepClockField({QString::fromLatin1(c.time), QString::fromLatin1(c.date)},
                                  c.field, c.delta, 2026);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->time, QString::fromLatin1(c.newTime));
    EXPECT_EQ(r->date, QString::fromLatin1(c.newDate));
  }
  EXPECT_FALSE(stepClockField({"12:xx:00", "20/10/1998"}, ClockField::Minute, 1, 2026));
  EXPECT_FALSE(stepClockField({"12:00:00", "20-10"}, ClockField::Year, 1, 2026));
}

TEST(ClockFields, TheShownLocalTimeIsSetAsUniversalTimeByTheZonesRules) {
  const QTimeZone paris("Europe/Paris");
  const QTimeZone newYork("America/New_York");
  ASSERT_TRUE(paris.isValid());
  ASSERT_TRUE(newYork.isValid());
  struct Case {
    const char* time;
    const char* date;
    QTimeZone zone;
    QDateTime utc;  // invalid: nothing to set
  } cases[] = {
      {"14:00:00", "14/07/2026", paris, QDateTime({2026, 7, 14}, {12, 0}, Qt::UTC)},
      {"14:00:00", "14/01/2026", paris, QDateTime({2026, 1, 14}, {13, 0}, Qt::UTC)},
      {"00:30:15", "01/01/2026", paris, QDateTime({2025, 12, 31}, {23, 30, 15}, Qt::UTC)},
      {"14:00:00", "14/07/2026", newYork, QDateTime({2026, 7, 14}, {18, 0}, Qt::UTC)},
      {"14:00:00", "14/01/2026", newYork, QDateTime({2026, 1, 14}, {19, 0}, Qt::UTC)},
      {"14:00:00", "20/10/26", paris, QDateTime({2026, 10, 20}, {12, 0}, Qt::UTC)},
      {"14:00:00", "31/04/2026", paris, {}},
      {"14:00:00", "00/04/2026", paris, {}},
      {"14:00:00", "10/00/2026", paris, {}},
      {"24:00:00", "10/04/2026", paris, {}},
      {"02:30:00", "29/03/2026", paris, {}},  // skipped when summer time begins
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.time) + " " + c.date);
    const auto values = readClockTexts({c.time, c.date}, 2026);
    ASSERT_TRUE(values);
    const auto utc = localToUtc(*values, c.zone);
    ASSERT_EQ(bool(utc), c.utc.isValid());
    if (utc) {
      EXPECT_EQ(*utc, c.utc);
    }
  }
  EXPECT_FALSE(readClockTexts({"12:00", "20/10/1998"}, 2026));
}

}  // namespace
