// The time of a CLF line in its one written shape, "dd/Mon/yyyy:hh:mm:ss"
// with or without " +hhmm", read without the general date reader's search
// for a form. Used by the CLF block parser before readDateText; a text this
// reads is one readDateText reads, to the same value (a differential test
// compares the two), and any other text is left to it.
#pragma once

#include <cstdint>

#include "src/convert/calendar.h"

namespace kova {

// Seconds from 1960-01-01 00:00:00 to the time written at p (n bytes): 20
// bytes, or 26 with a zone (read and ignored). False for any other text, a
// day the calendar does not have, or a year before 1582.
inline bool readClfTime(const uint8_t* p, uint32_t n, int64_t* seconds) {
  if (n != 20 && n != 26) return false;
  if (p[2] != '/' || p[6] != '/' || p[11] != ':' || p[14] != ':' || p[17] != ':') return false;
  unsigned bad = 0;
  auto digit = [&](uint32_t i) {
    const unsigned d = unsigned(p[i]) - '0';
    bad |= d > 9 ? 1u : 0u;
    return int64_t(d);
  };
  const int64_t day = digit(0) * 10 + digit(1);
  const int64_t year = digit(7) * 1000 + digit(8) * 100 + digit(9) * 10 + digit(10);
  const int64_t hour = digit(12) * 10 + digit(13);
  const int64_t minute = digit(15) * 10 + digit(16);
  const int64_t second = digit(18) * 10 + digit(19);
  if (n == 26) {
    if (p[20] != ' ' || (p[21] != '+' && p[21] != '-')) return false;
    const int64_t zoneHours = digit(22) * 10 + digit(23);
    const int64_t zoneMinutes = digit(24) * 10 + digit(25);
    bad |= zoneHours > 23 || zoneMinutes > 59 ? 1u : 0u;
  }
  if (bad || hour > 23 || minute > 59 || second > 59 || year < kFirstYear || day < 1) return false;
  // The month's three letters in either case, found by a perfect hash of
  // their upper-case forms.
  struct Month {
    uint32_t name;
    uint8_t number;
  };
  static constexpr uint32_t kMultiplier = 236200;
  static constexpr Month kMonths[32] = {{},
                                        {0x444543, 12},
                                        {},
                                        {0x534550, 9},
                                        {},
                                        {},
                                        {},
                                        {0x4E4F56, 11},
                                        {0x464542, 2},
                                        {},
                                        {},
                                        {},
                                        {0x415052, 4},
                                        {0x4D4152, 3},
                                        {0x4D4159, 5},
                                        {0x415547, 8},
                                        {},
                                        {},
                                        {},
                                        {0x4A414E, 1},
                                        {},
                                        {0x4F4354, 10},
                                        {},
                                        {},
                                        {},
                                        {},
                                        {},
                                        {},
                                        {0x4A554C, 7},
                                        {0x4A554E, 6},
                                        {},
                                        {}};
  const uint32_t name = uint32_t(p[3] & 0xDF) << 16 | uint32_t(p[4] & 0xDF) << 8 | (p[5] & 0xDF);
  const Month& month = kMonths[uint32_t(name * kMultiplier) >> 27];
  if (month.number == 0 || month.name != name) return false;
  static constexpr int64_t kLengths[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  static constexpr int64_t kBefore[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = isLeapYear(year);
  if (day > kLengths[month.number] + (month.number == 2 && leap ? 1 : 0)) return false;
  // Days from 0001-01-01 to each January 1st, in the host's calendar.
  auto daysBefore = [](int64_t y) {
    const int64_t q = y - 1;
    return 365 * q + q / 4 - q / 100 + q / 400 - q / 4000;
  };
  const int64_t date = daysBefore(year) - daysBefore(1960) + kBefore[month.number] +
                       (month.number > 2 && leap ? 1 : 0) + day - 1;
  *seconds = date * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

}  // namespace kova
