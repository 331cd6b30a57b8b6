#include "src/burner/text_plan.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "src/burner/output.h"

namespace kova {
namespace {

constexpr int32_t kNumberWidth = 20;  // as the general paths ask the host
constexpr uint64_t kNumberCapacity = 152;
constexpr uint32_t kNumberFlags = 0x800;
constexpr std::u16string_view kDefaultDate = u"YYMMDD10.";
constexpr int64_t kSecondsPerDay = 86400;

// Days from 1960-01-01 to year-month-day of the proleptic Gregorian calendar.
constexpr int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 3653;
}

// The dates the fast path writes: 1582 to 3999, where the system's calendar
// is the Gregorian one (it has no leap day in years divisible by 4000).
constexpr int64_t kFirstFastDate = daysFromCivil(1582, 1, 1);
constexpr int64_t kEndFastDate = daysFromCivil(4000, 1, 1);
static_assert(daysFromCivil(1960, 1, 1) == 0 && kFirstFastDate == -138061);

inline uint8_t* twoDigits(uint8_t* p, uint32_t v) {
  p[0] = uint8_t('0' + v / 10);
  p[1] = uint8_t('0' + v % 10);
  return p + 2;
}

// "YYYY-MM-DD" of a day of the fast span at out; returns its end.
uint8_t* putDate(int64_t date, uint8_t* out) {
  // The civil date by eras of 400 years from 0000-03-01.
  const int64_t z = date - 3653 + 719468;
  const int64_t era = z / 146097;  // z > 0 over the fast span
  const uint32_t doe = uint32_t(z - era * 146097);
  const uint32_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const uint32_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const uint32_t mp = (5 * doy + 2) / 153;
  const uint32_t day = doy - (153 * mp + 2) / 5 + 1;
  const uint32_t month = mp < 10 ? mp + 3 : mp - 9;
  const uint32_t year = uint32_t(int64_t(yoe) + era * 400) + (month <= 2);
  uint8_t* p = twoDigits(twoDigits(out, year / 100), year % 100);
  *p++ = '-';
  p = twoDigits(p, month);
  *p++ = '-';
  return twoDigits(p, day);
}

bool sameBytes(const uint8_t* a, uint64_t an, const uint8_t* b, uint64_t bn) {
  return an == bn && std::memcmp(a, b, an) == 0;
}

constexpr int64_t kIntegerProbes[] = {0,
                                      1,
                                      -1,
                                      9,
                                      10,
                                      -10,
                                      99,
                                      -100,
                                      123456789,
                                      -987654321,
                                      2147483647,
                                      -2147483648LL,
                                      4294967295,
                                      std::numeric_limits<int64_t>::max(),
                                      std::numeric_limits<int64_t>::min()};

bool integersAgree(KovaRipper* burner, KovaEncodingHandle* handle) {
  for (int64_t v : kIntegerProbes) {
    uint8_t host[kNumberCapacity], fast[24];
    uint64_t length = 0;
    if (handle->ops->formatInteger(handle, burner->locale, v, kNumberWidth, 0, host,
                                   kNumberCapacity, &length) != kStatusOk ||
        !sameBytes(host, length, fast, integerText(v, fast))) {
      return false;
    }
  }
  return true;
}

constexpr double kDoubleProbes[] = {0.0,
                                    -0.0,
                                    1.0,
                                    -1.0,
                                    0.1,
                                    -2.5,
                                    1.0 / 3,
                                    -2.0 / 3,
                                    1e-7,
                                    1.5e-300,
                                    1e15,
                                    1e16,
                                    1e20,
                                    1e21,
                                    -123456.789,
                                    9007199254740993.0,
                                    std::numeric_limits<double>::max(),
                                    std::numeric_limits<double>::min(),
                                    std::numeric_limits<double>::denorm_min()};

bool doublesAgree(KovaRipper* burner, KovaEncodingHandle* handle) {
  for (double v : kDoubleProbes) {
    uint8_t host[kNumberCapacity], fast[24];
    const uint64_t n = doubleText(v, fast);
    if (n == 0) continue;  // the general path's, not probed
    uint64_t length = 0;
    if (handle->ops->formatDouble(handle, burner->locale, v, kNumberWidth, 0, kNumberFlags, host,
                                  kNumberCapacity, &length) != kStatusOk ||
        !sameBytes(host, length, fast, n)) {
      return false;
    }
  }
  return true;
}

// Both ends of the fast span, both sides of the epoch and of leap days.
constexpr double kDateProbes[] = {-138061, -138060.5, -1, 0, 59, 60, 366, 15399.75, 14669, 745094};

bool datesAgree(KovaFormatObject* format) {
  for (double v : kDateProbes) {
    char16_t wide[16];
    uint8_t fast[24];
    format->output = wide;
    format->outputCapacity = 10;
    format->input = &v;
    format->outputLength = 0;
    const KovaStatus status = format->run(format, 0);
    format->input = nullptr;
    format->output = nullptr;
    const uint64_t n = dateText(v, fast);
    if (status != kStatusOk || format->outputLength != n || n == 0) return false;
    for (uint64_t i = 0; i < n; ++i) {
      if (wide[i] != fast[i]) return false;
    }
  }
  return true;
}

constexpr std::string_view kTrimProbes[] = {
    "",
    "    ",
    "ab  ",
    "a b ",
    "a\t",
    "a\t ",
    std::string_view("a\0 ", 3),
    "x",
    "eight ch        ",
    "a longer text of more than sixteen bytes   ",
    "a text longer than sixty-four bytes, which takes the host's longer way      "};

bool trimsAgree(KovaEncodingHandle* handle) {
  for (std::string_view probe : kTrimProbes) {
    const auto* text = reinterpret_cast<const uint8_t*>(probe.data());
    const uint64_t kept = handle->ops->trimmedLength(handle, text, probe.size(), 0);
    if (std::min<uint64_t>(kept, probe.size()) != trimBlanks(text, probe.size())) return false;
  }
  return true;
}

TextPlan chooseTextPlan(KovaRipper* burner, KovaColumnState* state) {
  const KovaLayoutEntry* entry = state->typedEntry;
  KovaEncodingHandle* handle = state->targetHandle;
  if (state->column->dropped || !entry || !handle || !asciiField(burner, state)) {
    return TextPlan::kGeneral;
  }
  KovaFormatObject* format = state->formatObject;
  if (integerStorage(entry->storageType)) {
    if (format) return TextPlan::kGeneral;
    return integersAgree(burner, handle) ? TextPlan::kInteger : TextPlan::kGeneral;
  }
  switch (entry->storageType) {
    case kStorageDouble:
      if (!format) {
        if (state->column->type == kTypeTimestamp) {
          // Whole seconds, no fraction digits.
          return state->column->charlength < 1 ? TextPlan::kTimestamp : TextPlan::kGeneral;
        }
        return doublesAgree(burner, handle) ? TextPlan::kDouble : TextPlan::kGeneral;
      }
      if (!format->run || format->outputKind != kFormatKindWide || !state->fromWide ||
          std::u16string_view(state->formatName, size_t(state->formatNameLength)) != kDefaultDate) {
        return TextPlan::kGeneral;
      }
      return datesAgree(format) ? TextPlan::kDate : TextPlan::kGeneral;
    case kStorageChar:
      if (entry->sqlType != kSqlChar || state->directTranscoder) return TextPlan::kGeneral;
      return trimsAgree(handle) ? TextPlan::kTrimChar : TextPlan::kGeneral;
    default:
      return TextPlan::kGeneral;
  }
}

// The bytes a fast text of the plan may hold; none for text.
std::string_view fastBytes(TextPlan plan) {
  switch (plan) {
    case TextPlan::kInteger:
      return "0123456789-";
    case TextPlan::kDouble:
      return "0123456789-.e+";
    case TextPlan::kDate:
      return "0123456789-";
    case TextPlan::kTimestamp:
      return "0123456789- :";
    default:
      return {};
  }
}

// True when no byte of the plan's fast texts is the qualifier or a
// terminator: such a text is never qualified.
bool neverQualified(const KovaRipper* burner, TextPlan plan) {
  const std::string_view bytes = fastBytes(plan);
  if (bytes.empty()) return false;
  const uint8_t q = burner->table->textqual;
  for (char b : bytes) {
    const auto x = uint8_t(b);
    if ((q != 0 && x == q) || x == burner->terminators[0] || x == burner->terminators[1] ||
        x == burner->terminators[2]) {
      return false;
    }
  }
  return true;
}

}  // namespace

