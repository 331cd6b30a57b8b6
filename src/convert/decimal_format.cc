// DecimalValue to text. The magnitude's digits are produced into a small
// local array (at most 39), the text is laid out in a fixed scratch and
// copied out as far as the caller's capacity allows.
#include <bit>
#include <cstring>

#include "src/convert/decimal.h"
#include "src/convert/uint128.h"

namespace kova {
namespace {

constexpr int kMaxMagnitudeDigits = 39;  // 2^128 - 1 has 39 digits
constexpr uint32_t kTen9 = 1000000000u;

struct DigitPairs {
  char text[200];
  constexpr DigitPairs() : text() {
    for (int i = 0; i < 100; ++i) {
      text[2 * i] = static_cast<char>('0' + i / 10);
      text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr DigitPairs kPairs;

U128 loadMagnitude(const uint8_t* val) {
  U128 v = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&v, val, sizeof v);
  } else {
    for (int i = 15; i >= 0; --i) v = (v << 8) | val[i];
  }
  return v;
}

// Writes the digits of v, most significant first, into digits; returns their
// count (at least one).
int magnitudeDigits(U128 v, char* digits) {
  char buffer[kMaxMagnitudeDigits];
  char* end = buffer + kMaxMagnitudeDigits;
  char* p = end;
  while (v >> 64) {
    uint32_t chunk = divideSmall(v, kTen9);
    for (int i = 0; i < 9; ++i, chunk /= 10) *--p = static_cast<char>('0' + chunk % 10);
  }
  uint64_t low = static_cast<uint64_t>(v);
  while (low >= 100) {
    const uint64_t pair = low % 100;
    low /= 100;
    p -= 2;
    std::memcpy(p, kPairs.text + 2 * pair, 2);
  }
  if (low >= 10) {
    p -= 2;
    std::memcpy(p, kPairs.text + 2 * low, 2);
  } else {
    *--p = static_cast<char>('0' + low);
  }
  const int count = static_cast<int>(end - p);
  std::memcpy(digits, p, static_cast<size_t>(count));
  return count;
}

}  // namespace

KovaStatus decimalToText(const DecimalValue* value, char* output, int64_t capacity,
                         int64_t* length) {
  *length = 0;
  if (capacity < 0 || value->scale < kDecimalMinScale) return kStatusDecimalPrecision;

  char digits[kMaxMagnitudeDigits];
  const int count = magnitudeDigits(loadMagnitude(value->val), digits);
  const int scale = value->scale;

  // The whole text goes to a scratch first (it always fits: at most a sign,
  // 39 digits, 127 zeros and a point); a short output gets its longest prefix.
  char text[kDecimalTextMax];
  char* p = text;
  if (value->sign == 0) *p++ = '-';
  if (scale >= count) {
    // Only fraction digits: "0." and the zeros between the point and them.
    *p++ = '0';
    *p++ = '.';
    std::memset(p, '0', static_cast<size_t>(scale - count));
    p += scale - count;
    std::memcpy(p, digits, static_cast<size_t>(count));
    p += count;
  } else if (scale > 0) {
    std::memcpy(p, digits, static_cast<size_t>(count - scale));
    p += count - scale;
    *p++ = '.';
    std::memcpy(p, digits + count - scale, static_cast<size_t>(scale));
    p += scale;
  } else {
    // An integer, a multiple of 10^-scale when the scale is negative, always
    // with a trailing point.
    std::memcpy(p, digits, static_cast<size_t>(count));
    p += count;
    std::memset(p, '0', static_cast<size_t>(-scale));
    p += -scale;
    *p++ = '.';
  }
  const int64_t needed = p - text;
  const int64_t written = needed <= capacity ? needed : capacity;
  if (written) std::memcpy(output, text, static_cast<size_t>(written));
  *length = written;
  return written == needed ? kStatusOk : kStatusDecimalNoRoom;
}

}  // namespace kova
