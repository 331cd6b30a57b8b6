// The fixed-shape ISO dates and times, yyyy-mm-dd and hh:mm:ss, read in
// place: the pieces the in-place date readers (convert_dates.h) are built
// of, and readIsoFixed, the whole of the two common shapes in one inline
// step for the delimited column plan. Header-only, no state; any thread.
#pragma once

#include <cstdint>

#include "src/convert/calendar.h"
#include "src/ripper/ascii_number.h"
#include "src/ripper/convert_dates.h"
#include "src/ripper/force_inline.h"

namespace kova {

inline constexpr int64_t kSecondsPerDay = 86400;

// The value of the two (four) ASCII digits at p, or -1 when one is not a
// digit.
inline int twoDigits(const uint8_t* p) {
  const unsigned a = unsigned(p[0]) - '0';
  const unsigned b = unsigned(p[1]) - '0';
  return a <= 9 && b <= 9 ? int(a * 10 + b) : -1;
}

inline int fourDigits(const uint8_t* p) {
  const int high = twoDigits(p);
  const int low = twoDigits(p + 2);
  return high >= 0 && low >= 0 ? high * 100 + low : -1;
}

// Days from 0001-01-01 to January 1st of year (the host's calendar: no leap
// day in years divisible by 4000). REQUIRES: year >= 1.
constexpr int64_t daysBeforeYear(int64_t year) {
  const int64_t p = year - 1;
  // p / 400 and p / 4000 from p / 100: whole divisions compose.
  const int64_t centuries = p / 100;
  return 365 * p + p / 4 - centuries + centuries / 4 - centuries / 40;
}

// Days from 1960-01-01 to year-month-day; false when that is no day of the
// span.
KOVA_ALWAYS_INLINE inline bool dateOf(int year, int month, int day, int64_t* date) {
  // Days before each month, in a common and in a leap year; [13] ends December.
  static constexpr int16_t kBefore[2][13] = {
      {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
      {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366}};
  if (month < 1 || month > 12 || day < 1) return false;
  if (unsigned(year - 1901) < 199u) {
    // 1901 to 2099: every fourth year is a leap year, 2000 too, so the days
    // before the year need no division: 489 is 1959 / 4.
    const int leap = (year & 3) == 0;
    const int16_t* before = kBefore[leap];
    if (day > before[month] - before[month - 1]) return false;
    *date = 365 * int64_t(year - 1960) + ((year - 1) >> 2) - 489 + before[month - 1] + day - 1;
    return true;
  }
  if (year < kFirstYear || year > kLastYear) return false;
  // isLeapYear for a positive year: a century is a leap year when it is a
  // multiple of 400, that is of 16 too.
  const int leap = (year & 3) == 0 && (year % 100 != 0 || (year & 15) == 0) && year % 4000 != 0;
  const int16_t* before = kBefore[leap];
  if (day > before[month] - before[month - 1]) return false;
  *date = daysBeforeYear(year) - daysBeforeYear(1960) + before[month - 1] + day - 1;
  return true;
}

// The 8 bytes at p, digits with separators: false unless the bytes under
// mask are those of separators and every other byte is a digit. Else *pairs
// holds in byte i 10 x digit i + digit i+1, the separators read as '0'.
KOVA_ALWAYS_INLINE inline bool digitPairs(const uint8_t* p, uint64_t mask, uint64_t separators,
                                          uint64_t* pairs) {
  using namespace ascii_detail;
  uint64_t w = load8(p);
  if ((w & mask) != separators) return false;
  w = (w & ~mask) | (kZeros & mask);
  if (!allDigits(w)) return false;
  const uint64_t d = w - kZeros;
  *pairs = d * 10 + (d >> 8);
  return true;
}

// yyyy-mm-dd at p (10 bytes): "yyyy-mm-" paired in one word, the day's two
// digits on their own.
KOVA_ALWAYS_INLINE inline bool isoDate(const uint8_t* p, int64_t* date) {
  uint64_t pairs = 0;
  if (!digitPairs(p, 0xFF0000FF00000000ull, 0x2D00002D00000000ull, &pairs)) return false;
  const int day = twoDigits(p + 8);
  if (day < 0) return false;
  const int year = int(pairs & 0xFF) * 100 + int((pairs >> 16) & 0xFF);
  const int month = int((pairs >> 40) & 0xFF);
  return dateOf(year, month, day, date);
}

// hh:mm:ss at p (8 bytes) as seconds of the day; false when it is no time
// of day.
KOVA_ALWAYS_INLINE inline bool isoClock(const uint8_t* p, int64_t* seconds) {
  uint64_t pairs = 0;
  if (!digitPairs(p, 0x0000FF0000FF0000ull, 0x00003A00003A0000ull, &pairs)) return false;
  const int hour = int(pairs & 0xFF);
  const int minute = int((pairs >> 24) & 0xFF);
  const int second = int((pairs >> 48) & 0xFF);
  if (hour > 23 || minute > 59 || second > 59) return false;
  *seconds = hour * 3600 + minute * 60 + second;
  return true;
}

// yyyy-mm-dd (n 10) and yyyy-mm-dd hh:mm:ss (n 19, with " " or "T" between)
// read as readDateText reads them, without its search for the form; false
// for every other text, which readDateText may still read.
KOVA_ALWAYS_INLINE inline bool readIsoFixed(DateReader reader, const uint8_t* text, uint32_t n,
                                            double* value) {
  int64_t date = 0;
  if ((n != 10 && n != 19) || !isoDate(text, &date)) return false;
  if (n == 10) {
    switch (reader) {
      case DateReader::kYearFirst:
      case DateReader::kAnyDate:
        *value = double(date);
        return true;
      case DateReader::kAnyDatetime:
        *value = double(date * kSecondsPerDay);
        return true;
      default:
        return false;
    }
  }
  int64_t seconds = 0;
  if ((text[10] != ' ' && text[10] != 'T') || !isoClock(text + 11, &seconds)) return false;
  switch (reader) {
    case DateReader::kAnyDate:
      *value = double(date);
      return true;
    case DateReader::kAnyDatetime:
      *value = double(date * kSecondsPerDay + seconds);
      return true;
    case DateReader::kAnyTime:
      *value = double(seconds);
      return true;
    default:
      return false;
  }
}

}  // namespace kova
