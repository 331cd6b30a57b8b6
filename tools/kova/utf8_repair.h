// Making printed text valid UTF-8: each maximal invalid subsequence of a
// value (a stray byte, a sequence cut short, an overlong form, a surrogate,
// a code point past U+10FFFF) becomes one U+FFFD. Used by kova rip on every
// text value before any printer sees it, and to count what a run that
// prints no text would have replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kova::tool {

// Repairs text in place; returns the number of sequences replaced (0: text
// was valid and is untouched).
uint64_t repairUtf8(std::string* text);

// The sequences repairUtf8 would replace in text[0, size), without copying.
uint64_t countInvalidUtf8(const uint8_t* text, size_t size);

}  // namespace kova::tool
