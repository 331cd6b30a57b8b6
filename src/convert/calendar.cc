// Calendar arithmetic. Dates are turned into year and day with integer
// arithmetic on a day count whose origin lies 715875 days before 1960-01-01
// (so every date of the span is positive there); times of day come from the
// floating remainder of the seconds.
#include "src/convert/calendar.h"

#include <cmath>

#include "src/convert/missing.h"
#include "src/host/options.h"

namespace kova {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr int64_t kDayOrigin = 715875;       // 1960-01-01 in the day count below
constexpr int32_t kPresetYearCutoff = 1950;  // the option's value before the host writes it
constexpr int64_t kLastYearDay = static_cast<int64_t>(kLastYear) * 1000 + 365;  // 20000-12-31

constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr int kDaysBeforeMonth[12] = {0,   31,  59,  90,  120, 151,
                                      181, 212, 243, 273, 304, 334};  // common year

bool inDatetimeSpan(double x) { return x >= kFirstDatetime && x < kEndDatetime; }

// The seconds since the last midnight, in [0, 86400). The remainder is taken
// before shifting a negative value up by a day, so no fraction is lost to the
// magnitude of a shift; a negative remainder too small to survive the shift
// stays just below midnight rather than becoming the next day's 0.
double secondsOfDay(double x) {
  double r = std::fmod(x, kSecondsPerDay);
  if (r < 0) {
    r += kSecondsPerDay;
    if (r >= kSecondsPerDay) r = std::nextafter(kSecondsPerDay, 0.0);
  }
  return r == 0 ? 0.0 : r;  // no negative zero
}

// The date of January 1st of a year of the span.
constexpr int64_t januaryFirst(int64_t year) {
  const int64_t p = year - 1;  // leap days counted over the years before
  return 365 * year - kDayOrigin + p / 4 - p / 100 + (p / 100) / 4 - p / 4000 + 1;
}

int monthLength(int month, int64_t year) {
  return kMonthDays[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
}

}  // namespace

int32_t yearCutoff() {
  int64_t value = kPresetYearCutoff;
  if (!readIntegerOption(kOptionYearCutoff, &value)) return kDefaultYearCutoff;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

double datePart(double datetime) {
  if (isMissing(datetime)) return datetime;
  if (!inDatetimeSpan(datetime)) return kMissing;
  // Shifted to be non-negative, so the division floors for negative days too.
  return std::floor((std::floor(datetime) - kFirstDatetime) / kSecondsPerDay) +
         static_cast<double>(kFirstDate);
}

double timePart(double datetime) {
  if (isMissing(datetime) || !inDatetimeSpan(datetime)) return kMissing;
  return secondsOfDay(datetime);
}

double hourOf(double time) {
  if (isMissing(time) || !inDatetimeSpan(time)) return kMissing;
  return std::trunc(secondsOfDay(time) / 3600.0);
}

double minuteOf(double time) {
  if (isMissing(time) || !inDatetimeSpan(time)) return kMissing;
  return std::trunc(std::trunc(std::fmod(secondsOfDay(time), 3600.0)) / 60.0);
}

double secondOf(double time) {
  if (isMissing(time) || !inDatetimeSpan(time)) return kMissing;
  return std::fmod(secondsOfDay(time), 60.0);
}

double dateToJulian(double date) {
  if (isMissing(date)) return date;
  if (!(date >= static_cast<double>(kFirstDate) && date < static_cast<double>(kEndDate))) {
    return kMissing;
  }
  const int64_t d = static_cast<int64_t>(std::floor(date));
  const int64_t n = d + kDayOrigin;
  // Exact over the whole span (checked day by day in the tests).
  const int64_t year = (n - n / 1461 + n / 36525 - n / 146100 + n / 1461000 - 1) / 365;
  return static_cast<double>(year * 1000 + (d - januaryFirst(year)) + 1);
}

void julianToYmd(double yearDay, double* year, double* month, double* day) {
  *year = *month = *day = kMissing;
  if (isMissing(yearDay) || !(yearDay > 0 && yearDay <= static_cast<double>(kLastYearDay))) return;
  const int64_t v = static_cast<int64_t>(yearDay);
  int64_t y = v / 1000;
  if (v <= 0 || (y >= 100 && y < kFirstYear)) return;
  int64_t d = v - 1000 * y;
  if (d == 0 || d > 366) return;
  if (y < 100) {
    y = widenYear(y, yearCutoff());
    if (y < kFirstYear || y > kLastYear) return;  // a cutoff outside the span
  }
  if (d > 365 + (isLeapYear(y) ? 1 : 0)) return;
  int m = 1;
  while (m < 12 && d > monthLength(m, y)) d -= monthLength(m++, y);
  *year = static_cast<double>(y);
  *month = m;
  *day = static_cast<double>(d);
}

double ymdToJulian(double year, double month, double day) {
  if (!(month >= 1 && month < 13) || !(day >= 1 && day < 32) ||
      !(year >= 0 && year < kLastYear + 1)) {
    return kMissing;  // also every missing input
  }
  int64_t y = static_cast<int64_t>(year);
  const int m = static_cast<int>(month);
  const int d = static_cast<int>(day);
  if (y < 100) {
    y = widenYear(y, yearCutoff());
    if (y > kLastYear) return kMissing;
  }
  if (y < kFirstYear) return kMissing;
  if (d > monthLength(m, y)) return kMissing;
  const int leapDay = m > 2 && isLeapYear(y) ? 1 : 0;
  return static_cast<double>(y * 1000 + kDaysBeforeMonth[m - 1] + leapDay + d);
}

}  // namespace kova
