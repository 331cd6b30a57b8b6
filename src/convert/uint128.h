// The 128-bit magnitude of decimals and the few operations on it that the
// compiler would otherwise hand to its runtime library (division). Header
// only; no state.
#pragma once

#include <cstdint>

namespace kova {

using U128 = unsigned __int128;

// Divides v by divisor (1 to 2^32 - 1) in place and returns the remainder:
// long division over the four 32-bit words, most significant first.
inline uint32_t divideSmall(U128& v, uint32_t divisor) {
  const uint64_t high = static_cast<uint64_t>(v >> 64);
  const uint64_t low = static_cast<uint64_t>(v);
  if (!high) {
    v = low / divisor;
    return static_cast<uint32_t>(low % divisor);
  }
  uint64_t words[4] = {high >> 32, high & 0xFFFFFFFFu, low >> 32, low & 0xFFFFFFFFu};
  uint64_t remainder = 0;
  for (uint64_t& word : words) {
    const uint64_t current = (remainder << 32) | word;
    word = current / divisor;
    remainder = current % divisor;
  }
  v = (static_cast<U128>((words[0] << 32) | words[1]) << 64) | ((words[2] << 32) | words[3]);
  return static_cast<uint32_t>(remainder);
}

}  // namespace kova
