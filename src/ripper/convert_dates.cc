// The common date, time and datetime texts read in place, bit for bit as the
// host's date readers read them (the differential tests compare the two over
// many generated texts).
#include "src/ripper/convert_dates.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "src/convert/calendar.h"
#include "src/convert/missing.h"
#include "src/host/siblings.h"
#include "src/ripper/column_settings.h"

namespace kova {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Integers up to this magnitude are exact doubles.
constexpr int64_t kExactInteger = int64_t(1) << 53;
constexpr int kMaxFractionDigits = 6;
constexpr int64_t kPowersOfTen[kMaxFractionDigits + 1] = {1, 10, 100, 1000, 10000, 100000, 1000000};

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
  return 365 * p + p / 4 - p / 100 + p / 400 - p / 4000;
}

// Days from 1960-01-01 to year-month-day; false when that is no day of the
// span.
bool dateOf(int year, int month, int day, int64_t* date) {
  static constexpr int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  if (year < kFirstYear || year > kLastYear || month < 1 || month > 12 || day < 1) return false;
  const bool leap = isLeapYear(year);
  if (day > kLengths[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
  *date = daysBeforeYear(year) - daysBeforeYear(1960) + kBefore[month - 1] +
          (month > 2 && leap ? 1 : 0) + day - 1;
  return true;
}

// yyyy-mm-dd at p (10 bytes).
bool isoDate(const uint8_t* p, int64_t* date) {
  if (p[4] != '-' || p[7] != '-') return false;
  const int year = fourDigits(p);
  const int month = twoDigits(p + 5);
  const int day = twoDigits(p + 8);
  return year >= 0 && month >= 0 && day >= 0 && dateOf(year, month, day, date);
}

// dd/Mon/yyyy at p (11 bytes), the month's abbreviation in any case.
bool logDate(const uint8_t* p, int64_t* date) {
  // The abbreviations in upper case, three letters packed as p[3..5] are.
  static constexpr uint32_t kMonths[12] = {
      'J' << 16 | 'A' << 8 | 'N', 'F' << 16 | 'E' << 8 | 'B', 'M' << 16 | 'A' << 8 | 'R',
      'A' << 16 | 'P' << 8 | 'R', 'M' << 16 | 'A' << 8 | 'Y', 'J' << 16 | 'U' << 8 | 'N',
      'J' << 16 | 'U' << 8 | 'L', 'A' << 16 | 'U' << 8 | 'G', 'S' << 16 | 'E' << 8 | 'P',
      'O' << 16 | 'C' << 8 | 'T', 'N' << 16 | 'O' << 8 | 'V', 'D' << 16 | 'E' << 8 | 'C'};
  if (p[2] != '/' || p[6] != '/') return false;
  uint32_t name = 0;
  for (int i = 3; i < 6; ++i) {
    const auto upper = uint8_t(p[i] & 0xDF);
    if (upper < 'A' || upper > 'Z') return false;  // letters only
    name = name << 8 | upper;
  }
  int month = 0;
  for (int m = 0; m < 12; ++m) {
    if (name == kMonths[m]) month = m + 1;
  }
  const int day = twoDigits(p);
  const int year = fourDigits(p + 7);
  return month > 0 && day >= 0 && year >= 0 && dateOf(year, month, day, date);
}

// A time of day hh:mm:ss[.f...] filling the n bytes at p.
struct Clock {
  int64_t seconds = 0;
  int64_t fraction = 0;  // the digits after the point as an integer
  int fractionDigits = 0;
};

bool clockOf(const uint8_t* p, uint32_t n, Clock* clock) {
  if (n < 8 || p[2] != ':' || p[5] != ':') return false;
  const int hour = twoDigits(p);
  const int minute = twoDigits(p + 3);
  const int second = twoDigits(p + 6);
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return false;
  }
  clock->seconds = hour * 3600 + minute * 60 + second;
  if (n == 8) return true;
  if (p[8] != '.' || n - 9 < 1 || n - 9 > uint32_t(kMaxFractionDigits)) return false;
  for (uint32_t i = 9; i < n; ++i) {
    const unsigned digit = unsigned(p[i]) - '0';
    if (digit > 9) return false;
    clock->fraction = clock->fraction * 10 + digit;
  }
  clock->fractionDigits = int(n - 9);
  return true;
}

// "+hhmm" or "-hhmm", read and ignored as the host does.
bool zone(const uint8_t* p) {
  if (p[0] != '+' && p[0] != '-') return false;
  const int hours = twoDigits(p + 1);
  const int minutes = twoDigits(p + 3);
  return hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59;
}

// whole + 0.fraction as the nearest double. Both numbers of the division
// are exact, so its one rounding gives what reading the decimal text gives.
bool secondsValue(int64_t whole, const Clock& clock, double* value) {
  if (clock.fractionDigits == 0) {
    *value = double(whole);
    return true;
  }
  const int64_t scale = kPowersOfTen[clock.fractionDigits];
  const int64_t limit = kExactInteger / scale;
  if (whole >= limit || whole <= -limit) return false;
  *value = double(whole * scale + clock.fraction) / double(scale);
  return true;
}

struct Moment {
  bool hasDate = false;
  bool hasTime = false;
  int64_t date = 0;
  Clock clock;
};

bool readMoment(const uint8_t* p, uint32_t n, Moment* m) {
  if (n >= 10 && p[4] == '-') {
    if (!isoDate(p, &m->date)) return false;
    m->hasDate = true;
    if (n == 10) return true;
    if (p[10] != ' ' && p[10] != 'T') return false;
    m->hasTime = clockOf(p + 11, n - 11, &m->clock);
    return m->hasTime;
  }
  if (n >= 20 && p[2] == '/') {
    if (!logDate(p, &m->date) || p[11] != ':') return false;
    m->hasDate = true;
    if (n == 26) {
      if (p[20] != ' ' || !zone(p + 21)) return false;
      n = 20;
    }
    m->hasTime = n == 20 && clockOf(p + 12, 8, &m->clock);
    return m->hasTime;
  }
  m->hasTime = clockOf(p, n, &m->clock);
  return m->hasTime;
}

// A few texts of every form, near the ends of days and of the span's start.
constexpr std::string_view kProbes[] = {
    "2024-02-29", "1959-12-31 23:59:59.125",    "1582-01-01T00:00:01",
    "07:08:09.5", "31/Dec/1959:23:59:58 -0500",
};

// True when the informat reads every probe that readDateText reads, and
// reads it to the same double.
bool readsLike(KovaFormatObject* informat, DateReader reader) {
  bool any = false;
  for (std::string_view probe : kProbes) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(probe.data());
    const auto n = uint32_t(probe.size());
    double expected = 0;
    if (!readDateText(reader, bytes, n, &expected)) continue;
    char16_t wide[32];
    for (uint32_t i = 0; i < n; ++i) wide[i] = char16_t(bytes[i]);
    double got = kMissing;
    informat->width = int32_t(n);
    informat->input = wide;
    informat->inputLength = int32_t(n);  // a probe: a few characters
    setFormatOutput(informat, &got, sizeof got);
    const KovaStatus status = informat->run(informat, 0);
    informat->input = nullptr;
    informat->output = nullptr;
    if (status != kStatusOk || std::bit_cast<uint64_t>(got) != std::bit_cast<uint64_t>(expected)) {
      return false;
    }
    any = true;
  }
  return any;
}

