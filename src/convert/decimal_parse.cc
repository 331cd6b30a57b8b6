// Text to DecimalValue. One sweep checks the text and accumulates its first
// 19 digits; when every digit fits the column as it stands that is the value,
// otherwise the digits are taken one by one under the precision and scale.
// Digit counts are bounded so the 128-bit magnitude never wraps. The exponent
// form is written out in plain notation into a fixed scratch and read like
// any other text.
#include <bit>
#include <cstring>

#include "src/convert/decimal.h"
#include "src/convert/uint128.h"

namespace kova {
namespace {

constexpr int kMaxDigits = kDecimalMaxPrecision;  // 10^38 - 1 < 2^128
constexpr int kMaxScale = 127;
constexpr int kMaxFractionDigits = 127;  // precision 0: fraction digits kept
constexpr int kExponentLimit = 168;      // exponents of this magnitude never fit
constexpr int kPlainTextMax = 167;       // the exponent form written out

constexpr bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
constexpr bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

template <typename T, int N>
struct Pow10Table {
  T p[size_t(N) + 1];
  constexpr Pow10Table() : p() {
    p[0] = 1;
    for (int i = 1; i <= N; ++i) p[i] = p[i - 1] * 10;
  }
  constexpr T operator[](int64_t i) const { return p[i]; }
};
constexpr Pow10Table<U128, kMaxDigits> kPow10;
constexpr Pow10Table<uint64_t, 19> kPow10Small;
constexpr int kHeadDigits = 19;  // digits that always fit 64 bits

// A checked and trimmed number: [digits, end) holds digits and at most one
// point, without the integer part's leading zeros and, when there is a point,
// without the fraction's trailing zeros. head is the value of its digits
// (point ignored) when there are at most 19 of them.
struct Number {
  const char* digits;
  const char* end;
  const char* point;  // null without a point
  bool negative;
  int64_t digitCount;
  uint64_t head;
  bool empty() const { return digitCount == 0; }
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
  // One sweep checks the bytes and accumulates the digits; past 19 digits
  // the head wraps and is not used.
  const char* point = nullptr;
  uint64_t head = 0;
  for (const char* q = p; q < end; ++q) {
    const unsigned digit = static_cast<unsigned>(*q - '0');
    if (digit < 10) {
      head = head * 10 + digit;
    } else if (*q == '.' && !point) {
      point = q;
    } else {
      return kStatusNotANumber;  // a blank, sign, second point or other byte inside
    }
  }
  int64_t count = (end - p) - (point ? 1 : 0);
  if (point) {
    const char* trimmed = end;
    while (trimmed > point + 1 && trimmed[-1] == '0') --trimmed;
    if (trimmed != end) {
      zero = true;
      const int64_t dropped = end - trimmed;
      if (count <= kHeadDigits) {
        head /= kPow10Small[dropped];
      } else if (count - dropped <= kHeadDigits) {
        head = 0;  // the head wrapped: read the kept digits again
        for (const char* q = p; q < trimmed; ++q) {
          if (q != point) head = head * 10 + static_cast<unsigned>(*q - '0');
        }
      }
      count -= dropped;
      end = trimmed;
    }
  }
  out->digits = p;
  out->end = end;
  out->point = point;
  out->digitCount = count;
  out->head = head;
  if (!count && !zero) return kStatusNotANumber;  // blank, lone sign, lone point
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
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(result->val, &magnitude, sizeof result->val);
  } else {
    for (int i = 0; i < 16; ++i) result->val[i] = static_cast<uint8_t>(magnitude >> (8 * i));
  }
}

// The value of the digits of [a, aEnd) followed by those of [b, bEnd), at
// most 38 in all.
U128 digitsValue(const char* a, const char* aEnd, const char* b, const char* bEnd) {
  U128 v = 0;
  for (; a < aEnd; ++a) v = v * 10 + static_cast<unsigned>(*a - '0');
  for (; b < bEnd; ++b) v = v * 10 + static_cast<unsigned>(*b - '0');
  return v;
}

// Collects the digits of a non-empty number and stores the value.
KovaStatus collect(const Number& n, bool truncate, int32_t precision, int32_t scale,
                   DecimalValue* result) {
  const int maxSignificant = precision ? precision : kMaxDigits;
  const int maxFraction = precision ? scale : kMaxFractionDigits;
  const char* integerEnd = n.point ? n.point : n.end;
  const char* fractionBegin = n.point ? n.point + 1 : n.end;

  U128 magnitude = 0;
  int significant = 0;  // digits in magnitude, from its first non-zero one
  int fraction = 0;     // fraction digits taken, leading zeros included
  int shift = 0;        // integer digits past the precision: each lowers the scale by one

  const int64_t integerDigits = integerEnd - n.digits;
  const int64_t fractionDigits = n.end - fractionBegin;
  if (integerDigits + fractionDigits <= maxSignificant &&
      fractionDigits <= (maxFraction < 0 ? 0 : maxFraction)) {
    // Every digit is taken: the common case, in one sweep.
    magnitude = n.digitCount <= kHeadDigits
                    ? n.head
                    : digitsValue(n.digits, integerEnd, fractionBegin, n.end);
    fraction = static_cast<int>(fractionDigits);
    significant = static_cast<int>(integerDigits + fractionDigits);
    if (!integerDigits) {
      for (const char* p = fractionBegin; p < n.end && *p == '0'; ++p) --significant;
    }
  } else {
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
    for (const char* p = fractionBegin; p < n.end; ++p) {
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
    storeValue(magnitude * kPow10[pad], precision, scale, n.negative, result);
    return kStatusOk;
  }
  // A negative scale: the value is held in units of 10^-scale. The shifted
  // digits are already those units' zeros; the magnitude's last (-scale -
  // shift) digits must be zero too, or are cut when truncating.
  int drop = -scale - shift;
  if (drop > 0) {
    uint32_t lost = 0;
    if (drop <= significant) {
      for (; drop > 9; drop -= 9) lost |= divideSmall(magnitude, 1000000000u);
      lost |= divideSmall(magnitude, static_cast<uint32_t>(kPow10Small[drop]));
    } else {
      lost = magnitude != 0;
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
  auto digitAt = [&](int64_t i) {
    return i < integerDigits ? mantissa.digits[i] : fraction[i - integerDigits];
  };
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
  if (KovaStatus status = scanNumber(plain, plain + used, &number); status != kStatusOk)
    return status;
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
      if ((*p | 0x20) == 'e') {
        return parseExponentForm(text, p, end, truncate, precision, scale, result);
      }
    }
  }
  if (status != kStatusOk) return status;
  if (number.empty()) return storeZero(precision, scale, result);
  return collect(number, truncate, precision, scale, result);
}

}  // namespace kova
