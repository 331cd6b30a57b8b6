#include "runtime/format/format_support.h"

#include <charconv>
#include <cstring>

#include "runtime/format/calendar.h"
#include "runtime/format/format_object.h"
#include "runtime/kernel/host.h"

namespace kova::runtime {
namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Length of the letter run at the scan.
size_t letterRun(const Scan& scan) {
  Scan probe = scan;
  while (probe.atLetter()) ++probe.p;
  return static_cast<size_t>(probe.p - scan.p);
}

// True when the letters at the scan, any case, are exactly word (upper case).
bool lettersAre(const char* letters, size_t length, std::string_view word) {
  if (length != word.size()) return false;
  for (size_t i = 0; i < length; ++i) {
    if (upper(letters[i]) != word[i]) return false;
  }
  return true;
}

constexpr std::string_view kMonthNames[12] = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                                              "MAY",       "JUNE",     "JULY",     "AUGUST",
                                              "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};
constexpr std::string_view kWeekdayNames[7] = {"MONDAY", "TUESDAY",  "WEDNESDAY", "THURSDAY",
                                               "FRIDAY", "SATURDAY", "SUNDAY"};

}  // namespace

const char kMonthAbbreviations[12][4] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// ---- informats ----------------------------------------------------------

std::u16string_view informatText(const KovaFormatObject* object) {
  if (!object->input || object->inputLength <= 0) return {};
  int64_t length = object->inputLength;
  if (object->width > 0 && object->width < length) length = object->width;
  return {static_cast<const char16_t*>(object->input), static_cast<size_t>(length)};
}

bool narrowTrimmed(std::u16string_view text, char* out, size_t capacity, size_t* length) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && isBlank(text[first])) ++first;
  while (last > first && isBlank(text[last - 1])) --last;
  if (last - first > capacity) return false;
  for (size_t i = first; i < last; ++i) {
    if (text[i] >= 0x80) return false;
    out[i - first] = static_cast<char>(text[i]);
  }
  *length = last - first;
  return true;
}

KovaStatus deliverValue(KovaFormatObject* object, double value) {
  if (!object->output) return refuseText(object);
  std::memcpy(object->output, &value, sizeof value);
  object->outputLength = sizeof value;
  return kStatusOk;
}

KovaStatus refuseText(KovaFormatObject* object) {
  if (object->output) {
    const double missing = missingValue();
    std::memcpy(object->output, &missing, sizeof missing);
  }
  object->outputLength = 0;
  return kStatusNotSupported;
}

// ---- formats ------------------------------------------------------------

int32_t formatFieldWidth(const KovaFormatObject* object) {
  if (!object->output || object->outputCapacity == 0) return 0;
  const int32_t width = effectiveWidth(*formatObjectOf(object));
  return int64_t{object->outputCapacity} < width ? static_cast<int32_t>(object->outputCapacity)
                                                 : width;
}

double formatInput(const KovaFormatObject* object) {
  if (!object->input) return missingValue();
  double value;
  std::memcpy(&value, object->input, sizeof value);
  return value;
}

KovaStatus writeField(KovaFormatObject* object, int32_t width, const char* text, size_t length) {
  auto* out = static_cast<char16_t*>(object->output);
  const size_t w = static_cast<size_t>(width);
  if (length > w) return writeAsterisks(object, width);
  const size_t pad = w - length;
  for (size_t i = 0; i < pad; ++i) out[i] = u' ';
  for (size_t i = 0; i < length; ++i) out[pad + i] = static_cast<char16_t>(text[i]);
  object->outputLength = static_cast<uint32_t>(width);
  return kStatusOk;
}

KovaStatus writeAsterisks(KovaFormatObject* object, int32_t width) {
  auto* out = static_cast<char16_t*>(object->output);
  for (int32_t i = 0; i < width; ++i) out[i] = u'*';
  object->outputLength = static_cast<uint32_t>(width);
  return kStatusOk;
}

KovaStatus noRoom(KovaFormatObject* object) {
  object->outputLength = 0;
  return kStatusBufferTooSmall;
}

// ---- scanning -----------------------------------------------------------

