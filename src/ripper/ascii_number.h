// Plain ASCII numbers read without the host: integers, doubles and 64-bit
// exact decimals of the common written forms. Each parser takes only texts
// whose value it can give exactly as the host's general reader would, and
// answers false for everything else (blanks, exponents, long digit runs,
// other bytes), which the caller then hands to the host. Header-only,
// allocation-free, no state; any caller on any thread.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "kova/decimal.h"

namespace kova {

// The most digits asciiInteger takes: 18 digits never overflow 64 bits.
inline constexpr uint32_t kAsciiIntegerDigits = 18;
// The most digits asciiDouble takes: 15 digits are below 2^53, so the
// digits and the power of ten are both exact doubles.
inline constexpr uint32_t kAsciiDoubleDigits = 15;
// The largest precision asciiDecimal takes: 10^18 - 1 fits 64 bits.
inline constexpr int32_t kAsciiDecimalPrecision = 18;

namespace ascii_detail {

inline constexpr double kPowersOfTen[kAsciiDoubleDigits + 1] = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

inline constexpr uint64_t kIntegerPowers[kAsciiDecimalPrecision + 1] = {1ull,
                                                                        10ull,
                                                                        100ull,
                                                                        1000ull,
                                                                        10000ull,
                                                                        100000ull,
                                                                        1000000ull,
                                                                        10000000ull,
                                                                        100000000ull,
                                                                        1000000000ull,
                                                                        10000000000ull,
                                                                        100000000000ull,
                                                                        1000000000000ull,
                                                                        10000000000000ull,
                                                                        100000000000000ull,
                                                                        1000000000000000ull,
                                                                        10000000000000000ull,
                                                                        100000000000000000ull,
                                                                        1000000000000000000ull};

inline unsigned digitOf(uint8_t c) { return unsigned(c) - unsigned('0'); }

// Accumulates the digits of [p, end) into *value; false at the first byte
// that is not a digit. REQUIRES: at most 19 digits.
inline bool accumulate(const uint8_t* p, const uint8_t* end, uint64_t* value) {
  uint64_t v = *value;
  for (; p < end; ++p) {
    const unsigned digit = digitOf(*p);
    if (digit > 9) return false;
    v = v * 10 + digit;
  }
  *value = v;
  return true;
}

}  // namespace ascii_detail

// [+-]digits, 1 to 18 digits: the value; false for any other text.
inline bool asciiInteger(const uint8_t* text, uint32_t n, int64_t* value) {
  const uint8_t* p = text;
  const uint8_t* end = text + n;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  const auto digits = uint64_t(end - p);
  if (digits == 0 || digits > kAsciiIntegerDigits) return false;
  uint64_t magnitude = 0;
  if (!ascii_detail::accumulate(p, end, &magnitude)) return false;
  const auto signedMagnitude = static_cast<int64_t>(magnitude);
  *value = negative ? -signedMagnitude : signedMagnitude;
  return true;
}

namespace ascii_detail {

// The digits of [p, end) with at most one point among them: their value
// (point ignored) and how many stand before and after the point. False for
// any other byte, a second point, or more than maxDigits digits.
inline bool digitsAndPoint(const uint8_t* p, const uint8_t* end, uint32_t maxDigits,
                           uint64_t* value, uint32_t* integerDigits, uint32_t* fractionDigits,
                           bool* point) {
  uint64_t v = 0;
  uint32_t total = 0;
  uint32_t beforePoint = 0;
  bool seen = false;
  for (; p < end; ++p) {
    const unsigned digit = digitOf(*p);
    if (digit <= 9) {
      if (++total > maxDigits) return false;
      v = v * 10 + digit;
    } else if (*p == '.' && !seen) {
      seen = true;
      beforePoint = total;
    } else {
      return false;
    }
  }
  *value = v;
  *integerDigits = seen ? beforePoint : total;
  *fractionDigits = total - *integerDigits;
  *point = seen;
  return true;
}

}  // namespace ascii_detail

// [-]digits[.digits] with at most 15 digits in all: the nearest double. The
// digits and the power of ten are exact, so their one correctly rounded
// division is the correctly rounded value of the text. False for any other
// text ("+", a leading or trailing point, exponents, longer digit runs).
inline bool asciiDouble(const uint8_t* text, uint32_t n, double* value) {
  const uint8_t* p = text;
  const uint8_t* end = text + n;
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  uint64_t mantissa = 0;
  uint32_t integerDigits = 0;
  uint32_t fractionDigits = 0;
  bool point = false;
  if (!ascii_detail::digitsAndPoint(p, end, kAsciiDoubleDigits, &mantissa, &integerDigits,
                                    &fractionDigits, &point) ||
      integerDigits == 0 || (point && fractionDigits == 0)) {
    return false;
  }
  double v = double(mantissa);
  if (fractionDigits > 0) v /= ascii_detail::kPowersOfTen[fractionDigits];
  *value = negative ? -v : v;
  return true;
}

// [+-][digits][.digits] with at least one digit, as a decimal of precision
// 1 to 18 and scale 0 to precision: fills *result as the general decimal
// parser does (zero is positive with the column's precision and scale).
// False, with *result untouched, for any other text and for values whose
// integer digits (leading zeros aside) and scale need more than the
// precision, or whose fraction has more digits than the scale.
inline bool asciiDecimal(const uint8_t* text, uint32_t n, int32_t precision, int32_t scale,
                         DecimalValue* result) {
  static_assert(sizeof(DecimalValue) == 19 && alignof(DecimalValue) == 1);
  if (precision < 1 || precision > kAsciiDecimalPrecision || scale < 0 || scale > precision) {
    return false;
  }
  const uint8_t* p = text;
  const uint8_t* end = text + n;
  bool negative = false;
  if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  const uint8_t* digits = p;
  while (p < end && *p == '0') ++p;
  const bool leadingZero = p != digits;
  uint64_t magnitude = 0;
  uint32_t integerDigits = 0;
  uint32_t fractionDigits = 0;
  bool point = false;
  if (!ascii_detail::digitsAndPoint(p, end, kAsciiIntegerDigits, &magnitude, &integerDigits,
                                    &fractionDigits, &point)) {
    return false;
  }
  if (integerDigits == 0 && fractionDigits == 0 && !leadingZero) return false;  // no digit
  if (int32_t(fractionDigits) > scale || int32_t(integerDigits) + scale > precision) return false;
  magnitude *= ascii_detail::kIntegerPowers[scale - int32_t(fractionDigits)];
  // The 19 bytes as they lie in a row: precision, scale, sign, then the
  // magnitude's 16 bytes, least significant first.
  uint8_t* out = reinterpret_cast<uint8_t*>(result);
  out[0] = static_cast<uint8_t>(precision);
  out[1] = static_cast<uint8_t>(scale);
  out[2] = negative && magnitude != 0 ? 0 : 1;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out + 3, &magnitude, 8);
  } else {
    for (int i = 0; i < 8; ++i) out[3 + i] = static_cast<uint8_t>(magnitude >> (8 * i));
  }
  std::memset(out + 11, 0, 8);
  return true;
}

}  // namespace kova
