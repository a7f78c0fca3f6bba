#pragma once
// The clock's displays as text ("18:23:00", "20/10/1998"), the stepping of one field and the
// reading of both back into a date and time to set.
#include <optional>

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace accessories {

enum class ClockField { Hour, Minute, Day, Month, Year };

QString clockTimeText(const QTime& t);
QString clockDateText(const QDate& d);

// The displays with one field stepped by delta within its limits; nullopt when the field
// cannot be read as a number. A two-digit year is taken in the century of currentYear and
// written back with four digits.
struct ClockTexts {
  QString time;
  QString date;
};
std::optional<ClockTexts> stepClockField(const ClockTexts& shown, ClockField field, int delta,
                                         int currentYear);

// The numbers of the displays; nullopt when a field cannot be read.
struct ClockValues {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
std::optional<ClockValues> readClockTexts(const ClockTexts& shown, int currentYear);

// The local date and time in zone as universal time, by the zone's own rules (summer time
// included); nullopt for a date or time that does not exist.
std::optional<QDateTime> localToUtc(const ClockValues& v, const QTimeZone& zone);

}  // namespace accessories
