// The format engine's calendar: checked against a plain walk of every day
// of the supported span.
#include <gtest/gtest.h>

#include "runtime/format/calendar.h"

namespace kova::runtime::calendar {
namespace {

TEST(FormatCalendar, EveryDayOfTheSpanConvertsBothWays) {
  int64_t date = kFirstDate;
  int32_t year = kFirstYear, month = 1, day = 1;
  int64_t failures = 0;
  while (year <= kLastYear) {
    const Civil civil = civilFromDays(date);
    if (daysFromCivil(year, month, day) != date || civil.year != year || civil.month != month ||
        civil.day != day) {
      if (++failures < 5) ADD_FAILURE() << year << "-" << month << "-" << day << " " << date;
    }
    // The next day, counted the slow way.
    static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0) && year % 4000 != 0;
    const int length = kLengths[month - 1] + (month == 2 && leap ? 1 : 0);
    ++date;
    if (++day > length) {
      day = 1;
      if (++month > 12) month = 1, ++year;
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(date, kEndDate);
}

TEST(FormatCalendar, LeapYearsFollowTheFourThousandYearRule) {
  EXPECT_TRUE(isLeapYear(1960));
  EXPECT_TRUE(isLeapYear(2000));
  EXPECT_TRUE(isLeapYear(2400));
  EXPECT_FALSE(isLeapYear(1900));
  EXPECT_FALSE(isLeapYear(2100));
  EXPECT_FALSE(isLeapYear(4000));
  EXPECT_FALSE(isLeapYear(8000));
  EXPECT_FALSE(isLeapYear(20000));
  EXPECT_TRUE(isLeapYear(4400));
  EXPECT_EQ(daysFromCivil(4000, 3, 1) - daysFromCivil(4000, 2, 28), 1);
  EXPECT_FALSE(validDate(4000, 2, 29));
  EXPECT_TRUE(validDate(2000, 2, 29));
  EXPECT_FALSE(validDate(1581, 12, 31));
  EXPECT_FALSE(validDate(20001, 1, 1));
  EXPECT_FALSE(validDate(2024, 4, 31));
  EXPECT_FALSE(validDate(2024, 13, 1));
  EXPECT_FALSE(validDate(2024, 0, 1));
}

TEST(FormatCalendar, KnownDatesAndTheEdgesOfTheSpan) {
  EXPECT_EQ(daysFromCivil(1959, 12, 31), -1);
  EXPECT_EQ(daysFromCivil(1960, 12, 31), 365);
  EXPECT_EQ(daysFromCivil(2020, 1, 1), 21915);
  EXPECT_EQ(kFirstDatetime, -11928470400);
  EXPECT_EQ(kEndDatetime, 569318630400);
  const Civil last = civilFromDays(kEndDate - 1);
  EXPECT_EQ(last.year, 20000);
  EXPECT_EQ(last.month, 12);
  EXPECT_EQ(last.day, 31);
}

TEST(FormatCalendar, TwoDigitYearsFallInTheHundredYearsFromTheCutoff) {
  EXPECT_EQ(widenYear(25, 1926), 2025);
  EXPECT_EQ(widenYear(26, 1926), 1926);
  EXPECT_EQ(widenYear(0, 1926), 2000);
  EXPECT_EQ(widenYear(99, 1926), 1999);
  EXPECT_EQ(widenYear(49, 1950), 2049);
  EXPECT_EQ(widenYear(50, 1950), 1950);
  EXPECT_EQ(widenYear(0, 2000), 2000);
  EXPECT_EQ(widenYear(99, 2000), 2099);
  EXPECT_EQ(floorDiv(-1, 86400), -1);
  EXPECT_EQ(floorDiv(-86400, 86400), -1);
  EXPECT_EQ(floorDiv(86399, 86400), 0);
}

}  // namespace
}  // namespace kova::runtime::calendar
