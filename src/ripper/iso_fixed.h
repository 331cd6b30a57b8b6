// The fixed-shape ISO dates and times, yyyy-mm-dd and hh:mm:ss, read in
// place: the pieces the in-place date readers (convert_dates.h) are built
// of, and readIsoFixed, the whole of the two common shapes in one inline
// step for the delimited column plan. Header-only, no state; any thread.
#pragma once

#include <cstdint>

#include "src/convert/calendar.h"
#include "src/ripper/ascii_number.h"
#include "src/ripper/convert_dates.h"

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
inline bool dateOf(int year, int month, int day, int64_t* date) {
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1) return false;
  // isLeapYear for a positive year: a century is a leap year when it is a
  // multiple of 400, that is of 16 too.
  const bool leap = (year & 3) == 0 && (year % 100 != 0 || (year & 15) == 0) && year % 4000 != 0;
  if (day > kLengths[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
  *date = daysBeforeYear(year) - daysBeforeYear(1960) + kBefore[month - 1] +
          (month > 2 && leap ? 1 : 0) + day - 1;
  return true;
}

// yyyy-mm-dd at p (10 bytes): the digits of "yyyy-mm-" checked and paired
// in one word, the day's two on their own.
inline bool isoDate(const uint8_t* p, int64_t* date) {
  using namespace ascii_detail;
  uint64_t w = load8(p);
  // The separators at bytes 4 and 7 must be '-'; they become '0' so that
  // the word is checked as eight digits.
  constexpr uint64_t kSeparators = 0xFF0000FF00000000ull;
  constexpr uint64_t kDashes = 0x2D00002D00000000ull;
  if ((w & kSeparators) != kDashes) return false;
  w = (w & ~kSeparators) | (kZeros & kSeparators);
  if (!allDigits(w)) return false;
  const int day = twoDigits(p + 8);
  if (day < 0) return false;
  const uint64_t d = w - kZeros;
  // Byte i of pairs is 10 x digit i + digit i+1.
  const uint64_t pairs = d * 10 + (d >> 8);
  const int year = int(pairs & 0xFF) * 100 + int((pairs >> 16) & 0xFF);
  const int month = int((pairs >> 40) & 0xFF);
  return dateOf(year, month, day, date);
}

// hh:mm:ss at p (8 bytes) as seconds of the day; false when it is no time
// of day.
inline bool isoClock(const uint8_t* p, int64_t* seconds) {
  if (p[2] != ':' || p[5] != ':') return false;
  const int hour = twoDigits(p);
  const int minute = twoDigits(p + 3);
  const int second = twoDigits(p + 6);
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  *seconds = hour * 3600 + minute * 60 + second;
  return true;
}

// yyyy-mm-dd (n 10) and yyyy-mm-dd hh:mm:ss (n 19, with " " or "T" between)
// read as readDateText reads them, without its search for the form; false
// for every other text, which readDateText may still read.
inline bool readIsoFixed(DateReader reader, const uint8_t* text, uint32_t n, double* value) {
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