int Scan::digits(int64_t* value) {
  int count = 0;
  int64_t v = 0;
  while (atDigit()) {
    if (count < 18) v = v * 10 + (*p - '0');
    ++count;
    ++p;
  }
  *value = v;
  return count;
}

int Scan::blanks() {
  int count = 0;
  while (p != end && (*p == ' ' || *p == '\t')) {
    ++p;
    ++count;
  }
  return count;
}

int readMonthName(Scan& scan, bool fullNames) {
  const size_t run = letterRun(scan);
  for (int m = 0; m < 12; ++m) {
    if (lettersAre(scan.p, run, std::string_view(kMonthAbbreviations[m], 3)) ||
        (fullNames && (lettersAre(scan.p, run, kMonthNames[m]) ||
                       (m == 8 && lettersAre(scan.p, run, "SEPT"))))) {
      scan.p += run;
      return m + 1;
    }
  }
  return 0;
}

bool skipWeekdayName(Scan& scan) {
  const size_t run = letterRun(scan);
  for (std::string_view name : kWeekdayNames) {
    if (lettersAre(scan.p, run, name.substr(0, 3)) || lettersAre(scan.p, run, name)) {
      scan.p += run;
      return true;
    }
  }
  return false;
}

bool readClock(Scan& scan, int maxHourDigits, bool decimalComma, Clock* clock) {
  int count = scan.digits(&clock->hour);
  if (count < 1 || count > maxHourDigits || !scan.take(':')) return false;
  count = scan.digits(&clock->minute);
  if (count < 1 || count > 2 || clock->minute > 59) return false;
  clock->hasSeconds = false;
  clock->second = 0;
  clock->fraction = nullptr;
  clock->fractionDigits = 0;
  if (!scan.at(':')) return true;
  ++scan.p;
  count = scan.digits(&clock->second);
  if (count < 1 || count > 2 || clock->second > 59) return false;
  clock->hasSeconds = true;
  if (scan.at('.') || (decimalComma && scan.at(','))) {
    ++scan.p;
    const char* first = scan.p;
    int64_t ignored;
    count = scan.digits(&ignored);
    if (count < 1) return false;
    clock->fraction = first;
    clock->fractionDigits = count;
  }
  return true;
}

double secondsWithFraction(int64_t whole, const char* fraction, int fractionDigits) {
  const size_t n = fractionDigits <= 0 ? 0
                   : static_cast<size_t>(fractionDigits) < kMaxReadText
                       ? static_cast<size_t>(fractionDigits)
                       : kMaxReadText;
  size_t last = n;  // the fraction without trailing zeros
  while (last > 0 && fraction[last - 1] == '0') --last;
  if (last == 0) return static_cast<double>(whole);
  // The sum written out in decimal and read in one go is correctly rounded.
  // Below zero, -w + 0.f is -(w - 1 + (1 - 0.f)), and 1 - 0.f is the tens'
  // complement of the digits.
  char text[kMaxReadText + 24];
  char* end = text;
  if (whole < 0) {
    *end++ = '-';
    end = std::to_chars(end, end + 20, -(whole + 1)).ptr;
    *end++ = '.';
    for (size_t i = 0; i < last; ++i) {
      const int digit = fraction[i] - '0';
      end[i] = static_cast<char>('0' + (i + 1 == last ? 10 - digit : 9 - digit));
    }
  } else {
    end = std::to_chars(end, end + 20, whole).ptr;
    *end++ = '.';
    std::memcpy(end, fraction, last);
  }
  end += last;
  double value = 0;
  std::from_chars(text, end, value, std::chars_format::fixed);
  return value;
}

// ---- years --------------------------------------------------------------

int64_t yearCutoff(const FormatObject& object) {
  int64_t value = 0;
  if (!object.host || !object.host->option(u"ZR_NAME_YEARCUTOFF", &value)) {
    return calendar::kDefaultYearCutoff;
  }
  if (value < calendar::kFirstYear || value > calendar::kLastYear) {
    return calendar::kDefaultYearCutoff;
  }
  return value;
}

int64_t yearOfDigits(const FormatObject& object, int64_t value, int count) {
  if (count == 2) return calendar::widenYear(value, yearCutoff(object));
  if (count == 4 || count == 5) return value;
  return -1;
}

}  // namespace kova::runtime
