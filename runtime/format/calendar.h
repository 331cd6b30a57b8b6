// Calendar arithmetic of the format engine: Gregorian dates over the span the
// host supports (1582-01-01 to 20000-12-31), where a year divisible by 4000
// is not a leap year. Dates count days from 1960-01-01, datetimes seconds
// from 1960-01-01 00:00:00. Pure integer functions, no state; any thread.
#pragma once

#include <cstdint>

namespace kova::runtime::calendar {

constexpr int32_t kFirstYear = 1582;
constexpr int32_t kLastYear = 20000;
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kFirstDate = -138061;  // 1582-01-01
constexpr int64_t kEndDate = 6589336;    // 20001-01-01, the first date outside
constexpr int64_t kFirstDatetime = kFirstDate * kSecondsPerDay;
constexpr int64_t kEndDatetime = kEndDate * kSecondsPerDay;

// The year cutoff used when the host option is not set.
constexpr int64_t kDefaultYearCutoff = 1926;

constexpr bool isLeapYear(int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0) && year % 4000 != 0;
}

constexpr int daysInMonth(int64_t year, int month) {
  constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kLengths[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
}

// Days from 0001-01-01 to January 1st of year. REQUIRES: year >= 1.
constexpr int64_t daysBeforeYear(int64_t year) {
  const int64_t p = year - 1;
  return 365 * p + p / 4 - p / 100 + p / 400 - p / 4000;
}

constexpr int64_t kDaysBefore1960 = daysBeforeYear(1960);

// True when year-month-day names a real day inside the span.
constexpr bool validDate(int64_t year, int64_t month, int64_t day) {
  return year >= kFirstYear && year <= kLastYear && month >= 1 && month <= 12 && day >= 1 &&
         day <= daysInMonth(year, static_cast<int>(month));
}

// The date of year-month-day. REQUIRES: validDate(year, month, day).
constexpr int64_t daysFromCivil(int64_t year, int month, int day) {
  // Days before the first of each month in a common year.
  constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const int leapDay = month > 2 && isLeapYear(year) ? 1 : 0;
  return daysBeforeYear(year) - kDaysBefore1960 + kBefore[month - 1] + leapDay + day - 1;
}

struct Civil {
  int32_t year;
  int32_t month;  // 1 to 12
  int32_t day;    // 1 to 31
};

// Year, month and day of a date. REQUIRES: kFirstDate <= date < kEndDate.
constexpr Civil civilFromDays(int64_t date) {
  const int64_t n = date + kDaysBefore1960;  // days since 0001-01-01
  // 1460969 days make 4000 years; the estimate is off by at most one year.
  int64_t year = n * 4000 / 1460969 + 1;
  while (daysBeforeYear(year) > n) --year;
  while (daysBeforeYear(year + 1) <= n) ++year;
  const int64_t dayOfYear = n - daysBeforeYear(year);  // from 0
  const int64_t february = 28 + (isLeapYear(year) ? 1 : 0);
  Civil civil{static_cast<int32_t>(year), 1, 1};
  if (dayOfYear < 31) {
    civil.day = static_cast<int32_t>(dayOfYear + 1);
  } else if (dayOfYear < 31 + february) {
    civil.month = 2;
    civil.day = static_cast<int32_t>(dayOfYear - 31 + 1);
  } else {
    // March onwards repeats the 153-day pattern 31 30 31 30 31.
    const int64_t r = dayOfYear - 31 - february;
    const int64_t m = (5 * r + 2) / 153;  // 0 is March
    civil.month = static_cast<int32_t>(m + 3);
    civil.day = static_cast<int32_t>(r - (153 * m + 2) / 5 + 1);
  }
  return civil;
}

// A two-digit year (0 to 99) in the hundred years that start at cutoff.
constexpr int64_t widenYear(int64_t twoDigits, int64_t cutoff) {
  const int64_t century = cutoff - cutoff % 100;
  return century + twoDigits + (twoDigits < cutoff % 100 ? 100 : 0);
}

// Floor division and the matching non-negative remainder.
constexpr int64_t floorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

static_assert(daysFromCivil(1960, 1, 1) == 0);
static_assert(daysFromCivil(1582, 1, 1) == kFirstDate);
static_assert(daysFromCivil(20000, 12, 31) == kEndDate - 1);
static_assert(!isLeapYear(4000) && isLeapYear(2000) && !isLeapYear(1900));
static_assert(widenYear(25, 1926) == 2025 && widenYear(26, 1926) == 1926);

}  // namespace kova::runtime::calendar
