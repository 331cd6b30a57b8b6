// Calendar arithmetic on the host's 8-byte date and time values: dates count
// days from 1960-01-01 (day 0), datetimes seconds from 1960-01-01 00:00:00,
// times seconds from midnight. Year-and-day values are year x 1000 + day of
// the year. Stateless; any thread. Out-of-range input gives the standard
// missing value (src/convert/missing.h); two-digit years are widened with the
// host's year cutoff, asked for anew at each widening.
#pragma once

#include <cstdint>

namespace kova {

// The supported span: 1582-01-01 to 20000-12-31.
inline constexpr int64_t kFirstDate = -138061;            // 1582-01-01
inline constexpr int64_t kEndDate = 6589336;              // 20001-01-01, first date outside
inline constexpr double kFirstDatetime = -11928470400.0;  // 1582-01-01 00:00:00
inline constexpr double kEndDatetime = 569318630400.0;    // 20001-01-01 00:00:00
inline constexpr int kFirstYear = 1582;
inline constexpr int kLastYear = 20000;
inline constexpr int32_t kDefaultYearCutoff = 1926;  // when the host has no answer

// Gregorian, except that years divisible by 4000 are not leap years.
constexpr bool isLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0) && year % 4000 != 0;
}

// The date of the datetime (the day its second falls in). A missing input
// comes back unchanged.
double datePart(double datetime);
// The seconds since midnight of the datetime, fraction kept, in [0, 86400).
double timePart(double datetime);
// Hour (0 to 23), minute (0 to 59) and second (fraction kept) of a time or
// datetime; negative values count back from the next midnight.
double hourOf(double time);
double minuteOf(double time);
double secondOf(double time);

// The year-and-day value of a date (0 gives 1960001). A missing input comes
// back unchanged.
double dateToJulian(double date);
// Splits a year-and-day value; a two-digit year (below 100) is widened. All
// three outputs are the standard missing value when the input is missing,
// out of range, or names no day (day 0, day 366 of a common year).
void julianToYmd(double yearDay, double* year, double* month, double* day);
// The year-and-day value of a year, month and day (a year below 100 is
// widened), or the standard missing value when they name no day of the span.
double ymdToJulian(double year, double month, double day);

// The two-digit year cutoff: the host option ZR_NAME_YEARCUTOFF (preset 1950,
// its low 32 bits), or 1926 when the host gives no answer.
int32_t yearCutoff();
// A two-digit year (0 to 99) widened with the cutoff c into c's century window.
constexpr int64_t widenYear(int64_t twoDigitYear, int32_t c) {
  const int32_t inCentury = c % 100;
  return twoDigitYear + (c - inCentury) + (twoDigitYear < inCentury ? 100 : 0);
}

}  // namespace kova
