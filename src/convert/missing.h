// Missing values: 8-byte floats whose two most significant bytes are both
// 0xFF. The host uses them for dates, times and doubles that have no value.
// Pure constants and helpers; anyone may use them.
#pragma once

#include <bit>
#include <cstdint>

namespace kova {

// The standard missing value, written ".".
inline constexpr uint64_t kMissingBits = 0xFFFFD10000000000ull;
// The special missing value written "_".
inline constexpr uint64_t kMissingUnderscoreBits = 0xFFFFD20000000000ull;
// The special missing values written "A" to "Z": "A" is 0xFFFFBE..., each next
// letter one less in the second byte, down to "Z" at 0xFFFFA5...
inline constexpr uint64_t kMissingLetterABits = 0xFFFFBE0000000000ull;
inline constexpr uint64_t kMissingLetterZBits = 0xFFFFA50000000000ull;

inline constexpr double kMissing = std::bit_cast<double>(kMissingBits);
// The standard missing value as it lies in a little-endian row.
inline constexpr uint8_t kMissingBytes[8] = {0, 0, 0, 0, 0, 0xD1, 0xFF, 0xFF};
static_assert(kMissingBytes[5] == uint8_t(kMissingBits >> 40) && kMissingBytes[7] == 0xFF);

inline constexpr bool isMissing(double x) { return (std::bit_cast<uint64_t>(x) >> 48) == 0xFFFFu; }

// The bits of the missing value written c ('.', '_', 'A' to 'Z'), or 0 when
// c names none.
inline constexpr uint64_t missingBitsFor(char c) {
  if (c == '.') return kMissingBits;
  if (c == '_') return kMissingUnderscoreBits;
  if (c >= 'A' && c <= 'Z') return kMissingLetterABits - (static_cast<uint64_t>(c - 'A') << 40);
  return 0;
}

// The character a missing value is written as ('.', '_', 'A' to 'Z'), or 0
// for a value that is not one of those missing values.
inline constexpr char missingCode(double x) {
  uint64_t bits = std::bit_cast<uint64_t>(x);
  if ((bits & 0xFFFFFFFFFFull) != 0 || (bits >> 48) != 0xFFFFu) return 0;
  uint64_t code = (bits >> 40) & 0xFF;
  if (code == 0xD1) return '.';
  if (code == 0xD2) return '_';
  if (code >= 0xA5 && code <= 0xBE) return static_cast<char>('A' + (0xBE - code));
  return 0;
}

}  // namespace kova