uint64_t integerText(int64_t value, uint8_t* out) {
  char* p = reinterpret_cast<char*>(out);
  return uint64_t(std::to_chars(p, p + 24, value).ptr - p);
}

uint64_t doubleText(double value, uint8_t* out) {
  if (!std::isfinite(value)) return 0;
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  const uint64_t n = uint64_t(end - text);
  if (error != std::errc() || n > uint64_t(kNumberWidth)) return 0;
  std::memcpy(out, text, n);
  return n;
}

uint64_t dateText(double value, uint8_t* out) {
  if (!(value >= double(kFirstFastDate) && value < double(kEndFastDate))) return 0;
  putDate(int64_t(std::floor(value)), out);
  return 10;
}

uint64_t timestampText(double value, uint8_t* out) {
  constexpr double kFirst = double(kFirstFastDate * kSecondsPerDay);
  constexpr double kEnd = double(kEndFastDate * kSecondsPerDay);
  // Whole seconds only: a fraction is the general path's to round.
  if (!(value >= kFirst && value < kEnd) || value != std::floor(value)) return 0;
  const int64_t seconds = int64_t(value) - kFirstFastDate * kSecondsPerDay;  // >= 0
  const int64_t days = seconds / kSecondsPerDay + kFirstFastDate;
  const uint32_t inDay = uint32_t(seconds % kSecondsPerDay);
  uint8_t* p = putDate(days, out);
  *p++ = ' ';
  p = twoDigits(p, inDay / 3600);
  *p++ = ':';
  p = twoDigits(p, inDay / 60 % 60);
  *p++ = ':';
  twoDigits(p, inDay % 60);
  return 19;
}

uint64_t trimBlanks(const uint8_t* text, uint64_t n) {
  while (n > 0 && text[n - 1] == ' ') --n;
  return n;
}

void planTextColumns(KovaRipper* burner) {
  const bool delimited = burner->table->recfm == kRecfmDelimited && !burner->rowImage;
  for (int32_t i = 0; i < burner->table->columnCount; ++i) {
    KovaColumnState* state = &burner->columns[i];
    const TextPlan plan = delimited ? chooseTextPlan(burner, state) : TextPlan::kGeneral;
    settingsOf(burner, state).textPlan = uint8_t(plan);
    settingsOf(burner, state).fastTextFinal = neverQualified(burner, plan) && !burner->escapeStyle;
  }
}

void planGeneralText(KovaRipper* burner) {
  for (int32_t i = 0; i < burner->table->columnCount; ++i) {
    settingsOf(burner, &burner->columns[i]).textPlan = uint8_t(TextPlan::kGeneral);
    settingsOf(burner, &burner->columns[i]).fastTextFinal = false;
  }
}

}  // namespace kova
