// Making printed text valid UTF-8: each maximal invalid subsequence of a
// value (a stray byte, a sequence cut short, an overlong form, a surrogate,
// a code point past U+10FFFF) becomes one U+FFFD. Used by kova rip on every
// text value before any printer sees it.
#pragma once

#include <cstdint>
#include <string>

namespace kova::tool {

// Repairs text in place; returns the number of sequences replaced (0: text
// was valid and is untouched).
uint64_t repairUtf8(std::string* text);

}  // namespace kova::tool
