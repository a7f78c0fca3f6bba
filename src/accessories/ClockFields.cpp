#include "ClockFields.h"

#include <algorithm>

namespace accessories {

namespace {

struct FieldPlace {
  bool inDate;
  int start;  // 0-based
  int length;
  int min;
  int max;
};

// Hours run 0-23: the displayed time is local time, set as it reads.
FieldPlace placeOf(ClockField f) {
  switch (f) {
    case ClockField::Hour: return {false, 0, 2, 0, 23};
    case ClockField::Minute: return {false, 3, 2, 0, 59};
    case ClockField::Day: return {true, 0, 2, 0, 31};
    case ClockField::Month: return {true, 3, 2, 0, 12};
    case ClockField::Year: return {true, 6, 4, 1900, 2099};
  }
  return {false, 0, 2, 0, 0};
}

std::optional<int> readNumber(const QString& text, int start, int length) {
  if (start + length > text.size()) return std::nullopt;
  bool ok = false;
  const int v = text.mid(start, length).toInt(&ok);
  if (!ok) return std::nullopt;
  return v;
}

bool isDigits(const QString& s) {
  return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); });
}

// The year at characters 7-10, or a two-digit one at 7-8 in the century of currentYear
// (reading it as 19xx would send the clock back a hundred years). Also its length in the text.
std::optional<std::pair<int, int>> readYear(const QString& date, int currentYear) {
  const QString four = date.mid(6, 4);
  if (four.size() == 4 && isDigits(four)) return std::pair{four.toInt(), 4};
  const QString two = date.mid(6);
  if (two.size() == 2 && isDigits(two)) return std::pair{currentYear / 100 * 100 + two.toInt(), 2};
  return std::nullopt;
}

}  // namespace

QString clockTimeText(const QTime& t) { return t.toString(QStringLiteral("HH:mm:ss")); }
QString clockDateText(const QDate& d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }

std::optional<ClockTexts> stepClockField(const ClockTexts& shown, ClockField field, int delta,
                                         int currentYear) {
  const FieldPlace p = placeOf(field);
  ClockTexts out = shown;
  QString& text = p.inDate ? out.date : out.time;
  int value = 0;
  int length = p.length;
  if (field == ClockField::Year) {
    const auto year = readYear(text, currentYear);
    if (!year) return std::nullopt;
    value = year->first;
    length = year->second;
  } else {
    const auto v = readNumber(text, p.start, p.length);
    if (!v) return std::nullopt;
    value = *v;
  }
  value = std::clamp(value + delta, p.min, p.max);
  text.replace(p.start, length, QStringLiteral("%1").arg(value, p.length, 10, QChar(u'0')));
  return out;
}

std::optional<ClockValues> readClockTexts(const ClockTexts& shown, int currentYear) {
  const auto year = readYear(shown.date, currentYear);
  const auto month = readNumber(shown.date, 3, 2);
  const auto day = readNumber(shown.date, 0, 2);
  const auto hour = readNumber(shown.time, 0, 2);
  const auto minute = readNumber(shown.time, 3, 2);
  const auto second = readNumber(shown.time, 6, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  return ClockValues{year->first, *month, *day, *hour, *minute, *second};
}

std::optional<QDateTime> localToUtc(const ClockValues& v, const QTimeZone& zone) {
  const QDate date(v.year, v.month, v.day);
  const QTime time(v.hour, v.minute, v.second);
  if (!date.isValid() || !time.isValid()) return std::nullopt;
  const QDateTime local(date, time, zone);
  if (!local.isValid()) return std::nullopt;
  return local.toUTC();
}

}  // namespace accessories
