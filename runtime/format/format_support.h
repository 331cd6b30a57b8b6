// What the conversions of the format engine share: reading an object's input,
// delivering an informat's double or its refusal, writing a format's field
// right-aligned in its width, the missing value, a cursor over ASCII text,
// month names, clock times and the year cutoff. Nothing here allocates.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kova/siblings.h"
#include "kova/status.h"

namespace kova::runtime {

struct FormatObject;

// ---- values -------------------------------------------------------------

constexpr uint64_t kMissingBits = 0xFFFFD10000000000ull;

inline double missingValue() { return std::bit_cast<double>(kMissingBits); }

// Any value whose two most significant bytes are 0xFF is missing.
inline bool isMissing(double value) { return (std::bit_cast<uint64_t>(value) >> 48) == 0xFFFF; }

// ---- informats ----------------------------------------------------------

// The text an informat reads: its input, the first `width` characters when
// width is set and shorter. Empty for a null input.
std::u16string_view informatText(const KovaFormatObject* object);

// Longest text (after trimming) a numeric or date informat looks at.
constexpr size_t kMaxReadText = 256;

// Copies text without leading and trailing blanks (space, tab) into out.
// False when a character is not ASCII or the rest is longer than capacity.
bool narrowTrimmed(std::u16string_view text, char* out, size_t capacity, size_t* length);

// Stores value as the informat's result: outputLength 8, status 0.
KovaStatus deliverValue(KovaFormatObject* object, double value);

// Refuses the text: the missing value is stored all the same (for callers
// that read the double without the status), outputLength 0,
// kStatusNotSupported.
KovaStatus refuseText(KovaFormatObject* object);

// ---- formats ------------------------------------------------------------

// The width a format writes: the caller's (or the default) width, no more
// than the output capacity. 0 when there is no room at all.
int32_t formatFieldWidth(const KovaFormatObject* object);

// The 8-byte value a format converts, or the missing value for a null input.
double formatInput(const KovaFormatObject* object);

// Writes text right-aligned in width, blanks before it; asterisks across the
// width when the text is longer. REQUIRES: width >= 1, room in the output.
KovaStatus writeField(KovaFormatObject* object, int32_t width, const char* text, size_t length);

inline KovaStatus writeField(KovaFormatObject* object, int32_t width, std::string_view text) {
  return writeField(object, width, text.data(), text.size());
}

// A field too narrow for its value: asterisks across the width.
KovaStatus writeAsterisks(KovaFormatObject* object, int32_t width);

// The field of a value without a text form: "." for missing values.
inline KovaStatus writeMissing(KovaFormatObject* object, int32_t width) {
  return writeField(object, width, ".", 1);
}

// No room to write into: nothing written, kStatusBufferTooSmall.
KovaStatus noRoom(KovaFormatObject* object);

// ---- scanning ASCII text ------------------------------------------------

struct Scan {
  char* p;  // mutable: a reader may rewrite a decimal comma in place
  char* end;

  bool done() const { return p == end; }
  bool at(char c) const { return p != end && *p == c; }
  bool atDigit() const { return p != end && *p >= '0' && *p <= '9'; }
  bool atLetter() const {
    return p != end && ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'));
  }
  bool take(char c) {
    if (!at(c)) return false;
    ++p;
    return true;
  }
  // Reads a run of digits; returns how many (0 when none). A run longer than
  // 18 digits is read whole but its value is not kept (the count tells).
  int digits(int64_t* value);
  // Skips blanks; returns how many.
  int blanks();
};

// The month (1 to 12) of a name at the scan: the three-letter abbreviation,
// or with fullNames also the whole name (and "Sept"), any case. The scan
// moves past the name; 0 and no move when there is none.
int readMonthName(Scan& scan, bool fullNames);

// Skips a weekday name (three letters or whole, any case); false and no move
// when there is none.
bool skipWeekdayName(Scan& scan);

// Upper-case three-letter month names, for writing.
extern const char kMonthAbbreviations[12][4];

// A clock reading h:mm[:ss[.fff]].
struct Clock {
  int64_t hour = 0;
  int64_t minute = 0;
  int64_t second = 0;              // whole seconds
  const char* fraction = nullptr;  // digits after the point, or null
  int fractionDigits = 0;
  bool hasSeconds = false;
};

// Reads hours of 1 to maxHourDigits digits, ":", minutes of 1 or 2 digits
// below 60, and optionally ":" and seconds of 1 or 2 digits below 60 with a
// fraction after "." (or "," when decimalComma). False on any mismatch.
bool readClock(Scan& scan, int maxHourDigits, bool decimalComma, Clock* clock);

// whole + 0.fraction as the nearest double (one rounding).
double secondsWithFraction(int64_t whole, const char* fraction, int fractionDigits);

// ---- years --------------------------------------------------------------

// The two-digit year cutoff: the host option "ZR_NAME_YEARCUTOFF", or 1926
// when it is unset or outside 1582 to 20000. Read on every call.
int64_t yearCutoff(const FormatObject& object);

// A year written with `count` digits: two digits are widened with the
// cutoff, four or five are taken as they are; -1 for any other count.
int64_t yearOfDigits(const FormatObject& object, int64_t value, int count);

}  // namespace kova::runtime
