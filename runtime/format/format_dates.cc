// YYMMDD, MMDDYY, DDMMYY, DATE, TIME and DATETIME: dates, times of day and
// datetimes in one written form each. Readers take the form in a few
// spellings (separators, two- or four-digit years); writers pick the
// spelling that the width allows.
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/format/calendar.h"
#include "runtime/format/format_conversions.h"
#include "runtime/format/format_object.h"
#include "runtime/format/format_support.h"

namespace kova::runtime {
namespace {

using calendar::Civil;

constexpr size_t kMaxDateText = 64;
constexpr int kMaxTimeDecimals = 9;

// ---- reading ------------------------------------------------------------

// The trimmed text of an informat as ASCII. Returns false with *status set
// when the reading is over: a blank text (missing value) or one that cannot
// be a date.
bool dateText(KovaFormatObject* object, char* buf, Scan* scan, KovaStatus* status) {
  size_t n = 0;
  if (!narrowTrimmed(informatText(object), buf, kMaxDateText, &n)) {
    *status = refuseText(object);
    return false;
  }
  if (n == 0 || (n == 1 && buf[0] == '.')) {
    *status = deliverValue(object, missingValue());
    return false;
  }
  *scan = Scan{buf, buf + n};
  return true;
}

bool takeDateSeparator(Scan& scan) {
  if (scan.take('-') || scan.take('/') || scan.take('.')) return true;
  return scan.blanks() == 1;
}

// Three numbers in the order given by `order` ("YMD", "MDY", "DMY"): either
// separated by one of - / . or a blank (year of 2, 4 or 5 digits, month and
// day of 1 or 2), or run together as 6 digits (two-digit year) or 8 digits
// (four-digit year).
struct Numbers {
  int64_t year = 0;
  int yearDigits = 0;
  int64_t month = 0;
  int64_t day = 0;
};

bool readNumericDate(Scan& scan, const char* order, Numbers* out) {
  int64_t first;
  const int count = scan.digits(&first);
  if (scan.done()) {
    if (count != 6 && count != 8) return false;
    const int64_t scale = count == 6 ? 100 : 10000;  // the year's share of the digits
    if (order[0] == 'Y') {
      out->year = first / 10000;
      out->month = first / 100 % 100;
      out->day = first % 100;
    } else {
      const int64_t head = first / scale;  // the first two numbers, four digits
      out->year = first % scale;
      out->month = order[0] == 'M' ? head / 100 : head % 100;
      out->day = order[0] == 'M' ? head % 100 : head / 100;
    }
    out->yearDigits = count - 4;
    return true;
  }
  int64_t values[3] = {first, 0, 0};
  int counts[3] = {count, 0, 0};
  for (int i = 1; i < 3; ++i) {
    if (!takeDateSeparator(scan)) return false;
    counts[i] = scan.digits(&values[i]);
  }
  if (!scan.done()) return false;
  for (int i = 0; i < 3; ++i) {
    if (order[i] == 'Y') {
      out->year = values[i];
      out->yearDigits = counts[i];
    } else if (counts[i] < 1 || counts[i] > 2) {
      return false;
    } else {
      (order[i] == 'M' ? out->month : out->day) = values[i];
    }
  }
  return true;
}

// The date of year-month-day with the year written in yearDigits digits;
// false when there is no such day in the span.
bool dateOf(const FormatObject& object, int64_t year, int yearDigits, int64_t month, int64_t day,
            int64_t* date) {
  year = yearOfDigits(object, year, yearDigits);
  if (!calendar::validDate(year, month, day)) return false;
  *date = calendar::daysFromCivil(year, static_cast<int>(month), static_cast<int>(day));
  return true;
}

KovaStatus readNumericForm(KovaFormatObject* object, const char* order) {
  char buf[kMaxDateText];
  Scan scan;
  KovaStatus status;
  if (!dateText(object, buf, &scan, &status)) return status;
  Numbers n;
  int64_t date;
  if (!readNumericDate(scan, order, &n) ||
      !dateOf(*formatObjectOf(object), n.year, n.yearDigits, n.month, n.day, &date)) {
    return refuseText(object);
  }
  return deliverValue(object, static_cast<double>(date));
}

// dd MON yy[yy[y]]: day of 1 or 2 digits, the three-letter month, year of 2,
// 4 or 5 digits; a - / . or blank may stand between the parts.
bool readDayMonthNameDate(const FormatObject& object, Scan& scan, int64_t* date) {
  int64_t day, year;
  const int dayDigits = scan.digits(&day);
  if (dayDigits < 1 || dayDigits > 2) return false;
  char* before = scan.p;
  if (!takeDateSeparator(scan)) scan.p = before;
  const int month = readMonthName(scan, false);
  if (month == 0) return false;
  before = scan.p;
  if (!takeDateSeparator(scan)) scan.p = before;
  const int yearDigits = scan.digits(&year);
  return dateOf(object, year, yearDigits, month, day, date);
}

// ---- writing ------------------------------------------------------------

// The common start of the date formats: the width, and the day's calendar
// parts. Returns false with *status set when the field is written already
// (missing or outside the span) or cannot be.
bool dateToWrite(KovaFormatObject* object, int32_t* width, Civil* civil, KovaStatus* status) {
  *width = formatFieldWidth(object);
  if (*width == 0) {
    *status = noRoom(object);
    return false;
  }
  const double v = formatInput(object);
  if (!(v >= calendar::kFirstDate && v < calendar::kEndDate)) {  // NaN and missing too
    *status = writeMissing(object, *width);
    return false;
  }
  *civil = calendar::civilFromDays(static_cast<int64_t>(std::floor(v)));
  return true;
}

char* twoDigits(char* out, int64_t value) {
  out[0] = static_cast<char>('0' + value / 10 % 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

char* year(char* out, int64_t value, bool full) {
  if (!full) return twoDigits(out, value % 100);
  return std::to_chars(out, out + 5, value).ptr;  // 1582 to 20000
}

// Numeric dates: the three parts in `order`, full years from width 10 (11
// for five-digit years), two-digit years with separators from width 8, run
// together from width 6.
KovaStatus writeNumericForm(KovaFormatObject* object, const char* order, char separator) {
  int32_t width;
  Civil c;
  KovaStatus status;
  if (!dateToWrite(object, &width, &c, &status)) return status;
  if (width < 6) return writeAsterisks(object, width);
  const bool full = width >= 10;
  const bool separated = width >= 8;
  char text[16];
  char* p = text;
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && separated) *p++ = separator;
    switch (order[i]) {
      case 'Y':
        p = year(p, c.year, full);
        break;
      case 'M':
        p = twoDigits(p, c.month);
        break;
      default:
        p = twoDigits(p, c.day);
        break;
    }
  }
  return writeField(object, width, text, static_cast<size_t>(p - text));
}

// ddMONyyyy from width 9, ddMONyy from 7, ddMON from 5.
char* dayMonthName(char* p, const Civil& c, int32_t width) {
  p = twoDigits(p, c.day);
  std::memcpy(p, kMonthAbbreviations[c.month - 1], 3);
  p += 3;
  if (width >= 7) p = year(p, c.year, width >= 9);
  return p;
}

// Whole seconds and `decimals` fraction digits of a, rounded as printf
// rounds (exactly, ties to even). REQUIRES: |a| < 2^53.
int64_t roundSeconds(double a, int decimals, char* fraction) {
  const double whole = std::floor(a);
  const double rest = a - whole;  // exact
  auto seconds = static_cast<int64_t>(whole);
  if (decimals == 0) return seconds + ((rest > 0.5 || (rest == 0.5 && (seconds & 1))) ? 1 : 0);
  char text[32];
  std::to_chars(text, text + sizeof text, rest, std::chars_format::fixed, decimals);
  if (text[0] == '1') ++seconds;  // rounded up to the next second
  std::memcpy(fraction, text + 2, static_cast<size_t>(decimals));
  return seconds;
}

// hh:mm[:ss[.fff]] of a time of day or a duration; hours take two digits or
// more.
char* clockText(char* p, int64_t seconds, bool withSeconds, const char* fraction, int decimals) {
  const int64_t hours = seconds / 3600;
  if (hours < 10) *p++ = '0';
  p = std::to_chars(p, p + 20, hours).ptr;
  *p++ = ':';
  p = twoDigits(p, seconds / 60 % 60);
  if (!withSeconds) return p;
  *p++ = ':';
  p = twoDigits(p, seconds % 60);
  if (decimals > 0) {
    *p++ = '.';
    std::memcpy(p, fraction, static_cast<size_t>(decimals));
    p += decimals;
  }
  return p;
}

bool allZeros(const char* digits, int count) {
  for (int i = 0; i < count; ++i) {
    if (digits[i] != '0') return false;
  }
  return true;
}

int timeDecimals(const KovaFormatObject* object) {
  return object->decimals < 0                  ? 0
         : object->decimals > kMaxTimeDecimals ? kMaxTimeDecimals
                                               : object->decimals;
}

}  // namespace

KovaStatus readYearFirst(KovaFormatObject* object, int32_t) {
  return readNumericForm(object, "YMD");
}

KovaStatus readMonthFirst(KovaFormatObject* object, int32_t) {
  return readNumericForm(object, "MDY");
}

KovaStatus readDayFirst(KovaFormatObject* object, int32_t) {
  return readNumericForm(object, "DMY");
}

KovaStatus readDayMonthName(KovaFormatObject* object, int32_t) {
  char buf[kMaxDateText];
  Scan scan;
  KovaStatus status;
  if (!dateText(object, buf, &scan, &status)) return status;
  int64_t date;
  if (!readDayMonthNameDate(*formatObjectOf(object), scan, &date) || !scan.done()) {
    return refuseText(object);
  }
  return deliverValue(object, static_cast<double>(date));
}

// [-] h:mm[:ss[.fff]]: a time of day or a duration, so hours may exceed 23.
KovaStatus readTime(KovaFormatObject* object, int32_t) {
  char buf[kMaxDateText];
  Scan scan;
  KovaStatus status;
  if (!dateText(object, buf, &scan, &status)) return status;
  const bool negative = scan.take('-');
  if (!negative) scan.take('+');
  Clock clock;
  if (!readClock(scan, 9, false, &clock) || !scan.done()) return refuseText(object);
  const double seconds = secondsWithFraction(clock.hour * 3600 + clock.minute * 60 + clock.second,
                                             clock.fraction, clock.fractionDigits);
  return deliverValue(object, negative ? -seconds : seconds);
}

// A DATE text, ":" or blanks, and a time of day h:mm[:ss[.fff]].
KovaStatus readDatetime(KovaFormatObject* object, int32_t) {
  char buf[kMaxDateText];
  Scan scan;
  KovaStatus status;
  if (!dateText(object, buf, &scan, &status)) return status;
  int64_t date;
  if (!readDayMonthNameDate(*formatObjectOf(object), scan, &date)) return refuseText(object);
  if (!scan.take(':') && scan.blanks() == 0) return refuseText(object);
  Clock clock;
  if (!readClock(scan, 2, false, &clock) || clock.hour > 23 || !scan.done()) {
    return refuseText(object);
  }
  const int64_t whole =
      date * calendar::kSecondsPerDay + clock.hour * 3600 + clock.minute * 60 + clock.second;
  return deliverValue(object, secondsWithFraction(whole, clock.fraction, clock.fractionDigits));
}

KovaStatus writeYearFirst(KovaFormatObject* object, int32_t) {
  return writeNumericForm(object, "YMD", '-');
}

KovaStatus writeMonthFirst(KovaFormatObject* object, int32_t) {
  return writeNumericForm(object, "MDY", '/');
}

KovaStatus writeDayFirst(KovaFormatObject* object, int32_t) {
  return writeNumericForm(object, "DMY", '/');
}

KovaStatus writeDayMonthName(KovaFormatObject* object, int32_t) {
  int32_t width;
  Civil c;
  KovaStatus status;
  if (!dateToWrite(object, &width, &c, &status)) return status;
  if (width < 5) return writeAsterisks(object, width);
  char text[16];
  return writeField(object, width, text, static_cast<size_t>(dayMonthName(text, c, width) - text));
}

// [-]hh:mm:ss[.fff] with the decimals asked for, fewer when the width is
// short; hh:mm (seconds cut off) below that.
KovaStatus writeTime(KovaFormatObject* object, int32_t) {
  const int32_t width = formatFieldWidth(object);
  if (width == 0) return noRoom(object);
  const double v = formatInput(object);
  if (std::isnan(v)) return writeMissing(object, width);
  const double a = std::fabs(v);
  if (!(a < 1e15)) return writeAsterisks(object, width);  // no field is that wide
  char text[48];
  char fraction[kMaxTimeDecimals];
  for (int decimals = timeDecimals(object); decimals >= 0; --decimals) {
    const int64_t seconds = roundSeconds(a, decimals, fraction);
    char* p = text;
    if (v < 0 && !(seconds == 0 && allZeros(fraction, decimals))) *p++ = '-';
    p = clockText(p, seconds, true, fraction, decimals);
    const auto length = static_cast<size_t>(p - text);
    if (length <= static_cast<size_t>(width)) return writeField(object, width, text, length);
  }
  char* p = text;
  const auto seconds = static_cast<int64_t>(a);
  if (v < 0 && seconds >= 60) *p++ = '-';
  p = clockText(p, seconds, false, nullptr, 0);
  return writeField(object, width, text, static_cast<size_t>(p - text));
}

// ddMONyyyy:hh:mm:ss[.fff] from width 18 (19 for five-digit years), with as
// many of the decimals asked for as fit; ddMONyy:hh:mm:ss from 16;
// ddMONyy:hh:mm from 13.
KovaStatus writeDatetime(KovaFormatObject* object, int32_t) {
  const int32_t width = formatFieldWidth(object);
  if (width == 0) return noRoom(object);
  const double v = formatInput(object);
  if (!(v >= static_cast<double>(calendar::kFirstDatetime) &&
        v < static_cast<double>(calendar::kEndDatetime))) {
    return writeMissing(object, width);
  }
  if (width < 13) return writeAsterisks(object, width);
  const bool withSeconds = width >= 16;
  const int32_t dateWidth = width >= 18 ? 9 : 7;
  // Besides the date, ":hh:mm:ss" and the point of a fraction.
  const int32_t room = width - dateWidth - 10;
  int decimals = withSeconds ? (timeDecimals(object) < room ? timeDecimals(object) : room) : 0;
  if (decimals < 0) decimals = 0;
  for (;; --decimals) {
    char fraction[kMaxTimeDecimals];
    auto whole = static_cast<int64_t>(std::floor(v));
    if (withSeconds) {
      // Rounding the whole value may carry into the next day.
      whole = roundSeconds(v, decimals, fraction);
      if (whole >= calendar::kEndDatetime) return writeMissing(object, width);
    }
    const int64_t date = calendar::floorDiv(whole, calendar::kSecondsPerDay);
    const Civil c = calendar::civilFromDays(date);
    char text[48];
    char* p = dayMonthName(text, c, dateWidth);
    *p++ = ':';
    p = clockText(p, whole - date * calendar::kSecondsPerDay, withSeconds, fraction, decimals);
    const auto length = static_cast<size_t>(p - text);
    // A five-digit year takes one column more: give up a decimal for it.
    if (length <= static_cast<size_t>(width) || decimals == 0) {
      return writeField(object, width, text, length);
    }
  }
}

}  // namespace kova::runtime
