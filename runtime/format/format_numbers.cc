// F, BEST, COMMA and E: plain numbers between text and doubles. Reading
// checks the written form itself and leaves the digits to std::from_chars,
// so every accepted text gives its correctly rounded double; writing uses
// std::to_chars, whose rounding is exact.
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/format/format_conversions.h"
#include "runtime/format/format_support.h"

namespace kova::runtime {
namespace {

// Large enough for any double in fixed notation with kMaxDecimals decimals.
constexpr size_t kNumberBuffer = 512;
constexpr int kMaxDecimals = 99;
// Longest text a number format composes; wider fields are padded.
constexpr int32_t kMaxNumberText = 100;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// ---- reading ------------------------------------------------------------

enum class Reading { kValue, kBlank, kRefused };

// [+|-] digits [. digits] [E|e [+|-] digits], with at least one digit before
// the exponent. With commaRules: ",", "$" and blanks are dropped wherever
// they are, and parentheses around the number make it negative.
Reading readNumber(std::u16string_view text, int32_t decimals, bool commaRules, double* value) {
  char buf[kMaxReadText + 8];
  size_t n = 0;
  if (commaRules) {
    for (char16_t c : text) {
      if (c == u' ' || c == u'\t' || c == u',' || c == u'$') continue;
      if (c >= 0x80 || n == kMaxReadText) return Reading::kRefused;
      buf[n++] = static_cast<char>(c);
    }
  } else if (!narrowTrimmed(text, buf, kMaxReadText, &n)) {
    return Reading::kRefused;
  }
  if (n == 0 || (n == 1 && buf[0] == '.')) return Reading::kBlank;

  size_t begin = 0;
  size_t end = n;
  bool negate = false;
  if (commaRules && buf[0] == '(') {
    if (n < 3 || buf[n - 1] != ')') return Reading::kRefused;
    negate = true;
    begin = 1;
    end = n - 1;
  }
  size_t i = begin;
  if (buf[i] == '+' || buf[i] == '-') {
    if (negate) return Reading::kRefused;
    ++i;
  }
  size_t digitCount = 0;
  while (i < end && isDigit(buf[i])) ++i, ++digitCount;
  const bool point = i < end && buf[i] == '.';
  if (point) {
    ++i;
    while (i < end && isDigit(buf[i])) ++i, ++digitCount;
  }
  if (digitCount == 0) return Reading::kRefused;
  const bool exponent = i < end && (buf[i] == 'E' || buf[i] == 'e');
  if (exponent) {
    ++i;
    if (i < end && (buf[i] == '+' || buf[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < end && isDigit(buf[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return Reading::kRefused;
  }
  if (i != end) return Reading::kRefused;

  if (buf[begin] == '+') ++begin;  // from_chars takes no plus sign
  if (decimals > 0 && !point && !exponent) {
    // The implied point: "12345" with 2 decimals reads as 12345e-2.
    const int d = decimals < kMaxDecimals ? decimals : kMaxDecimals;
    buf[end++] = 'e';
    buf[end++] = '-';
    end = static_cast<size_t>(std::to_chars(buf + end, buf + end + 2, d).ptr - buf);
  }
  double v = 0;
  const auto [ptr, ec] = std::from_chars(buf + begin, buf + end, v, std::chars_format::general);
  if (ptr != buf + end) return Reading::kRefused;
  if (ec == std::errc::result_out_of_range) {
    // Too small for a double reads as zero; too large is refused.
    bool tiny = false;
    for (size_t k = begin; k < end; ++k) {
      if (buf[k] == 'e' || buf[k] == 'E') {
        tiny = buf[k + 1] == '-';
        break;
      }
    }
    if (!tiny) return Reading::kRefused;
    v = buf[begin] == '-' ? -0.0 : 0.0;
  } else if (ec != std::errc{}) {
    return Reading::kRefused;
  }
  *value = negate ? -v : v;
  return Reading::kValue;
}

KovaStatus readNumberInto(KovaFormatObject* object, bool commaRules) {
  double value = 0;
  switch (readNumber(informatText(object), object->decimals, commaRules, &value)) {
    case Reading::kValue:
      return deliverValue(object, value);
    case Reading::kBlank:
      return deliverValue(object, missingValue());
    case Reading::kRefused:
      break;
  }
  return refuseText(object);
}

// ---- writing ------------------------------------------------------------

// Drops the sign of a text that rounded to zero ("-0.00" is "0.00").
size_t withoutNegativeZero(char* text, size_t length) {
  if (length == 0 || text[0] != '-') return length;
  for (size_t i = 1; i < length; ++i) {
    if (text[i] != '0' && text[i] != '.') return length;
  }
  std::memmove(text, text + 1, length - 1);
  return length - 1;
}

// v with exactly `decimals` digits after the point. REQUIRES: v finite.
size_t fixedText(double v, int decimals, char* out) {
  const auto result =
      std::to_chars(out, out + kNumberBuffer, v, std::chars_format::fixed, decimals);
  return withoutNegativeZero(out, static_cast<size_t>(result.ptr - out));
}

// Removes the zeros after the point, and the point when nothing follows.
size_t stripFraction(const char* text, size_t length) {
  if (!std::memchr(text, '.', length)) return length;
  while (text[length - 1] == '0') --length;
  if (text[length - 1] == '.') --length;
  return length;
}

// Digits from the first nonzero one to the end: how much of the value the
// text keeps.
int keptDigits(const char* text, size_t length) {
  int count = 0;
  bool started = false;
  for (size_t i = 0; i < length; ++i) {
    if (!isDigit(text[i])) continue;
    started = started || text[i] != '0';
    if (started) ++count;
  }
  return count;
}

// Scientific text with `precision` digits after the point, written
// d.dddE[-]x (no plus sign, no leading zeros in the exponent).
size_t bestScientificText(double v, int precision, char* out) {
  char sci[64];
  const auto result =
      std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, precision);
  const size_t length = static_cast<size_t>(result.ptr - sci);
  const char* e = static_cast<const char*>(std::memchr(sci, 'e', length));
  size_t mantissa = stripFraction(sci, static_cast<size_t>(e - sci));
  std::memcpy(out, sci, mantissa);
  size_t n = mantissa;
  out[n++] = 'E';
  const char* exponent = e + 1;
  if (*exponent == '-') out[n++] = '-';
  ++exponent;  // past the sign
  while (exponent < sci + length - 1 && *exponent == '0') ++exponent;
  while (exponent < sci + length) out[n++] = *exponent++;
  return n;
}

// The most precise text of v that fits width: the shortest text that reads
// back as v when it fits, otherwise the fixed or scientific rounding that
// keeps more digits. 0 when nothing fits. REQUIRES: v finite, 1 <= width <=
// kMaxNumberText.
size_t bestText(double v, int32_t width, char* out) {
  const size_t w = static_cast<size_t>(width);
  if (v == 0) {
    out[0] = '0';
    return 1;
  }
  size_t length = static_cast<size_t>(
      std::to_chars(out, out + kNumberBuffer, v, std::chars_format::fixed).ptr - out);
  if (length <= w) return length;

  const int sign = v < 0 ? 1 : 0;
  const char* dot = static_cast<const char*>(std::memchr(out, '.', length));
  const int integerDigits =
      static_cast<int>((dot ? dot - out : static_cast<ptrdiff_t>(length)) - sign);

  char fixed[kNumberBuffer];
  size_t fixedLength = 0;
  int fixedKept = -1;
  for (int decimals = width - sign - integerDigits - 1; decimals >= 0; --decimals) {
    fixedLength = fixedText(v, decimals, fixed);  // rounding may add a digit
    if (fixedLength <= w) {
      fixedKept = keptDigits(fixed, fixedLength);
      fixedLength = stripFraction(fixed, fixedLength);
      break;
    }
  }
  if (fixedKept < 0 && sign + integerDigits <= width) {
    fixedLength = fixedText(v, 0, fixed);
    if (fixedLength <= w) fixedKept = keptDigits(fixed, fixedLength);
  }

  char sci[64];
  size_t sciLength = 0;
  int sciKept = -1;
  // Sign, one digit, point, "E" and at least one exponent digit besides the
  // decimals; 16 decimals hold every double.
  int precision = width - sign - 4;
  if (precision > 16) precision = 16;
  for (; precision >= 0; --precision) {
    sciLength = bestScientificText(v, precision, sci);
    if (sciLength <= w) {
      sciKept = precision + 1;
      break;
    }
  }
  if (fixedKept > 0 && fixedKept >= sciKept) {
    std::memcpy(out, fixed, fixedLength);
    return fixedLength;
  }
  if (sciKept > 0) {
    std::memcpy(out, sci, sciLength);
    return sciLength;
  }
  return 0;
}

// The common start of the number formats: width, value, and the fields of
// values without digits. Returns true when the caller should write digits.
bool numberToWrite(KovaFormatObject* object, int32_t* width, double* value, KovaStatus* status) {
  *width = formatFieldWidth(object);
  if (*width == 0) {
    *status = noRoom(object);
    return false;
  }
  *value = formatInput(object);
  if (std::isnan(*value)) {  // missing values are NaNs
    *status = writeMissing(object, *width);
    return false;
  }
  if (std::isinf(*value)) {
    *status = writeAsterisks(object, *width);
    return false;
  }
  if (*value == 0) *value = 0.0;  // no negative zero in any field
  return true;
}

int32_t composedWidth(int32_t width) { return width < kMaxNumberText ? width : kMaxNumberText; }

int clampDecimals(int32_t decimals) {
  return decimals < 0 ? 0 : decimals > kMaxDecimals ? kMaxDecimals : decimals;
}

// F rules: the decimals asked for, fewer when the field is too narrow, then
// the BEST text, then asterisks.
KovaStatus writeFixedValue(KovaFormatObject* object, int32_t width, double v) {
  char text[kNumberBuffer];
  const size_t w = static_cast<size_t>(composedWidth(width));
  for (int decimals = clampDecimals(object->decimals); decimals >= 0; --decimals) {
    const size_t length = fixedText(v, decimals, text);
    if (length <= w) return writeField(object, width, text, length);
  }
  const size_t length = bestText(v, composedWidth(width), text);
  return length ? writeField(object, width, text, length) : writeAsterisks(object, width);
}

}  // namespace

KovaStatus readPlainNumber(KovaFormatObject* object, int32_t) {
  return readNumberInto(object, false);
}

KovaStatus readCommaNumber(KovaFormatObject* object, int32_t) {
  return readNumberInto(object, true);
}

KovaStatus writeFixed(KovaFormatObject* object, int32_t) {
  int32_t width;
  double v;
  KovaStatus status;
  if (!numberToWrite(object, &width, &v, &status)) return status;
  return writeFixedValue(object, width, v);
}

KovaStatus writeBest(KovaFormatObject* object, int32_t) {
  int32_t width;
  double v;
  KovaStatus status;
  if (!numberToWrite(object, &width, &v, &status)) return status;
  char text[kNumberBuffer];
  const size_t length = bestText(v, composedWidth(width), text);
  return length ? writeField(object, width, text, length) : writeAsterisks(object, width);
}

KovaStatus writeComma(KovaFormatObject* object, int32_t) {
  int32_t width;
  double v;
  KovaStatus status;
  if (!numberToWrite(object, &width, &v, &status)) return status;
  char plain[kNumberBuffer];
  const size_t length = fixedText(v, clampDecimals(object->decimals), plain);
  const size_t sign = plain[0] == '-' ? 1 : 0;
  const char* dot = static_cast<const char*>(std::memchr(plain, '.', length));
  const size_t integerEnd = dot ? static_cast<size_t>(dot - plain) : length;
  const size_t integerDigits = integerEnd - sign;
  const size_t grouped = length + (integerDigits - 1) / 3;
  if (grouped <= static_cast<size_t>(composedWidth(width))) {
    char text[kNumberBuffer + kNumberBuffer / 3];
    size_t n = 0;
    if (sign) text[n++] = '-';
    for (size_t i = 0; i < integerDigits; ++i) {
      if (i > 0 && (integerDigits - i) % 3 == 0) text[n++] = ',';
      text[n++] = plain[sign + i];
    }
    std::memcpy(text + n, plain + integerEnd, length - integerEnd);
    n += length - integerEnd;
    return writeField(object, width, text, n);
  }
  return writeFixedValue(object, width, v);  // no room for the separators
}

KovaStatus writeScientific(KovaFormatObject* object, int32_t) {
  int32_t width;
  double v;
  KovaStatus status;
  if (!numberToWrite(object, &width, &v, &status)) return status;
  const int32_t w = composedWidth(width);
  // One column is kept for the sign, so that positive and negative values
  // line up: d.dddE+xx takes 6 columns besides the decimals.
  int precision = object->decimals > 0 ? object->decimals : w - 7;
  if (precision > kMaxDecimals) precision = kMaxDecimals;
  if (precision < 0) precision = 0;
  char text[kNumberBuffer];
  for (; precision >= 0; --precision) {
    const auto result =
        std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, precision);
    const size_t length = static_cast<size_t>(result.ptr - text);
    if (length <= static_cast<size_t>(w)) {
      char* e = static_cast<char*>(std::memchr(text, 'e', length));
      *e = 'E';
      return writeField(object, width, text, length);
    }
  }
  return writeAsterisks(object, width);
}

}  // namespace kova::runtime
