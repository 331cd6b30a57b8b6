// DecimalValue to text. The magnitude's digits are produced into a small
// local array (at most 39), then written out byte by byte against the
// caller's capacity, so a short buffer receives the longest prefix that fits.
#include <cstring>

#include "src/convert/decimal.h"

namespace kova {
namespace {

using U128 = unsigned __int128;

constexpr int kMaxMagnitudeDigits = 39;  // 2^128 - 1 has 39 digits
constexpr uint64_t kTen19 = 10000000000000000000ull;

U128 loadMagnitude(const uint8_t* val) {
  U128 v = 0;
  for (int i = 15; i >= 0; --i) v = (v << 8) | val[i];
  return v;
}

// Writes the digits of v, most significant first, into digits; returns their
// count (at least one).
int magnitudeDigits(U128 v, char* digits) {
  char reversed[kMaxMagnitudeDigits];
  int count = 0;
  while (v >> 64) {
    uint64_t chunk = static_cast<uint64_t>(v % kTen19);
    v /= kTen19;
    for (int i = 0; i < 19; ++i, chunk /= 10) reversed[count++] = static_cast<char>('0' + chunk % 10);
  }
  uint64_t low = static_cast<uint64_t>(v);
  do {
    reversed[count++] = static_cast<char>('0' + low % 10);
    low /= 10;
  } while (low);
  for (int i = 0; i < count; ++i) digits[i] = reversed[count - 1 - i];
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

  int64_t used = 0;
  auto put = [&](char c) {
    if (used == capacity) return false;
    output[used++] = c;
    return true;
  };
  auto putZeros = [&](int n) {
    for (int i = 0; i < n; ++i) {
      if (!put('0')) return false;
    }
    return true;
  };
  auto putDigits = [&](int from, int to) {
    for (int i = from; i < to; ++i) {
      if (!put(digits[i])) return false;
    }
    return true;
  };

  bool fits = value->sign != 0 || put('-');
  if (scale >= count) {
    // Only fraction digits: "0." and the zeros between the point and them.
    fits = fits && put('0') && put('.') && putZeros(scale - count) && putDigits(0, count);
  } else if (scale > 0) {
    fits = fits && putDigits(0, count - scale) && put('.') && putDigits(count - scale, count);
  } else {
    // An integer, a multiple of 10^-scale when the scale is negative, always
    // with a trailing point.
    fits = fits && putDigits(0, count) && putZeros(-scale) && put('.');
  }
  *length = used;
  return fits ? kStatusOk : kStatusDecimalNoRoom;
}

}  // namespace kova
