// Helpers for the decimal tests: building and reading DecimalValue without
// going through the code under test, and an independent digit-string to
// bytes conversion (long division by 256) to check magnitudes against.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "src/convert/decimal.h"

namespace kova::testing {

using U128 = unsigned __int128;

inline U128 magnitude(const DecimalValue& v) {
  U128 m = 0;
  for (int i = 15; i >= 0; --i) m = (m << 8) | v.val[i];
  return m;
}

inline DecimalValue makeDecimal(U128 m, int scale, bool negative = false, int precision = 0) {
  DecimalValue v;
  v.precision = static_cast<uint8_t>(precision);
  v.scale = static_cast<int8_t>(scale);
  v.sign = negative ? 0 : 1;
  for (int i = 0; i < 16; ++i) v.val[i] = static_cast<uint8_t>(m >> (8 * i));
  return v;
}

inline std::string toString(U128 m) {
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m);
  return s;
}

// The digits as little-endian bytes, by schoolbook division of the digit
// string by 256 until nothing is left. Empty when more than 16 bytes.
inline std::string bytesOfDigits(std::string digits) {
  std::string bytes;
  while (!digits.empty()) {
    std::string quotient;
    unsigned remainder = 0;
    for (char c : digits) {
      remainder = remainder * 10 + static_cast<unsigned>(c - '0');
      if (!quotient.empty() || remainder >= 256)
        quotient += static_cast<char>('0' + remainder / 256);
      remainder %= 256;
    }
    bytes += static_cast<char>(remainder);
    digits = quotient;
  }
  if (bytes.size() > 16) return {};
  bytes.resize(16, '\0');
  return bytes;
}

inline std::string valBytes(const DecimalValue& v) {
  return std::string(reinterpret_cast<const char*>(v.val), 16);
}

inline KovaStatus parse(std::string_view text, int precision, int scale, DecimalValue* out,
                        bool truncate = false) {
  return parseDecimal(text.data(), static_cast<int64_t>(text.size()), truncate, precision, scale,
                      out);
}

// The text of v; "<status>" when decimalToText fails.
inline std::string text(const DecimalValue& v) {
  char buffer[kDecimalTextMax];
  int64_t length = -1;
  KovaStatus status = decimalToText(&v, buffer, sizeof buffer, &length);
  if (status != kStatusOk) return "<" + std::to_string(status) + ">";
  return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace kova::testing
