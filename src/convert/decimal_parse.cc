// Text to DecimalValue. One pass checks and trims the text, a second collects
// the digits straight into a 128-bit magnitude; digit counts are bounded so
// the magnitude never wraps. The exponent form is written out in plain
// notation into a fixed scratch and read like any other text.
#include <cstring>

#include "src/convert/decimal.h"

namespace kova {
namespace {

using U128 = unsigned __int128;

constexpr int kMaxDigits = kDecimalMaxPrecision;  // 10^38 - 1 < 2^128
constexpr int kMaxScale = 127;
constexpr int kMaxFractionDigits = 127;           // precision 0: fraction digits kept
constexpr int kExponentLimit = 168;               // exponents of this magnitude never fit
constexpr int kPlainTextMax = 167;                // the exponent form written out

constexpr bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

struct Pow10Table {
  U128 p[kMaxDigits + 1];
  constexpr Pow10Table() : p() {
    p[0] = 1;
    for (int i = 1; i <= kMaxDigits; ++i) p[i] = p[i - 1] * 10;
  }
};
constexpr Pow10Table kPow10;

// A checked and trimmed number: [digits, end) holds digits and at most one
// point, without the integer part's leading zeros and, when there is a point,
// without the fraction's trailing zeros.
struct Number {
  const char* digits;
  const char* end;
  const char* point;  // null without a point
  bool negative;
  bool zeroSeen;
  bool empty() const { return digits == end || (point && end - digits == 1); }
};

// Checks [p, end) as a plain number. Trailing blanks are dropped before the
// front is read, so "0  " is a zero like "1  " is a one.
KovaStatus scanNumber(const char* p, const char* end, Number* out) {
  while (end > p && isBlank(end[-1])) --end;
  while (p < end && isBlank(*p)) ++p;
  out->negative = false;
  if (p < end && (*p == '+' || *p == '-')) out->negative = *p++ == '-';
  bool zero = false;
  while (p < end && *p == '0') {
    zero = true;
    ++p;
  }
  const char* point = nullptr;
  const char* q = p;
  while (q < end && isDigit(*q)) ++q;
  if (q < end && *q == '.') {
    point = q++;
    while (q < end && isDigit(*q)) ++q;
  }
  if (q != end) return kStatusNotANumber;  // a blank, sign, second point or other byte inside
  if (point) {
    while (end > point + 1 && end[-1] == '0') {
      --end;
      zero = true;
    }
  }
  out->digits = p;
  out->end = end;
  out->point = point;
  out->zeroSeen = zero;
  if (out->empty() && !zero) return kStatusNotANumber;  // blank, lone sign, lone point
  return kStatusOk;
}

// Zero is never negative; without a declared precision it has one digit.
KovaStatus storeZero(int32_t precision, int32_t scale, DecimalValue* result) {
  result->precision = static_cast<uint8_t>(precision ? precision : 1);
  result->scale = static_cast<int8_t>(scale);
  result->sign = 1;
  std::memset(result->val, 0, sizeof result->val);
  return kStatusOk;
}

void storeValue(U128 magnitude, int precision, int scale, bool negative, DecimalValue* result) {
  result->precision = static_cast<uint8_t>(precision);
  result->scale = static_cast<int8_t>(scale);
  result->sign = negative ? 0 : 1;
  for (int i = 0; i < 16; ++i) result->val[i] = static_cast<uint8_t>(magnitude >> (8 * i));
}

// Collects the digits of a non-empty number and stores the value.
KovaStatus collect(const Number& n, bool truncate, int32_t precision, int32_t scale,
                   DecimalValue* result) {
  const int maxSignificant = precision ? precision : kMaxDigits;
  const int maxFraction = precision ? scale : kMaxFractionDigits;
  const char* integerEnd = n.point ? n.point : n.end;

  U128 magnitude = 0;
  int significant = 0;  // digits in magnitude, from its first non-zero one
  int fraction = 0;     // fraction digits taken, leading zeros included
  int shift = 0;        // integer digits past the precision: each lowers the scale by one

  for (const char* p = n.digits; p < integerEnd; ++p) {
    unsigned digit = static_cast<unsigned>(*p - '0');
    if (significant < maxSignificant) {
      magnitude = magnitude * 10 + digit;
      ++significant;
      continue;
    }
    ++shift;
    if (precision ? -shift < scale : shift > -kDecimalMinScale) return kStatusDecimalOverflow;
    if (digit && !truncate) return kStatusDecimalOverflow;
  }
  if (n.point) {
    for (const char* p = n.point + 1; p < n.end; ++p) {
      unsigned digit = static_cast<unsigned>(*p - '0');
      if (significant < maxSignificant && fraction < maxFraction) {
        ++fraction;
        if (magnitude || digit) {
          magnitude = magnitude * 10 + digit;
          ++significant;
        }
        continue;
      }
      if (digit && !truncate) return kStatusDecimalOverflow;
    }
  }

  if (!precision) {
    if (!magnitude) return storeZero(0, scale, result);
    storeValue(magnitude, significant, shift ? -shift : fraction, n.negative, result);
    return kStatusOk;
  }
  if (scale >= 0) {
    // No integer digit went past the precision (that failed above). Pad the
    // fraction to the scale; the padded digit string must still fit 38 digits.
    if (!magnitude) return storeZero(precision, scale, result);
    int pad = scale - fraction;
    if (significant + pad > kMaxDigits) return kStatusDecimalOverflow;
    storeValue(magnitude * kPow10.p[pad], precision, scale, n.negative, result);
    return kStatusOk;
  }
  // A negative scale: the value is held in units of 10^-scale. The shifted
  // digits are already those units' zeros; the magnitude's last (-scale -
  // shift) digits must be zero too, or are cut when truncating.
  int drop = -scale - shift;
  if (drop > 0) {
    U128 lost = magnitude;
    if (drop <= significant) {
      lost = magnitude % kPow10.p[drop];
      magnitude /= kPow10.p[drop];
    } else {
      magnitude = 0;
    }
    if (lost && !truncate) return kStatusDecimalOverflow;
  }
  if (!magnitude) return storeZero(precision, scale, result);
  storeValue(magnitude, precision, scale, n.negative, result);
  return kStatusOk;
}

// Reads the exponent in [p, end) (end already past any trailing blanks):
// blanks, an optional sign, blanks, digits, optionally a point and zeros.
// False when it is not of that form.
bool readExponent(const char* p, const char* end, int* exponent) {
  while (p < end && isBlank(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p++ == '-';
    while (p < end && isBlank(*p)) ++p;
  }
  if (p == end || !isDigit(*p)) return false;
  int magnitude = 0;
  for (; p < end && isDigit(*p); ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kExponentLimit) magnitude = kExponentLimit;  // all such are too large
  }
  if (p < end && *p == '.') {
    for (++p; p < end && *p == '0'; ++p) {
    }
  }
  if (p != end) return false;
  *exponent = negative ? -magnitude : magnitude;
  return true;
}

// mantissa x 10^exponent: the number is written out in plain notation and
// read from there.
KovaStatus parseExponentForm(const char* text, const char* letter, const char* end, bool truncate,
                             int32_t precision, int32_t scale, DecimalValue* result) {
  while (end > letter + 1 && isBlank(end[-1])) --end;
  int exponent = 0;
  if (!readExponent(letter + 1, end, &exponent)) return kStatusNotANumber;
  Number mantissa;
  if (KovaStatus status = scanNumber(text, letter, &mantissa); status != kStatusOk) return status;
  if (mantissa.empty()) return storeZero(precision, scale, result);
  // Any non-zero mantissa needs at least |exponent| + 1 characters.
  if (exponent >= kExponentLimit || exponent <= -kExponentLimit) return kStatusDecimalOverflow;

  const char* integerEnd = mantissa.point ? mantissa.point : mantissa.end;
  const int64_t integerDigits = integerEnd - mantissa.digits;
  const char* fraction = mantissa.point ? mantissa.point + 1 : mantissa.end;
  const int64_t digitCount = integerDigits + (mantissa.end - fraction);
  const int64_t pointAt = integerDigits + exponent;  // in the joined digits

  char plain[kPlainTextMax];
  int64_t used = 0;
  auto digitAt = [&](int64_t i) { return i < integerDigits ? mantissa.digits[i] : fraction[i - integerDigits]; };
  auto put = [&](char c) {
    if (used == kPlainTextMax) return false;
    plain[used++] = c;
    return true;
  };
  bool fits = !mantissa.negative || put('-');
  if (pointAt <= 0) {
    fits = fits && put('.');
    for (int64_t i = pointAt; fits && i < 0; ++i) fits = put('0');
  }
  for (int64_t i = 0; fits && i < digitCount; ++i) {
    if (i == pointAt && pointAt > 0) fits = put('.');
    fits = fits && put(digitAt(i));
  }
  for (int64_t i = digitCount; fits && i < pointAt; ++i) fits = put('0');
  if (!fits) return kStatusDecimalOverflow;

  Number number;
  if (KovaStatus status = scanNumber(plain, plain + used, &number); status != kStatusOk) return status;
  if (number.empty()) return storeZero(precision, scale, result);
  return collect(number, truncate, precision, scale, result);
}

}  // namespace

KovaStatus parseDecimal(const char* text, int64_t length, bool truncate, int32_t precision,
                        int32_t scale, DecimalValue* result) {
  std::memset(result, 0, sizeof *result);
  if (precision < 0 || precision > kDecimalMaxPrecision || scale < kDecimalMinScale ||
      scale > kMaxScale) {
    return kStatusDecimalPrecision;
  }
  if (!text) length = 0;
  if (length < 0) length = static_cast<int64_t>(std::strlen(text));
  const char* end = text + length;

  Number number;
  KovaStatus status = scanNumber(text, end, &number);
  if (status == kStatusNotANumber) {
    // A text with an exponent letter never scans as a plain number.
    for (const char* p = text; p < end; ++p) {
      if ((*p | 0x20) == 'e') return parseExponentForm(text, p, end, truncate, precision, scale, result);
    }
  }
  if (status != kStatusOk) return status;
  if (number.empty()) return storeZero(precision, scale, result);
  return collect(number, truncate, precision, scale, result);
}

}  // namespace kova
