// Making printed text valid UTF-8: each maximal invalid subsequence of a
// value (a stray byte, a sequence cut short, an overlong form, a surrogate,
// a code point past U+10FFFF) becomes one U+FFFD. Used by kova rip on every
// text value before any printer sees it, and to count what a run that
// prints no text would have replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace kova::tool {

// Repairs text in place; returns the number of sequences replaced (0: text
// was valid and is untouched).
uint64_t repairUtf8(std::string* text);

// The sequences repairUtf8 would replace in text[0, size), without copying.
uint64_t countInvalidUtf8(const uint8_t* text, size_t size);

// True when text[0, size) is ASCII (so valid), looked at 8 bytes at a time.
inline bool isAscii(const uint8_t* text, size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, text + i, 8);
    if ((word & 0x8080808080808080ull) != 0) return false;
  }
  for (; i < size; ++i) {
    if (text[i] >= 0x80) return false;
  }
  return true;
}

}  // namespace kova::tool