DateReader classify(const KovaColumnState* state) {
  KovaFormatObject* informat = state->formatObject;
  // 16-bit values (JSON and XML) reach readDateText narrowed to ASCII.
  if (!informat || !informat->run || informat->inputKind != kFormatKindWide ||
      (state->fieldEncoding != kEncodingUtf8 && state->fieldEncoding != kEncodingWide)) {
    return DateReader::kNone;
  }
  const DateReader reader = dateReaderNamed(state->formatName, state->formatNameLength);
  if (reader == DateReader::kNone || !readsLike(informat, reader)) return DateReader::kNone;
  return reader;
}

}  // namespace

DateReader dateReaderNamed(const char16_t* name, int64_t length) {
  char letters[9];
  int64_t count = 0;
  while (name && count < length && count < int64_t(sizeof letters)) {
    const char16_t c = name[count];
    if (!((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))) break;
    letters[count++] = char(c & ~0x20);
  }
  const std::string_view word(letters, size_t(count));
  if (count < length && name[count] >= u'A') return DateReader::kNone;  // a longer name
  if (word == "YYMMDD") return DateReader::kYearFirst;
  if (word == "ANYDTDTE") return DateReader::kAnyDate;
  if (word == "ANYDTDTM") return DateReader::kAnyDatetime;
  if (word == "ANYDTTME") return DateReader::kAnyTime;
  if (word == "TIME") return DateReader::kTime;
  return DateReader::kNone;
}

bool readDateText(DateReader reader, const uint8_t* text, uint32_t n, double* value) {
  Moment m;
  if (!text || !readMoment(text, n, &m)) return false;
  switch (reader) {
    case DateReader::kYearFirst:
      if (!m.hasDate || m.hasTime) return false;
      *value = double(m.date);
      return true;
    case DateReader::kAnyDate:
      if (!m.hasDate) return false;
      *value = double(m.date);
      return true;
    case DateReader::kAnyDatetime:
      if (!m.hasDate) return false;
      return secondsValue(m.date * kSecondsPerDay + m.clock.seconds, m.clock, value);
    case DateReader::kAnyTime:
      return m.hasTime && secondsValue(m.clock.seconds, m.clock, value);
    case DateReader::kTime:
      return m.hasTime && !m.hasDate && secondsValue(m.clock.seconds, m.clock, value);
    default:
      return false;
  }
}

DateReader dateReaderOf(KovaRipper* ripper, KovaColumnState* state) {
  const KovaFormatObject* informat = state->formatObject;
  ColumnSettings& settings = settingsOf(ripper, state);
  if (settings.dateReader != DateReader::kUnknown && settings.probedInformat == informat &&
      informat && settings.probedRun == informat->run) {
    return settings.dateReader;
  }
  settings.dateReader = classify(state);
  settings.probedInformat = informat;
  settings.probedRun = informat ? informat->run : nullptr;
  return settings.dateReader;
}

}  // namespace kova
