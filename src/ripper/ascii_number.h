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
#include "src/ripper/force_inline.h"

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

inline constexpr uint64_t kZeros = 0x3030303030303030ull;
inline constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ull;

// The 8 bytes at p as one little-endian word: byte i is p[i].
inline uint64_t load8(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
  return w;
}

// True when every byte of w is an ASCII digit.
KOVA_ALWAYS_INLINE inline bool allDigits(uint64_t w) {
  return (w & kHighNibbles) == kZeros && ((w + 0x0606060606060606ull) & kHighNibbles) == kZeros;
}

// The value of eight digits of 0 to 9, one per byte of d, the first in its
// lowest byte: pairs, then quadruples, then the whole, each step one
// multiply.
KOVA_ALWAYS_INLINE inline uint64_t eightDigitValues(uint64_t d) {
  d = d * 10 + (d >> 8);  // byte 2k: digits 2k and 2k+1 as a number
  d = ((d & 0x000000FF000000FFull) * (100 + (1000000ull << 32)) +
       ((d >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32))) >>
      32;
  return d;
}

// The value of the eight ASCII digits of w, the first in its lowest byte.
KOVA_ALWAYS_INLINE inline uint64_t eightDigits(uint64_t w) { return eightDigitValues(w - kZeros); }

// Accumulates the run of digits at p (up to end or the first other byte)
// into *value, eight at a time while eight are there, and adds their number
// to *count. Returns where the run stopped, or null when *count would pass
// maxDigits (at most 18, so *value never overflows).
inline const uint8_t* digitRun(const uint8_t* p, const uint8_t* end, uint32_t maxDigits,
                               uint64_t* value, uint32_t* count) {
  uint64_t v = *value;
  uint32_t c = *count;
  while (end - p >= 8) {
    const uint64_t w = load8(p);
    if (!allDigits(w)) break;
    if (c + 8 > maxDigits) return nullptr;
    v = v * 100000000 + eightDigits(w);
    c += 8;
    p += 8;
  }
  for (; p < end; ++p) {
    const unsigned digit = digitOf(*p);
    if (digit > 9) break;
    if (++c > maxDigits) return nullptr;
    v = v * 10 + digit;
  }
  *value = v;
  *count = c;
  return p;
}

// The digits of [p, end) with at most one point among them: their value
// (point ignored) and how many stand before and after the point. False for
// any other byte, or more than maxDigits digits.
inline bool digitsAndPoint(const uint8_t* p, const uint8_t* end, uint32_t maxDigits,
                           uint64_t* value, uint32_t* integerDigits, uint32_t* fractionDigits,
                           bool* point) {
  uint64_t v = 0;
  uint32_t total = 0;
  p = digitRun(p, end, maxDigits, &v, &total);
  if (!p) return false;
  const uint32_t beforePoint = total;
  const bool seen = p < end && *p == '.';
  if (seen) {
    p = digitRun(p + 1, end, maxDigits, &v, &total);
    if (!p) return false;
  }
  if (p != end) return false;
  *value = v;
  *integerDigits = beforePoint;
  *fractionDigits = total - beforePoint;
  *point = seen;
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
  if (n >= 8) {
    using namespace ascii_detail;
    // Whole words of eight digits, then the last one to seven digits as
    // the top of the word that ends the text: the bytes below them (digits
    // already read, or the sign) are made '0'.
    for (; end - p >= 8; p += 8) {
      const uint64_t w = load8(p);
      if (!allDigits(w)) return false;
      magnitude = magnitude * 100000000 + eightDigits(w);
    }
    if (p != end) {
      const auto left = uint32_t(end - p);
      const uint64_t below = (uint64_t(1) << (8 * (8 - left))) - 1;
      const uint64_t w = (load8(end - 8) & ~below) | (kZeros & below);
      if (!allDigits(w)) return false;
      magnitude = magnitude * kIntegerPowers[left] + eightDigits(w);
    }
  } else {
    uint32_t count = 0;
    if (ascii_detail::digitRun(p, end, kAsciiIntegerDigits, &magnitude, &count) != end) {
      return false;
    }
  }
  const auto signedMagnitude = static_cast<int64_t>(magnitude);
  *value = negative ? -signedMagnitude : signedMagnitude;
  return true;
}

// asciiInteger for a text of 1 to 8 plain digits (no sign), read as one
// word: the digits moved to the word's top and the bytes below them made
// '0'. False for any other text. REQUIRES: 8 bytes readable at text.
KOVA_ALWAYS_INLINE inline bool asciiShortInteger(const uint8_t* text, uint32_t n, int64_t* value) {
  if (n - 1 >= 8) return false;  // no digit, or more than 8
  // Each byte less '0', moved to the word's top, so that the bytes below
  // the text are 0. A byte below '0' borrows from the byte after it, which
  // is the text's next byte (that byte is flagged itself) or lies past the
  // text (shifted out).
  const uint64_t d = (ascii_detail::load8(text) - ascii_detail::kZeros) << (8 * (8 - n));
  // A digit's byte is now 0 to 9: neither it nor it plus 0x76 has its
  // high bit set; every other byte has one of the two.
  if (((d | (d + 0x7676767676767676ull)) & 0x8080808080808080ull) != 0) return false;
  *value = static_cast<int64_t>(ascii_detail::eightDigitValues(d));
  return true;
}

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
