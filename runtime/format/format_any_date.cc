// ANYDTDTE, ANYDTTME and ANYDTDTM: dates, times of day and datetimes in any
// of the common written forms. One reader finds the date and the time of day
// a text holds; each name then takes the part it stands for.
#include <cstring>

#include "runtime/format/calendar.h"
#include "runtime/format/format_conversions.h"
#include "runtime/format/format_object.h"
#include "runtime/format/format_support.h"

namespace kova::runtime {
namespace {

constexpr size_t kMaxMomentText = 96;

struct Moment {
  bool hasDate = false;
  int64_t date = 0;
  bool hasTime = false;
  int64_t seconds = 0;  // whole seconds of the day
  const char* fraction = nullptr;
  int fractionDigits = 0;
};

bool isDateSeparator(char c) { return c == '-' || c == '/' || c == '.'; }

// Year of 2, 4 or 5 digits.
bool readYear(Scan& scan, int64_t* year, int* digits) {
  *digits = scan.digits(year);
  return *digits == 2 || *digits == 4 || *digits == 5;
}

// After a month name: an optional separator (- / . blanks, or ", "), then
// the year.
bool readYearAfterMonthName(Scan& scan, int64_t* year, int* digits) {
  if (!scan.take(',')) {
    if (scan.at('-') || scan.at('/') || scan.at('.')) ++scan.p;
  }
  scan.blanks();
  return readYear(scan, year, digits);
}

// The date at the start of the scan. Forms (y year, m month, d day, MON a
// month name):
//   yyyy-mm-dd yyyy/mm/dd yyyy.mm.dd (also five-digit years)   yyyymmdd
//   mm/dd/yyyy mm-dd-yyyy (dd/mm and dd-mm when the first number exceeds 12)
//   dd.mm.yyyy
//   ddMONyyyy dd-MON-yyyy dd/MON/yyyy dd MON yyyy   MON dd, yyyy
// Two-digit years wherever four are shown. False when none matches; the
// scan is then at an unknown place.
bool readDate(const FormatObject& object, Scan& scan, int64_t* date, bool* basic) {
  int64_t year = 0, month = 0, day = 0;
  int yearDigits = 0;
  *basic = false;
  if (scan.atLetter()) {
    month = readMonthName(scan, true);
    if (month == 0) return false;
    if (!scan.take('-') && !scan.take('/') && !scan.take('.')) scan.blanks();
    if (int n = scan.digits(&day); n < 1 || n > 2) return false;
    if (!readYearAfterMonthName(scan, &year, &yearDigits)) return false;
  } else {
    int64_t first;
    const int count = scan.digits(&first);
    if (count == 8 && (scan.done() || scan.at('T') || scan.at('t') || scan.at(' '))) {
      year = first / 10000;
      month = first / 100 % 100;
      day = first % 100;
      yearDigits = 4;
      *basic = true;
    } else if ((count == 4 || count == 5) && !scan.done() && isDateSeparator(*scan.p)) {
      const char separator = *scan.p++;
      year = first;
      yearDigits = count;
      if (int n = scan.digits(&month); n < 1 || n > 2 || !scan.take(separator)) return false;
      if (int n = scan.digits(&day); n < 1 || n > 2) return false;
    } else if (count == 1 || count == 2) {
      day = first;
      char separator = ' ';
      if (!scan.done() && isDateSeparator(*scan.p)) {
        separator = *scan.p++;
      } else if (scan.blanks() == 0 && !scan.atLetter()) {
        return false;
      }
      if (scan.atLetter()) {  // day, month name, year
        month = readMonthName(scan, true);
        if (month == 0 || !readYearAfterMonthName(scan, &year, &yearDigits)) return false;
      } else {  // three numbers, the year last
        if (separator == ' ') return false;
        int64_t second;
        if (int n = scan.digits(&second); n < 1 || n > 2 || !scan.take(separator)) return false;
        if (!readYear(scan, &year, &yearDigits)) return false;
        // Dotted dates put the day first; the others the month, unless the
        // first number cannot be a month.
        if (separator == '.' || first > 12) {
          month = second;
        } else {
          month = first;
          day = second;
        }
      }
    } else {
      return false;
    }
  }
  year = yearOfDigits(object, year, yearDigits);
  if (!calendar::validDate(year, month, day)) return false;
  *date = calendar::daysFromCivil(year, static_cast<int>(month), static_cast<int>(day));
  return true;
}

// "AM" or "PM" in any case; 0 when neither, 1 for AM, 2 for PM.
int readMeridiem(Scan& scan) {
  if (scan.end - scan.p < 2) return 0;
  const char a = static_cast<char>(scan.p[0] | 0x20);
  const char m = static_cast<char>(scan.p[1] | 0x20);
  if (m != 'm' || (a != 'a' && a != 'p')) return 0;
  scan.p += 2;
  return a == 'a' ? 1 : 2;
}

// A zone after the time: Z, UTC or GMT (each optionally followed by an
// offset), or an offset +hh, +hhmm, +hh:mm (or -). Accepted and ignored.
bool skipZone(Scan& scan) {
  if (scan.take('Z') || scan.take('z')) return true;
  bool named = false;
  if (scan.end - scan.p >= 3) {
    char word[3];
    for (int i = 0; i < 3; ++i) word[i] = static_cast<char>(scan.p[i] & ~0x20);
    if (std::memcmp(word, "UTC", 3) == 0 || std::memcmp(word, "GMT", 3) == 0) {
      scan.p += 3;
      named = true;
    }
  }
  if (!scan.at('+') && !scan.at('-')) return named;
  ++scan.p;
  int64_t value;
  const int count = scan.digits(&value);
  if (count == 2) {
    if (value > 23) return false;
    if (scan.take(':')) {
      int64_t minutes;
      return scan.digits(&minutes) == 2 && minutes <= 59;
    }
    return true;
  }
  return count == 4 && value / 100 <= 23 && value % 100 <= 59;
}

// The time of day at the scan: h:mm[:ss[.fff]] (also a decimal comma), an
// optional AM or PM, an optional zone; after a basic date (yyyymmdd) also
// hhmm or hhmmss.
bool readTimeOfDay(Scan& scan, bool basic, Moment* moment) {
  Clock clock;
  char* start = scan.p;
  if (!readClock(scan, 2, true, &clock)) {
    scan.p = start;
    int64_t value;
    const int count = basic ? scan.digits(&value) : 0;
    if (count == 4) {
      clock.hour = value / 100;
      clock.minute = value % 100;
    } else if (count == 6) {
      clock.hour = value / 10000;
      clock.minute = value / 100 % 100;
      clock.second = value % 100;
    } else {
      return false;
    }
    if (clock.minute > 59 || clock.second > 59) return false;
  }
  char* beforeBlanks = scan.p;
  scan.blanks();
  if (const int meridiem = readMeridiem(scan)) {
    if (clock.hour < 1 || clock.hour > 12) return false;
    clock.hour = clock.hour % 12 + (meridiem == 2 ? 12 : 0);
  } else {
    scan.p = beforeBlanks;
  }
  if (clock.hour > 23) return false;
  if (!scan.done()) {
    scan.blanks();
    if (!skipZone(scan)) return false;
  }
  moment->hasTime = true;
  moment->seconds = clock.hour * 3600 + clock.minute * 60 + clock.second;
  moment->fraction = clock.fraction;
  moment->fractionDigits = clock.fractionDigits;
  return true;
}

// The date and the time of day of a whole text: a date, a time of day, or a
// date and a time of day joined by "T", ":" or blanks. A weekday name may
// come first ("Fri, 05 Jan 2024 10:30:00 GMT").
bool readMoment(const FormatObject& object, Scan& scan, Moment* moment) {
  if (scan.atLetter() && skipWeekdayName(scan)) {
    scan.take(',');
    scan.blanks();
  }
  // A time of day alone starts with digits and a colon.
  Scan probe = scan;
  int64_t ignored;
  const int lead = probe.digits(&ignored);
  if (lead >= 1 && lead <= 2 && probe.at(':')) return readTimeOfDay(scan, false, moment);

  bool basic = false;
  if (!readDate(object, scan, &moment->date, &basic)) return false;
  moment->hasDate = true;
  if (scan.done()) return true;
  if (!scan.take('T') && !scan.take('t') && !scan.take(':') && scan.blanks() == 0) return false;
  return readTimeOfDay(scan, basic, moment) && scan.done();
}

// yyyy-mm-dd exactly, the most common date text, read without the general
// reader. False when the text is of another shape or no such day exists.
bool readIsoDate(std::u16string_view text, int64_t* date) {
  if (text.size() != 10 || text[4] != u'-' || text[7] != u'-') return false;
  int digits[10];
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    digits[i] = text[static_cast<size_t>(i)] - u'0';
    if (digits[i] < 0 || digits[i] > 9) return false;
  }
  const int year = ((digits[0] * 10 + digits[1]) * 10 + digits[2]) * 10 + digits[3];
  const int month = digits[5] * 10 + digits[6];
  const int day = digits[8] * 10 + digits[9];
  if (!calendar::validDate(year, month, day)) return false;
  *date = calendar::daysFromCivil(year, month, day);
  return true;
}

enum class Wanted { kDate, kTime, kDatetime };

KovaStatus readAny(KovaFormatObject* object, Wanted wanted) {
  const std::u16string_view text = informatText(object);
  if (int64_t date; wanted != Wanted::kTime && readIsoDate(text, &date)) {
    return deliverValue(
        object,
        static_cast<double>(wanted == Wanted::kDate ? date : date * calendar::kSecondsPerDay));
  }
  char buf[kMaxMomentText];
  size_t n = 0;
  if (!narrowTrimmed(text, buf, kMaxMomentText, &n)) return refuseText(object);
  if (n == 0 || (n == 1 && buf[0] == '.')) return deliverValue(object, missingValue());
  Scan scan{buf, buf + n};
  Moment moment;
  if (!readMoment(*formatObjectOf(object), scan, &moment) || !scan.done()) {
    return refuseText(object);
  }
  switch (wanted) {
    case Wanted::kDate:
      if (!moment.hasDate) break;
      return deliverValue(object, static_cast<double>(moment.date));
    case Wanted::kTime:
      if (!moment.hasTime) break;
      return deliverValue(
          object, secondsWithFraction(moment.seconds, moment.fraction, moment.fractionDigits));
    case Wanted::kDatetime:
      if (!moment.hasDate) break;
      return deliverValue(
          object, secondsWithFraction(moment.date * calendar::kSecondsPerDay + moment.seconds,
                                      moment.fraction, moment.fractionDigits));
  }
  return refuseText(object);
}

}  // namespace

KovaStatus readAnyDate(KovaFormatObject* object, int32_t) { return readAny(object, Wanted::kDate); }

KovaStatus readAnyTime(KovaFormatObject* object, int32_t) { return readAny(object, Wanted::kTime); }

KovaStatus readAnyDatetime(KovaFormatObject* object, int32_t) {
  return readAny(object, Wanted::kDatetime);
}

}  // namespace kova::runtime
